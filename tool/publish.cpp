#include "publish.h"

#include "descriptor.h"
#include "full_io.h"
#include "json_output.h"
#include "one_line.h"
#include "output.h"
#include "qorid/qorid.h"
#include "shell_export.h"
#include "undo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

namespace qorid {
namespace {

// How long a run waits for another one in the same folder, in steps of 10 ms.
constexpr int kLockWaitSteps = 1000;

struct Published {
  const char* name;
  const char* mark;
};
const Published kFiles[] = {{"parameters.env", kEnvFileMark}, {"board.json", kJsonFileMark}};

// What a name of the folder held when the run looked, before it wrote.
enum class Found { kNothing, kEarlier, kOther };

struct Before {
  Found found = Found::kNothing;
  std::string what;  // kOther: what it is, as "left there" names it
  Descriptor fd;     // kEarlier: held open, so that its numbers stay its own
  struct stat st {};
};

// A file this run writes: its temporary name in the folder, held open.
struct Written {
  std::string name;
  Descriptor fd;
  struct stat st {};
};

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Six letters or digits for a temporary name: only its being new matters
// (O_EXCL), so a clock stands in where the kernel gives no random bytes.
std::string randomSuffix() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    struct timespec now {};
    (void)::clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) * 2654435761ULL ^
                                   static_cast<unsigned long long>(::getpid());
    for (size_t i = 0; i < sizeof bytes; ++i) {
      bytes[i] = static_cast<unsigned char>(mix >> (8 * i));
    }
  }
  std::string suffix;
  for (const unsigned char b : bytes) {
    suffix += kLetters[b % (sizeof kLetters - 1)];
  }
  return suffix;
}

// One publication into one folder: what was there, and what it has written.
class Publication {
 public:
  explicit Publication(std::string dir) : mDir(std::move(dir)) {}

