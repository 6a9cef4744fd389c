#include "tool/output.h"

#include "common/full_io.h"

#include <fcntl.h>
#include <sys/stat.h>
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

class DescriptorStream::Buffer : public std::streambuf {
 public:
  explicit Buffer(int fd) : mFd(fd), mError(fd < 0 ? EBADF : 0) {
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
    if (mError == 0 && !writeAll(mFd, next, static_cast<size_t>(end - next))) {
      mError = errno;
    }
    return mError == 0;
  }

  char mData[4096];
  int mFd;
  int mError;
};

DescriptorStream::DescriptorStream(int fd)
    : std::ostream(nullptr), mBuffer(std::make_unique<Buffer>(fd)) {
  rdbuf(mBuffer.get());
}

DescriptorStream::~DescriptorStream() { flush(); }

int DescriptorStream::error() const { return mBuffer->error(); }

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

CheckedOutput::CheckedOutput(bool closed)
    : mClosed(closed),
      mStream(std::make_unique<DescriptorStream>(closed ? -1 : STDOUT_FILENO)),
      mCout(std::cout.rdbuf(std::cerr.rdbuf())) {}

CheckedOutput::~CheckedOutput() {
  mStream->flush();
  std::cout.rdbuf(mCout);
}

void CheckedOutput::keepLogsOut() const {
  struct stat data;
  if (mClosed || ::fstat(STDOUT_FILENO, &data) != 0) {
    return;
  }
  // Descriptors are handed out lowest free first: past a long run of closed
  // ones, logging opened nothing more.
  constexpr int kClosedRun = 64;
  for (int fd = STDERR_FILENO + 1, closedRun = 0; closedRun < kClosedRun; ++fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      ++closedRun;
      continue;
    }
    closedRun = 0;
    if (sameFile(st, data)) {
      (void)::dup3(STDERR_FILENO, fd, O_CLOEXEC);
    }
  }
}

int CheckedOutput::finish(int status) {
  mStream->flush();
  // A closed descriptor 1 is an error only once something was to be written.
  if (!mStream->bad()) {
    return status;
  }
  (void)std::fprintf(stderr, "qorid: write error: %s\n", std::strerror(mStream->error()));
  return 1;
}

}  // namespace qorid
