#include "fuzz/fuzz_support.h"

#include <cstdio>

namespace fuzz {

void checkFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "qorid fuzz check failed: %s (%s:%d)\n", condition, file, line);
  std::fflush(stderr);
  __builtin_trap();
}

std::string Reader::bytes(size_t count) {
  const size_t available = empty() ? 0 : mSize - mPos;
  const size_t n = count < available ? count : available;
  std::string out(reinterpret_cast<const char*>(mData) + mPos, n);
  mPos += n;
  return out;
}

}  // namespace fuzz
