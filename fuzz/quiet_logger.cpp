#include "quiet_logger.h"

#include "fuzz_support.h"

// Every member of cNolt is defined here and none reads the category handle,
// which clang would report.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-private-field"
#include "nolt/nolt.h"
#pragma clang diagnostic pop

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace fuzz_log {
namespace {

Counts& mutableCounts() {
  static Counts all;
  return all;
}

void emit(unsigned& counter, const char* format, va_list args) {
  // The library hands every message to its logger as the argument of "%s"
  // (QorIdentifier::tryLog). Any other format means text read from the
  // board's files reached the format position; catch that on every input
  // rather than only when ASan happens to notice the stray conversions.
  FUZZ_CHECK(format != nullptr && std::strcmp(format, "%s") == 0);
  // Format for real, so that ASan sees every byte of the argument read.
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  FUZZ_CHECK(size >= 0);
  std::string text(static_cast<size_t>(size), '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  ++counter;
}

}  // namespace

const Counts& counts() { return mutableCounts(); }

void reset() { mutableCounts() = Counts(); }

}  // namespace fuzz_log

void cNolt::init(const char*) {}

cNolt::cNolt(const char*) : mCategory(nullptr) {}

#define QUIET_LEVEL_METHOD(method)                      \
  void cNolt::method(const char* format, ...) {         \
    va_list args;                                       \
    va_start(args, format);                             \
    fuzz_log::emit(fuzz_log::mutableCounts().method, format, args); \
    va_end(args);                                       \
  }

QUIET_LEVEL_METHOD(debug)
QUIET_LEVEL_METHOD(info)
QUIET_LEVEL_METHOD(warn)
QUIET_LEVEL_METHOD(error)
QUIET_LEVEL_METHOD(fatal)
