#include "descriptors.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace nolt {

Descriptor::~Descriptor() {
  if (mFd >= 0) {
    ::close(mFd);
  }
}

// log4cpp opens its files without close-on-exec and does not say which:
// what is open after configuring and was not before is what it opened.
std::vector<int> openDescriptors() {
  std::vector<int> fds;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(dir);
    // readdir is safe on a stream of one's own; readdir_r is deprecated.
    // cppcheck-suppress readdirCalled
    while (const struct dirent* entry = ::readdir(dir)) {
      char* end = nullptr;
      const long fd = std::strtol(entry->d_name, &end, 10);
      if (end != entry->d_name && *end == '\0' && fd != own) {
        fds.push_back(static_cast<int>(fd));
      }
    }
    ::closedir(dir);
  } else {
    // Without /proc: as many as a process of this kind ever holds.
    for (int fd = 0; fd < 1024; ++fd) {
      if (::fcntl(fd, F_GETFD) != -1) {
        fds.push_back(fd);
      }
    }
  }
  std::sort(fds.begin(), fds.end());
  return fds;
}

void keepFromExec(int fd) {
  const int flags = ::fcntl(fd, F_GETFD);
  if (flags >= 0 && (flags & FD_CLOEXEC) == 0) {
    (void)::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
  }
}

void keepNewFromExec(const std::vector<int>& before) {
  for (const int fd : openDescriptors()) {
    if (!std::binary_search(before.begin(), before.end(), fd)) {
      keepFromExec(fd);
    }
  }
}

bool writeAll(int fd, const std::string& text) {
  for (size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (n == 0) {
        errno = EIO;  // no progress and no error: it would never end
      }
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace nolt
