#include "text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace qorid {
namespace {

constexpr size_t kChunk = 4096;

}  // namespace

std::string cutNotice(const std::string& path) {
  return "Read only the first " + std::to_string(kReadLimit) + " bytes of " + path +
         ", the rest is ignored";
}

TextFile::TextFile(const std::string& path, size_t limit)
    : mPath(path), mFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), mLimit(limit) {
  struct stat st;
  if (mFd < 0 || ::fstat(mFd, &st) != 0) {
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(mFd);
    mFd = -1;
  } else if (S_ISREG(st.st_mode) && st.st_size > 0) {
    mSize = st.st_size;  // pseudo files that don't know their size say 0
  }
}

TextFile::~TextFile() {
  if (mFd >= 0) {
    ::close(mFd);
  }
}

bool TextFile::fill() {
  if (mEnd || mFd < 0) {
    return false;
  }
  // Drop what has been handed out before growing the buffer.
  mBuffer.erase(0, mPos);
  mPos = 0;
  const auto left = static_cast<size_t>(static_cast<long long>(mLimit) - mReadSoFar);
  if (left == 0) {
    // More is wanted than may be read: whether the file had more decides
    // between its end and a cut. A regular file says so by its size.
    char probe;
    ssize_t n = 0;
    if (mSize < 0) {
      do {
        n = ::read(mFd, &probe, 1);
      } while (n < 0 && errno == EINTR);
    }
    mCut = mSize > mReadSoFar || n > 0;
    mEnd = true;
    return false;
  }
  const size_t want = std::min(kChunk, left);
  const size_t old = mBuffer.size();
  mBuffer.resize(old + want);
  ssize_t n;
  do {
    n = ::read(mFd, &mBuffer[old], want);
  } while (n < 0 && errno == EINTR);
  mBuffer.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
  if (n <= 0) {
    mEnd = true;
    return false;
  }
  mReadSoFar += n;
  if (mSize >= 0 && mReadSoFar >= mSize) {
    mEnd = true;  // what is there now has been read; the data stays usable
  }
  return true;
}

bool TextFile::readUntil(std::string& text, char end) {
  text.clear();
  std::string::size_type searchFrom = mPos;
  for (;;) {
    const std::string::size_type found = mBuffer.find(end, searchFrom);
    if (found != std::string::npos) {
      text.assign(mBuffer, mPos, found - mPos);
      mPos = found + 1;
      return true;
    }
    const std::string::size_type scanned = mBuffer.size() - mPos;
    if (!fill()) {
      break;
    }
    searchFrom = scanned;  // fill() moved the unread text to the front
  }
  if (mPos < mBuffer.size()) {
    text.assign(mBuffer, mPos, std::string::npos);
    mPos = mBuffer.size();
    return true;
  }
  return false;
}

bool TextFile::readChunk(std::string& bytes) {
  bytes.clear();
  if (mPos == mBuffer.size() && !fill()) {
    return false;
  }
  bytes.assign(mBuffer, mPos, std::string::npos);
  mPos = mBuffer.size();
  return true;
}

int TextFile::peek() {
  if (mPos == mBuffer.size() && !fill()) {
    return -1;
  }
  return static_cast<unsigned char>(mBuffer[mPos]);
}

bool TextFile::readInt(int& value) {
  // The classic locale's white space, which the stream would skip.
  auto isSpace = [](int c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  int c = peek();
  while (c != -1 && isSpace(c)) {
    ++mPos;
    c = peek();
  }
  if (c == -1) {
    return false;
  }
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    ++mPos;
    c = peek();
  }
  // Past the limit the digits still have to be read, but only the fact
  // that the number is out of range is kept.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  bool digits = false;
  while (c >= '0' && c <= '9') {
    digits = true;
    if (magnitude <= limit) {
      magnitude = magnitude * 10 + (c - '0');
    }
    ++mPos;
    c = peek();
  }
  if (!digits) {
    value = 0;
  } else if (magnitude > limit) {
    value = negative ? INT_MIN : INT_MAX;
  } else {
    value = static_cast<int>(negative ? -magnitude : magnitude);
  }
  return true;
}

}  // namespace qorid
