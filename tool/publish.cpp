#include "publish.h"

#include "descriptor.h"
#include "full_io.h"
#include "json_output.h"
#include "one_line.h"
#include "output.h"
#include "qorid/qorid.h"
#include "shell_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace qorid {
namespace {

const char* const kFiles[] = {"parameters.env", "board.json"};
constexpr char kRecord[] = ".qorid-publish";
// The record is a few lines; anything longer is not one of ours.
constexpr size_t kRecordLimit = 4096;

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
};

bool idOf(const std::string& path, FileId& id) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  id = {st.st_dev, st.st_ino};
  return true;
}

// What a termination signal has to remove (temporary files, and the
// published files once they are known to be its own), and the line it says.
// Filled before the handlers are installed and while they are; the handler
// reads only what gCount covers.
constexpr int kMaxRemoved = 8;
std::string gRemoved[kMaxRemoved];
volatile sig_atomic_t gCount = 0;
std::string gInterrupted;

extern "C" void onTerminate(int /*signal*/) {
  for (int i = 0; i < gCount; ++i) {
    (void)::unlink(gRemoved[i].c_str());
  }
  const ssize_t said = ::write(STDERR_FILENO, gInterrupted.data(), gInterrupted.size());
  (void)said;  // nothing more can be done on the way out
  ::_exit(1);
}

// Has a termination signal, or a failure, remove `path`.
void removeOnFailure(const std::string& path) {
  if (gCount < kMaxRemoved) {
    gRemoved[gCount] = path;
    gCount = gCount + 1;
  }
}

bool isRemovedOnFailure(const std::string& path) {
  for (int i = 0; i < gCount; ++i) {
    if (gRemoved[i] == path) {
      return true;
    }
  }
  return false;
}

void setHandlers(void (*handler)(int)) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    (void)::sigaction(signal, &action, nullptr);
  }
}

// A temporary file in the folder, open for writing.
struct Temporary {
  std::string path;
  Descriptor fd;
  FileId id;
};

// One publication into one folder: what it has made, and what it may remove.
class Publication {
 public:
  explicit Publication(std::string dir) : mDir(std::move(dir)) {}
  Publication(const Publication&) = delete;
  Publication& operator=(const Publication&) = delete;

  [[nodiscard]] std::string target(int i) const { return mDir + "/" + kFiles[i]; }

  // The files of the two names that the record names: its own.
  void findOwnFiles() {
    const std::string record = mDir + "/" + kRecord;
    const Descriptor fd(::open(record.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen()) {
      return;
    }
    std::string text(kRecordLimit, '\0');
    struct stat st;
    const ssize_t n = ::fstat(fd.fd(), &st) == 0 && S_ISREG(st.st_mode)
                          ? readFull(fd.fd(), text.data(), text.size())
                          : -1;
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    std::istringstream lines(text);
    std::string name;
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    while (lines >> name >> dev >> ino) {
      for (int i = 0; i < 2; ++i) {
        FileId id;
        if (name == kFiles[i] && idOf(target(i), id) && id.dev == dev && id.ino == ino) {
          removeOnFailure(target(i));
        }
      }
    }
  }

  // What stays in the folder when the publication fails now, as the end of
  // the failure line.
  // `notRemoved`: why each of its own files could not be removed. Before
  // anything is removed (`removed` false), its own files count as gone.
  [[nodiscard]] std::string whatIsLeft(const std::vector<std::string>& notRemoved, bool removed = true) const {
    std::string left;
    for (int i = 0; i < 2; ++i) {
      struct stat st;
      if (::lstat(target(i).c_str(), &st) != 0 || (!removed && isRemovedOnFailure(target(i)))) {
        continue;
      }
      left += left.empty() ? "" : ", ";
      left += kFiles[i];
      left += notRemoved[i].empty() ? " (not written by qorid-publish)"
                                    : " (cannot be removed: " + notRemoved[i] + ")";
    }
    if (left.empty()) {
      return "nothing is published in " + oneLine(mDir);
    }
    return "nothing new is published in " + oneLine(mDir) + "; left there: " + left;
  }

  void armSignals() const {
    gInterrupted = "qorid-publish: interrupted; " + whatIsLeft({"", ""}, false) + "\n";
    setHandlers(onTerminate);
  }

  int fail(const std::string& reason) {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    (void)::sigprocmask(SIG_BLOCK, &all, &before);
    std::vector<std::string> notRemoved(2);
    for (int i = 0; i < gCount; ++i) {
      if (::unlink(gRemoved[i].c_str()) != 0 && errno != ENOENT) {
        for (int f = 0; f < 2; ++f) {
          if (gRemoved[i] == target(f)) {
            notRemoved[f] = std::strerror(errno);
          }
        }
      }
    }
    bool ownLeft = false;
    for (int f = 0; f < 2; ++f) {
      ownLeft = ownLeft || !notRemoved[f].empty();
    }
    if (!ownLeft) {
      (void)::unlink((mDir + "/" + kRecord).c_str());
    }
    const std::string line =
        "qorid-publish: " + oneLine(reason) + "; " + whatIsLeft(notRemoved) + "\n";
    gCount = 0;
    setHandlers(SIG_DFL);
    (void)::sigprocmask(SIG_SETMASK, &before, nullptr);
    (void)std::fputs(line.c_str(), stderr);
    return 1;
  }

  // A new temporary file NAME.XXXXXX in the folder, mode 0644.
  std::string open(const char* name, Temporary& file) {
    std::string pattern = mDir + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
      return "cannot write into " + mDir + ": " + std::strerror(errno);
    }
    file.path = pattern;
    file.fd.reset(fd);
    removeOnFailure(file.path);
    struct stat st;
    if (::fchmod(fd, 0644) != 0 || ::fstat(fd, &st) != 0) {
      return "cannot set the mode of " + file.path + ": " + std::strerror(errno);
    }
    file.id = {st.st_dev, st.st_ino};
    return {};
  }

