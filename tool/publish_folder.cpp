#include "tool/publish_folder.h"

#include "common/full_io.h"
#include "common/undo.h"
#include "lib/one_line.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace qorid {
namespace {

// How long a run waits for another one in the same folder, in steps of 10 ms.
constexpr int kLockWaitSteps = 1000;

const char* const kNames[kPublishedFiles] = {"parameters.env", "board.json"};
const char* const kMarks[kPublishedFiles] = {kEnvFileMark, kJsonFileMark};

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

}  // namespace

PublishedFolder::PublishedFolder(std::string dir) : mDir(std::move(dir)) {}

std::string PublishedFolder::take() {
  mDirFd.reset(::open(mDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!mDirFd.isOpen()) {
    return "cannot open " + mDir + ": " + std::strerror(errno);
  }
  std::string problem = lock();
  for (int k = 0; k < kPublishedFiles; ++k) {
    const std::string unfit = look(k);
    problem = problem.empty() ? unfit : problem;
  }
  return problem;
}

// One run at a time in the folder: another one's lock is waited for.
std::string PublishedFolder::lock() {
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
    const struct timespec tenMs = {0, 10L * 1000 * 1000};
    (void)::nanosleep(&tenMs, nullptr);
  }
}

// What name `k` holds: nothing, an earlier publication's file (its mark
// read through a descriptor that is then kept), or anything else.
std::string PublishedFolder::look(int k) {
  Before& before = mBefore[k];
  if (::fstatat(mDirFd.fd(), kNames[k], &before.st, AT_SYMLINK_NOFOLLOW) != 0) {
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
    before.fd.reset(
        ::openat(mDirFd.fd(), kNames[k], O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const std::string mark = kMarks[k];
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
  return "will not replace " + path(kNames[k]) + ": " + before.what;
}

std::string PublishedFolder::create(int k) {
  Written& file = mNew[k];
  for (int attempt = 0; attempt < 100 && !file.fd.isOpen(); ++attempt) {
    const undo::SignalsHeld held;
    file.name = std::string(".") + kNames[k] + "." + randomSuffix();
    file.fd.reset(::openat(mDirFd.fd(), file.name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.fd.isOpen() && errno != EEXIST) {
      return "cannot write into " + mDir + ": " + std::strerror(errno);
    }
    if (file.fd.isOpen() && (::fstat(file.fd.fd(), &file.st) != 0 ||
                             !undo::armRemove(mDirFd.fd(), file.name, file.st))) {
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

std::string PublishedFolder::place() {
  for (int k = 0; k < kPublishedFiles; ++k) {
    std::string problem = place(k);
    if (!problem.empty()) {
      return problem;
    }
  }
  return {};
}

std::string PublishedFolder::place(int k) {
  const Written& file = mNew[k];
  const std::string name = kNames[k];
  const int dirFd = mDirFd.fd();
  const undo::SignalsHeld held;  // the step and its arming together
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
  return undo::armRenameBack(dirFd, name, file.name, file.st)
             ? std::string()
             : "cannot keep track of " + path(name);
}

void PublishedFolder::removeEarlier() const {
  for (int k = 0; k < kPublishedFiles; ++k) {
    struct stat now {};
    if (mBefore[k].found == Found::kEarlier &&
        ::fstatat(mDirFd.fd(), mNew[k].name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(now, mBefore[k].st) && ::unlinkat(mDirFd.fd(), mNew[k].name.c_str(), 0) != 0) {
      (void)std::fprintf(stderr, "qorid-publish: published in %s; the earlier %s stays as %s: %s\n",
                         oneLine(mDir).c_str(), kNames[k], oneLine(mNew[k].name).c_str(),
                         std::strerror(errno));
    }
  }
}

// Whose file `name`, one of published file k's names, holds: empty for one
// that another program put under a temporary name since.
std::string PublishedFolder::whose(int k, const std::string& name, const struct stat& st) const {
  const bool published = name == kNames[k];
  if (mBefore[k].found == Found::kEarlier && sameFile(st, mBefore[k].st)) {
    return published ? "published earlier" : std::string("the earlier ") + kNames[k];
  }
  if (mNew[k].fd.isOpen() && sameFile(st, mNew[k].st)) {
    return "this run's";
  }
  if (!published) {
    return {};
  }
  return mBefore[k].found == Found::kOther ? mBefore[k].what : "not written by qorid-publish";
}

std::string PublishedFolder::whatIsLeft() const {
  if (!mDirFd.isOpen()) {
    return "nothing new is published in " + mDir;
  }
  std::string left;
  for (int k = 0; k < kPublishedFiles; ++k) {
    for (const std::string& name : {std::string(kNames[k]), mNew[k].name}) {
      struct stat st {};
      if (name.empty() || ::fstatat(mDirFd.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        continue;
      }
      const std::string owner = whose(k, name, st);
      if (!owner.empty()) {
        left.append(left.empty() ? "" : ", ").append(name).append(" (").append(owner).append(")");
      }
    }
  }
  return left.empty() ? "nothing is published in " + mDir
                      : "nothing new is published in " + mDir + "; left there: " + left;
}

}  // namespace qorid
