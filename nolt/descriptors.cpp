#include "nolt/descriptors.h"

#include "common/decimal.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <climits>

namespace nolt {

// log4cpp opens its files without close-on-exec and does not say which:
// what is open after configuring and was not before is what it opened.
std::vector<int> openDescriptors() {
  std::vector<int> fds;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(dir);
    // readdir is safe on a stream of one's own; readdir_r is deprecated.
    // cppcheck-suppress readdirCalled
    while (const struct dirent* entry = ::readdir(dir)) {
      // A name that is a whole number: not "." or "..".
      const qorid::Decimal fd =
          qorid::scanDecimal(entry->d_name, {0, INT_MAX, qorid::NoDigits::kRefused,
                                             qorid::OutOfRange::kRefused,
                                             qorid::Trailing::kRefused, false});
      if (fd.ok && fd.value != own) {
        fds.push_back(static_cast<int>(fd.value));
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

}  // namespace nolt
