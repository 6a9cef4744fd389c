#include "tests/support/recording_logger.h"

// Every member of cNolt is defined here and none reads the category handle,
// which clang reports.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-private-field"
#endif
#include "nolt/nolt.h"
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testing_log {

std::vector<Entry>& entries() {
  static std::vector<Entry> all;
  return all;
}

void clear() { entries().clear(); }

size_t count(Level level) {
  return static_cast<size_t>(std::count_if(entries().begin(), entries().end(),
                                           [level](const Entry& e) { return e.level == level; }));
}

size_t count(const std::string& text) {
  return static_cast<size_t>(std::count_if(entries().begin(), entries().end(),
                                           [&text](const Entry& e) { return e.text == text; }));
}

std::vector<std::string> texts() {
  std::vector<std::string> out;
  for (const Entry& e : entries()) {
    out.push_back(e.text);
  }
  return out;
}

bool contains(const std::string& text) { return count(text) > 0; }

bool containsPrefix(const std::string& prefix) {
  return std::any_of(entries().begin(), entries().end(), [&prefix](const Entry& e) {
    return e.text.compare(0, prefix.size(), prefix) == 0;
  });
}

namespace {

void record(Level level, const char* format, va_list args) {
  // Caught on every message, not only when a stray conversion happens to
  // read something a sanitizer notices.
  if (format == nullptr || std::strcmp(format, "%s") != 0) {
    std::fprintf(stderr, "recording logger: a message was handed over as a format: %s\n",
                 format != nullptr ? format : "(null)");
    std::abort();
  }
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
