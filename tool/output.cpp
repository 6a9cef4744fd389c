#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace qorid {

bool claimStandardDescriptors() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    outputClosed = outputClosed || fd == STDOUT_FILENO;
    // The lowest free descriptor is this one: those below are open by now.
    // Without /dev/null (a bare chroot) any descriptor will do as long as
    // it holds the place.
    int standIn = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (standIn < 0) {
      standIn = ::open("/", O_PATH | O_CLOEXEC);
    }
    if (standIn >= 0 && standIn != fd) {
      ::close(standIn);
    }
  }
  return outputClosed;
}

// Collects what std::cout is given and writes it to descriptor 1 when the
// stream is flushed or the buffer is full. After the first failure nothing
// more is written: the stream goes bad and the failure is kept.
class CheckedOutput::Buffer : public std::streambuf {
 public:
  explicit Buffer(bool closed) : mError(closed ? EBADF : 0) {
    setp(mData, mData + sizeof mData);
  }
  [[nodiscard]] int error() const { return mError; }

 protected:
  int overflow(int c) override {
    if (!drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    const char* next = pbase();
    const char* const end = pptr();
    setp(mData, mData + sizeof mData);
    if (next == end) {
      return true;
    }
    while (mError == 0 && next < end) {
      const ssize_t n = ::write(STDOUT_FILENO, next, static_cast<size_t>(end - next));
      if (n > 0) {
        next += n;
      } else if (n == 0) {
        mError = EIO;  // no progress and no reason: not to be tried for ever
      } else if (errno != EINTR) {
        mError = errno;
      }
    }
    return mError == 0;
  }

  char mData[4096];
  int mError;
};

CheckedOutput::CheckedOutput(bool closed)
    : mBuffer(std::make_unique<Buffer>(closed)), mPrevious(std::cout.rdbuf(mBuffer.get())) {}

CheckedOutput::~CheckedOutput() { std::cout.rdbuf(mPrevious); }

int CheckedOutput::finish(int status) {
  std::cout.flush();
  // A closed descriptor 1 is an error only once something was to be written.
  if (!std::cout.bad()) {
    return status;
  }
  (void)std::fprintf(stderr, "qorid: write error: %s\n", std::strerror(mBuffer->error()));
  return 1;
}

}  // namespace qorid
