#include "descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace qorid {

void Descriptor::reset(int fd) {
  if (mFd >= 0) {
    ::close(mFd);
  }
  mFd = fd;
}

int Descriptor::close() {
  const int fd = mFd;
  mFd = -1;
  if (fd < 0) {
    errno = EBADF;
    return -1;
  }
  return ::close(fd);
}

}  // namespace qorid
