// Shared pieces of the fuzz targets: checks that stop the run, a scratch
// directory per process, file helpers and read access to an identifier.
#ifndef QORID_FUZZ_FUZZ_SUPPORT_H_
#define QORID_FUZZ_FUZZ_SUPPORT_H_

#include "field_access.h"
#include "qorid/qorid.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A broken invariant of the library: report it and trap, so that libFuzzer
// keeps the input as a crash.
#define FUZZ_CHECK(condition)                                     \
  do {                                                            \
    if (!(condition)) {                                           \
      ::fuzz::checkFailed(#condition, __FILE__, __LINE__);        \
    }                                                             \
  } while (0)

namespace fuzz {

[[noreturn]] void checkFailed(const char* condition, const char* file, int line);
// The fuzz target itself could not do its work (a scratch file could not be
// made): not a fault of the library, but the run cannot go on.
[[noreturn]] void harnessFailed(const std::string& what);

// A directory of this process under $TMPDIR (default /tmp), made on first
// use and removed with everything in it when the process exits normally.
const std::string& scratchDir();

// Creates or truncates `path` and writes `content` (any bytes) to it.
void writeFile(const std::string& path, const std::string& content);
void makeDir(const std::string& path);  // one level; it must not exist
void makeFifo(const std::string& path);
// Removes whatever is at `path`, directories with their contents; nothing
// there is fine.
void removePath(const std::string& path);

// Reads a fuzz input front to back; reading past the end gives nothing.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool empty() const { return mPos >= mSize; }
  uint8_t byte() { return empty() ? 0 : mData[mPos++]; }
  // Up to `count` bytes, fewer at the end of the input.
  std::string bytes(size_t count);
  std::string rest() { return bytes(mSize - mPos); }

 private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

}  // namespace fuzz

#endif  // QORID_FUZZ_FUZZ_SUPPORT_H_