  // Writes what `write` puts in a stream to the temporary file, in full and
  // on disk.
  template <typename Write>
  std::string fill(const Temporary& file, Write write) {
    DescriptorStream out(file.fd.fd());
    write(out);
    out.flush();
    if (out.error() != 0) {
      return "cannot write " + file.path + ": " + std::strerror(out.error());
    }
    if (::fdatasync(file.fd.fd()) != 0 && errno != EINVAL) {
      return "cannot write " + file.path + ": " + std::strerror(errno);
    }
    return {};
  }

  // Renames a temporary file into place: from then on that name is its own.
  static std::string place(Temporary& file, const std::string& to) {
    if (::rename(file.path.c_str(), to.c_str()) != 0) {
      return "cannot rename " + file.path + " to " + to + ": " + std::strerror(errno);
    }
    removeOnFailure(to);
    return {};
  }

  int run(QorIdentifier& identifier) {
    findOwnFiles();
    armSignals();
    const HardwareIdentity identity = identifier.getIdentity();
    identifier.parse_params();
    std::string problem = open(kFiles[0], mEnv);
    if (problem.empty()) {
      problem = open(kFiles[1], mJson);
    }
    if (problem.empty()) {
      problem = open(kRecord + 1, mRecord);
    }
    if (problem.empty()) {
      problem = fill(mEnv, [&identifier](std::ostream& out) { writeExport(identifier, out); });
    }
    if (problem.empty()) {
      problem = fill(mJson, [&](std::ostream& out) {
        writeIdentityJson(out, identity.number, identity.name, identity.aliases,
                          identifier.getParams());
        out << '\n';
      });
    }
    if (problem.empty()) {
      problem = fill(mRecord, [this](std::ostream& out) {
        for (const Temporary* file : {&mEnv, &mJson}) {
          out << (file == &mEnv ? kFiles[0] : kFiles[1]) << ' ' << file->id.dev << ' '
              << file->id.ino << '\n';
        }
      });
    }
    if (problem.empty()) {
      problem = place(mRecord, mDir + "/" + kRecord);
    }
    if (problem.empty()) {
      problem = place(mEnv, target(0));
    }
    if (problem.empty()) {
      problem = place(mJson, target(1));
    }
    if (!problem.empty()) {
      return fail(problem);
    }
    gCount = 0;
    setHandlers(SIG_DFL);
    return 0;
  }

 private:
  std::string mDir;
  Temporary mEnv;
  Temporary mJson;
  Temporary mRecord;
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
    return publication.fail("cannot make " + dir + ": " + problem);
  }
  return publication.run(identifier);
}

}  // namespace qorid