  int run(QorIdentifier& identifier) {
    undo::setLastWords("qorid-publish: interrupted; nothing new is published in " + oneLine(mDir));
    undo::installHandlers();
    mDirFd.reset(::open(mDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string problem = mDirFd.isOpen() ? lock() : "cannot open " + mDir + ": " + std::strerror(errno);
    for (int k = 0; k < 2 && mDirFd.isOpen(); ++k) {
      const std::string unfit = look(k);
      problem = problem.empty() ? unfit : problem;
    }
    if (!problem.empty()) {
      return fail(problem);
    }
    // From here a signal undoes what is armed, which leaves what was there.
    undo::setLastWords("qorid-publish: interrupted; " + whatIsLeft());
    const HardwareIdentity identity = identifier.getIdentity();
    identifier.parse_params();
    problem = create(0);
    if (problem.empty()) {
      problem = fill(0, [&identifier](std::ostream& out) {
        out << kEnvFileMark;
        writeExport(identifier, out);
      });
    }
    if (problem.empty()) {
      problem = create(1);
    }
    if (problem.empty()) {
      problem = fill(1, [&](std::ostream& out) {
        writeIdentityJson(out, identity.number, identity.name, identity.aliases,
                          identifier.getParams(), kJsonFileMark + 1);
        out << '\n';
      });
    }
    for (int k = 0; k < 2 && problem.empty(); ++k) {
      problem = place(k);
    }
    if (!problem.empty()) {
      return fail(problem);
    }
    const undo::SignalsHeld held;  // complete: a signal now ends it as it is
    undo::forgetAll();
    undo::restoreHandlers();
    return removeEarlier();
  }

  // The folder is not there and cannot be made.
  int cannotMake(const std::string& reason) const {
    (void)std::fprintf(stderr, "qorid-publish: %s; nothing is published in %s\n",
                       oneLine(reason).c_str(), oneLine(mDir).c_str());
    return 1;
  }

 private:
  [[nodiscard]] std::string path(const std::string& name) const { return mDir + "/" + name; }

  // One run at a time in the folder: another one's lock is waited for.
  std::string lock() {
    for (int step = 0;; ++step) {
      if (::flock(mDirFd.fd(), LOCK_EX | LOCK_NB) == 0) {
        return {};
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        return "cannot lock " + mDir + ": " + std::strerror(errno);
      }
      if (step == kLockWaitSteps) {
        return "another qorid-publish has been publishing in " + mDir + " for " +
               std::to_string(kLockWaitSteps / 100) + " seconds";
      }
      const struct timespec tenMs = {0, 10 * 1000 * 1000};
      (void)::nanosleep(&tenMs, nullptr);
    }
  }

  // What name `k` holds: nothing, an earlier publication's file (its mark
  // read through a descriptor that is then kept), or anything else, which
  // is never replaced.
  std::string look(int k) {
    Before& before = mBefore[k];
    const char* name = kFiles[k].name;
    if (::fstatat(mDirFd.fd(), name, &before.st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return {};
      }
      before.what = std::string("cannot be looked at: ") + std::strerror(errno);
    } else if (S_ISDIR(before.st.st_mode)) {
      before.what = "a folder";
    } else if (S_ISLNK(before.st.st_mode)) {
      before.what = "a symbolic link";
    } else if (!S_ISREG(before.st.st_mode)) {
      before.what = "not a regular file";
    } else {
      before.fd.reset(::openat(mDirFd.fd(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      const std::string mark = kFiles[k].mark;
      std::string start(mark.size(), '\0');
      struct stat st {};
      if (!before.fd.isOpen() || ::fstat(before.fd.fd(), &st) != 0) {
        before.what = std::string("cannot be read: ") + std::strerror(errno);
      } else if (sameFile(st, before.st) &&
                 readFull(before.fd.fd(), start.data(), start.size()) ==
                     static_cast<ssize_t>(start.size()) &&
                 start == mark) {
        before.found = Found::kEarlier;
        return {};
      } else {
        before.what = "not written by qorid-publish";
      }
    }
    before.found = Found::kOther;
    before.fd.reset();
    return "will not replace " + path(name) + ": " + before.what;
  }

  // A new temporary file .NAME.XXXXXX in the folder, mode 0644.
  std::string create(int k) {
    Written& file = mNew[k];
    for (int attempt = 0; attempt < 100 && !file.fd.isOpen(); ++attempt) {
      const undo::SignalsHeld held;
      file.name = std::string(".") + kFiles[k].name + "." + randomSuffix();
      file.fd.reset(::openat(mDirFd.fd(), file.name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
      if (!file.fd.isOpen() && errno != EEXIST) {
        return "cannot write into " + mDir + ": " + std::strerror(errno);
      }
      if (file.fd.isOpen() &&
          (::fstat(file.fd.fd(), &file.st) != 0 || !undo::armRemove(mDirFd.fd(), file.name, file.st))) {
        (void)::unlinkat(mDirFd.fd(), file.name.c_str(), 0);
        return "cannot keep track of " + path(file.name);
      }
    }
    if (!file.fd.isOpen()) {
      return "cannot write into " + mDir + ": no free temporary name";
    }
    if (::fchmod(file.fd.fd(), 0644) != 0) {
      return "cannot set the mode of " + path(file.name) + ": " + std::strerror(errno);
    }
    return {};
  }

  // Writes what `write` puts in a stream to temporary file `k`, in full and
  // on disk.
  template <typename Write>
  std::string fill(int k, Write write) {
    const Written& file = mNew[k];
    DescriptorStream out(file.fd.fd());
    write(out);
    out.flush();
    if (out.error() != 0) {
      return "cannot write " + path(file.name) + ": " + std::strerror(out.error());
    }
    if (::fdatasync(file.fd.fd()) != 0 && errno != EINVAL) {
      return "cannot write " + path(file.name) + ": " + std::strerror(errno);
    }
    return {};
  }

  // Puts temporary file `k` in place: exchanged with the earlier file, which
  // then waits under the temporary name, or renamed where there was none.
  std::string place(int k) {
    const Written& file = mNew[k];
    const std::string name = kFiles[k].name;
    const int dirFd = mDirFd.fd();
    const undo::SignalsHeld held;
    if (mBefore[k].found == Found::kEarlier) {
      if (::renameat2(dirFd, file.name.c_str(), dirFd, name.c_str(), RENAME_EXCHANGE) != 0) {
        return "cannot exchange " + path(file.name) + " and " + path(name) + ": " +
               std::strerror(errno);
      }
      const bool armed = undo::armExchangeBack(dirFd, name, file.name, file.st);
      struct stat now {};
      if (!armed || ::fstatat(dirFd, file.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
          !sameFile(now, mBefore[k].st)) {
        return path(name) + " changed while it was being replaced";
      }
      return {};
    }
    if (::renameat2(dirFd, file.name.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) != 0) {
      return errno == EEXIST ? path(name) + " appeared while it was being published"
                             : "cannot rename " + path(file.name) + " to " + path(name) + ": " +
                                   std::strerror(errno);
    }
    return undo::armRenameBack(dirFd, name, file.name, file.st) ? std::string()
                                                                 : "cannot keep track of " + path(name);
  }

  // The earlier pair, now under the temporary names: removed, while those
  // names still lead to it. Says, without failing, what cannot be.
  int removeEarlier() {
    for (int k = 0; k < 2; ++k) {
      struct stat now {};
      if (mBefore[k].found == Found::kEarlier &&
          ::fstatat(mDirFd.fd(), mNew[k].name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
          sameFile(now, mBefore[k].st) && ::unlinkat(mDirFd.fd(), mNew[k].name.c_str(), 0) != 0) {
        (void)std::fprintf(stderr, "qorid-publish: published in %s; the earlier %s stays as %s: %s\n",
                           oneLine(mDir).c_str(), kFiles[k].name, oneLine(mNew[k].name).c_str(),
                           std::strerror(errno));
      }
    }
    return 0;
  }

  // What the folder holds of the publication's names and of this run's
  // temporary ones, as the end of a failure line.
  [[nodiscard]] std::string whatIsLeft() const {
    std::string left;
    for (int k = 0; k < 2; ++k) {
      for (const std::string& name : {std::string(kFiles[k].name), mNew[k].name}) {
        struct stat st {};
        if (name.empty() || ::fstatat(mDirFd.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
          continue;
        }
        std::string whose;
        if (mBefore[k].found == Found::kEarlier && sameFile(st, mBefore[k].st)) {
          whose = name == kFiles[k].name ? "published earlier" : "the earlier " + name;
        } else if (mNew[k].fd.isOpen() && sameFile(st, mNew[k].st)) {
          whose = "this run's";
        } else if (name != kFiles[k].name) {
          continue;  // a name another program took since
        } else {
          whose = mBefore[k].found == Found::kOther ? mBefore[k].what : "not written by qorid-publish";
        }
        left += (left.empty() ? "" : ", ") + name + " (" + whose + ")";
      }
    }
    return left.empty() ? "nothing is published in " + mDir
                        : "nothing new is published in " + mDir + "; left there: " + left;
  }

  int fail(const std::string& reason) {
    const std::string notUndone = undo::undoAll();
    undo::restoreHandlers();
    std::string line = "qorid-publish: " + reason + "; ";
    line += mDirFd.isOpen() ? whatIsLeft() : "nothing new is published in " + mDir;
    if (!notUndone.empty()) {
      line += "; could not put back: " + notUndone;
    }
    (void)std::fprintf(stderr, "%s\n", oneLine(line).c_str());
    return 1;
  }

  std::string mDir;
  Descriptor mDirFd;
  Before mBefore[2];
  Written mNew[2];
};

// Makes `dir` and its missing parents (mode 0755 under umask 022); a folder
// that is there is left as it is. Empty, or why not.
std::string makeFolder(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? std::string() : "it is not a folder";
  }
  for (std::string::size_type slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      return std::strerror(errno);
    }
    if (slash == std::string::npos) {
      break;
    }
  }
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return "it is not a folder";
  }
  return {};
}

}  // namespace

int publish(QorIdentifier& identifier, const std::string& dir) {
  (void)::umask(022);
  Publication publication(dir);
  const std::string problem = makeFolder(dir);
  if (!problem.empty()) {
    return publication.cannotMake("cannot make " + dir + ": " + problem);
  }
  return publication.run(identifier);
}

}  // namespace qorid
