#include "common/full_io.h"

#include <unistd.h>

#include <cerrno>

namespace qorid {

ssize_t readSome(int fd, void* data, size_t size) {
  ssize_t n;
  do {
    n = ::read(fd, data, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t readFull(int fd, char* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = readSome(fd, data + got, size - got);
    if (n < 0) {
      return -1;
    }
    if (n == 0) {
      break;
    }
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

bool writeAll(int fd, const char* data, size_t size) {
  for (size_t written = 0; written < size;) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (n == 0) {
        errno = EIO;
      }
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace qorid
