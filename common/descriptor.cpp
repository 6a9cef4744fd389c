#include "descriptor.h"

#include <unistd.h>

namespace qorid {

void Descriptor::reset(int fd) {
  if (mFd >= 0) {
    ::close(mFd);
  }
  mFd = fd;
}

}  // namespace qorid
