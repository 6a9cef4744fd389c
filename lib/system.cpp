#include "lib/system.h"

#include "common/descriptor.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace qorid::sys {
namespace {

enum class UnameMode { kReal, kFake, kFail };

struct Seam {
  std::string root;     // what every path starts with
  Descriptor boardRoot;  // the board root's directory, while one is set
  bool kernelResolves = true;  // openat2(2) there; else resolveWithinRoot
  bool kernelResolvesForTesting = true;
  UnameMode unameMode = UnameMode::kReal;
  struct utsname fake {};
};

Seam& seam() {
  static Seam instance;
  return instance;
}

std::string underRoot(const char* path) {
  const std::string& root = seam().root;
  return root.empty() ? std::string(path) : root + path;
}

// openat2(2), which the C library of Debian 12 does not wrap: `path` within
// the directory `dirFd` as if it were /, "magic" links refused.
int openat2WithinRoot(int dirFd, const char* path, int flags) {
  struct open_how how {};
  how.flags = static_cast<__u64>(flags);
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
  // The kernel asks to try again when a rename raced with a "..".
  for (int attempt = 0;; ++attempt) {
    const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
    if (fd >= 0 || errno != EAGAIN || attempt == 3) {
      return static_cast<int>(fd);
    }
  }
}

// The next name of `rest`, taken off it ("." once nothing is left), and
// whether it is the last one.
struct Step {
  std::string name;
  bool last;
};
Step nextName(std::string& rest) {
  const size_t start = rest.find_first_not_of('/');
  if (start == std::string::npos) {
    rest.clear();
    return {".", true};
  }
  const size_t end = rest.find('/', start);
  Step step{rest.substr(start, end - start), false};
  rest = end == std::string::npos ? std::string() : rest.substr(end);
  step.last = rest.find_first_not_of('/') == std::string::npos;
  return step;
}

// Follows the link `name` of the folder `at`, the `links`th of a walk: its
// target goes before `rest`, from the root when it points absolutely. False,
// errno set, when it cannot be read or is one more than the kernel's
// MAXSYMLINKS (40).
bool followLink(int at, const std::string& name, int links, std::vector<Descriptor>& folders,
                std::string& rest) {
  if (links > 40) {
    errno = ELOOP;
    return false;
  }
  char target[PATH_MAX];
  const ssize_t size = ::readlinkat(at, name.c_str(), target, sizeof target);
  if (size < 0) {
    return false;
  }
  if (size == static_cast<ssize_t>(sizeof target)) {
    errno = ENAMETOOLONG;
    return false;
  }
  if (target[0] == '/') {
    folders.clear();
  }
  std::string joined(target, static_cast<size_t>(size));
  joined += '/';
  joined += rest;
  rest = std::move(joined);
  return true;
}

// What openat2(2) with RESOLVE_IN_ROOT does, a name at a time, where the
// kernel or an emulator has no openat2 (Linux before 5.6, qemu-user before
// 9.1): `path` within `rootFd` as if it were /. A link that points
// absolutely starts again at the root, ".." stops there, at most 40 links
// are followed; the last name is opened with `flags`, and O_NOFOLLOW among
// them opens a link itself.
int resolveWithinRoot(int rootFd, const std::string& path, int flags) {
  std::vector<Descriptor> folders;  // the way down from the root
  std::string rest = path;
  int links = 0;
  for (;;) {
    const Step step = nextName(rest);
    if (step.name == ".." && !folders.empty()) {
      folders.pop_back();
    }
    const int at = folders.empty() ? rootFd : folders.back().fd();
    if (step.name == "." || step.name == "..") {
      if (step.last) {
        return ::openat(at, ".", flags);
      }
      continue;
    }
    struct stat sb {};
    if (::fstatat(at, step.name.c_str(), &sb, AT_SYMLINK_NOFOLLOW) != 0) {
      return -1;
    }
    if (S_ISLNK(sb.st_mode) && (!step.last || (flags & O_NOFOLLOW) == 0)) {
      if (!followLink(at, step.name, ++links, folders, rest)) {
        return -1;
      }
      continue;
    }
    if (step.last) {
      return ::openat(at, step.name.c_str(), flags | O_NOFOLLOW);
    }
    Descriptor folder(
        ::openat(at, step.name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.isOpen()) {
      return -1;
    }
    folders.push_back(std::move(folder));
  }
}

// `path` (the root, then an absolute path) opened within the board root.
int openWithinBoardRoot(const std::string& path, int flags) {
  const Seam& s = seam();
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  if (path.compare(0, s.root.size(), s.root) != 0 ||
      (path.size() > s.root.size() && path[s.root.size()] != '/')) {
    errno = EXDEV;
    return -1;
  }
  const std::string inRoot = path.size() > s.root.size() ? path.substr(s.root.size()) : "/";
  return s.kernelResolves ? openat2WithinRoot(s.boardRoot.fd(), inRoot.c_str(), flags)
                          : resolveWithinRoot(s.boardRoot.fd(), inRoot, flags);
}

void copyField(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::strncpy(field, text.c_str(), size - 1);
}

}  // namespace

std::string knownIdsPath() { return underRoot("/etc/known_qor_ids"); }
std::string deviceTreeNodePath() { return underRoot("/proc/device-tree/morvane"); }
std::string boardIdPath() { return underRoot("/proc/device-tree/morvane/boardid"); }
std::string descriptionPath() {
  return underRoot("/proc/device-tree/morvane/description");
}
std::string cpuinfoPath() { return underRoot("/proc/cpuinfo"); }
std::string compatiblePath() { return underRoot("/proc/device-tree/compatible"); }
std::string modelPath() { return underRoot("/proc/device-tree/model"); }
std::string procSelfPath() { return underRoot("/proc/self"); }
std::string interfaceAddressPath(const std::string& name) {
  return underRoot("/sys/class/net/") + name + "/address";
}
std::string kernelReleasePath() { return underRoot("/proc/sys/kernel/osrelease"); }
std::string machinePath() { return underRoot("/proc/sys/kernel/arch"); }

std::string setBoardRoot(const std::string& dir) {
  Seam& s = seam();
  if (dir.empty()) {
    s.root.clear();
    s.boardRoot.reset();
    return "";
  }
  const int fd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return std::strerror(errno);
  }
  // Whether the kernel resolves within a folder, or the walk of our own must.
  const int probe = openat2WithinRoot(fd, "/", O_PATH | O_CLOEXEC);
  if (probe < 0 && errno != ENOSYS) {
    std::string why =
        std::string("links cannot be resolved within it here: ") + std::strerror(errno);
    ::close(fd);
    return why;
  }
  s.kernelResolves = probe >= 0 && s.kernelResolvesForTesting;
  if (probe >= 0) {
    ::close(probe);
  }
  std::string root = dir;
  while (!root.empty() && root.back() == '/') {
    root.pop_back();
  }
  s.root = root;
  s.boardRoot.reset(fd);
  return "";
}

