// What only the fuzz targets need: a check that stops the run, and a reader
// of the input. The logger and the file helpers are those of tests/support.
#ifndef QORID_FUZZ_FUZZ_SUPPORT_H_
#define QORID_FUZZ_FUZZ_SUPPORT_H_

#include "qorid/qorid.h"

#include <cstddef>
#include <cstdint>
#include <string>

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

inline bool sameIdentity(const HardwareIdentity& a, const HardwareIdentity& b) {
  return a.name == b.name && a.number == b.number && a.aliases == b.aliases;
}

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
