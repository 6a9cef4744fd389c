#include "recording_logger.h"

#include "nolt/nolt.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace testing_log {

std::vector<Entry>& entries() {
  static std::vector<Entry> all;
  return all;
}

void clear() { entries().clear(); }

std::vector<std::string> texts() {
  std::vector<std::string> out;
  for (const Entry& e : entries()) {
    out.push_back(e.text);
  }
  return out;
}

bool contains(const std::string& text) {
  const std::vector<std::string> all = texts();
  return std::find(all.begin(), all.end(), text) != all.end();
}

namespace {

void record(Level level, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) {
    std::vsnprintf(&text[0], text.size() + 1, format, args);
  }
  entries().push_back({level, text});
}

}  // namespace
}  // namespace testing_log

void cNolt::init(const char*) {}

cNolt::cNolt(const char*) : mCategory(nullptr) {}

#define RECORDING_LEVEL_METHOD(method, level)           \
  void cNolt::method(const char* format, ...) {         \
    va_list args;                                       \
    va_start(args, format);                             \
    testing_log::record(testing_log::Level::level, format, args); \
    va_end(args);                                       \
  }

RECORDING_LEVEL_METHOD(debug, kDebug)
RECORDING_LEVEL_METHOD(info, kInfo)
RECORDING_LEVEL_METHOD(warn, kWarn)
RECORDING_LEVEL_METHOD(error, kError)
RECORDING_LEVEL_METHOD(fatal, kFatal)