bool underBoardRoot() { return seam().boardRoot.isOpen(); }

int openForReading(const std::string& path) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
  return underBoardRoot() ? openWithinBoardRoot(path, kFlags) : ::open(path.c_str(), kFlags);
}

int openDirectory(const std::string& path) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC;
  return underBoardRoot() ? openWithinBoardRoot(path, kFlags) : ::open(path.c_str(), kFlags);
}

int lookAt(const std::string& path, struct stat& sb, bool followLinks) {
  if (!underBoardRoot()) {
    return followLinks ? ::stat(path.c_str(), &sb) : ::lstat(path.c_str(), &sb);
  }
  const int flags = O_PATH | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
  const Descriptor fd(openWithinBoardRoot(path, flags));
  return fd.isOpen() ? ::fstat(fd.fd(), &sb) : -1;
}

int unameInfo(struct utsname* uts) {
  switch (seam().unameMode) {
    case UnameMode::kFake:
      *uts = seam().fake;
      return 0;
    case UnameMode::kFail:
      return -1;
    case UnameMode::kReal:
      break;
  }
  return ::uname(uts);
}

void setRootForTesting(const std::string& root) {
  seam().root = root;
  seam().boardRoot.reset();
}

void setUnameForTesting(const std::string& release, const std::string& machine) {
  Seam& s = seam();
  s.fake = {};
  copyField(s.fake.sysname, sizeof s.fake.sysname, "Linux");
  copyField(s.fake.release, sizeof s.fake.release, release);
  copyField(s.fake.machine, sizeof s.fake.machine, machine);
  s.unameMode = UnameMode::kFake;
}

void resolveWithoutOpenat2ForTesting() { seam().kernelResolvesForTesting = false; }

void failUnameForTesting() { seam().unameMode = UnameMode::kFail; }

void resetForTesting() {
  seam().root.clear();
  seam().boardRoot.reset();
  seam().kernelResolvesForTesting = true;
  seam().unameMode = UnameMode::kReal;
}

}  // namespace qorid::sys
