#include "common/text_file.h"

#include "common/decimal.h"
#include "common/full_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

namespace qorid {
namespace {

constexpr size_t kChunk = 4096;

}  // namespace

std::string cutNotice(const std::string& path) {
  return "Read only the first " + std::to_string(kReadLimit) + " bytes of " + path +
         ", the rest is ignored";
}

int TextFile::openReadOnly(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

// errno is taken right after the open, before anything can change it.
TextFile::TextFile(std::string path, size_t limit, Opener open)
    : mPath(std::move(path)),
      mFd(open(mPath)),
      mLimit(limit),
      mOpenError(mFd.isOpen() ? 0 : errno) {
  struct stat st;
  if (!mFd.isOpen() || ::fstat(mFd.fd(), &st) != 0) {
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    mFd.reset();
    mOpenError = EISDIR;
  } else if (S_ISREG(st.st_mode) && st.st_size > 0) {
    mSize = st.st_size;  // pseudo files that don't know their size say 0
  }
}

bool TextFile::fill() {
  if (mEnd || !mFd.isOpen()) {
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
      n = readSome(mFd.fd(), &probe, 1);
    }
    mCut = mSize > mReadSoFar || n > 0;
    mEnd = true;
    return false;
  }
  const size_t want = std::min(kChunk, left);
  const size_t old = mBuffer.size();
  mBuffer.resize(old + want);
  const ssize_t n = readSome(mFd.fd(), &mBuffer[old], want);
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

// The number's bytes are taken one by one from the buffer, so that memory
// stays within one chunk however long the white space or the digits run.
bool TextFile::readInt(int& value) {
  DecimalScanner scanner({INT_MIN, INT_MAX, NoDigits::kZero, OutOfRange::kClamped,
                          Trailing::kAllowed, false});
  int c = peek();
  while (c != -1 && scanner.take(static_cast<char>(c))) {
    ++mPos;
    c = peek();
  }
  if (c == -1 && scanner.blanksOnly()) {
    return false;
  }
  value = static_cast<int>(scanner.result().value);
  return true;
}

}  // namespace qorid
