#include "common/descriptor.h"

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
  const int held = mFd;
  mFd = -1;
  if (held < 0) {
    errno = EBADF;
    return -1;
  }
  return ::close(held);
}

}  // namespace qorid
