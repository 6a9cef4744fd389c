// A cNolt for the unit tests and the fuzz targets: every message is
// formatted and recorded with its level. The library hands each message over
// as the argument of "%s"; any other format means text reached the format
// position, and the recording logger aborts the process with a message on
// standard error. Not thread-safe.
#ifndef QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_
#define QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_

#include <cstddef>
#include <string>
#include <vector>

namespace testing_log {

enum class Level { kDebug, kInfo, kWarn, kError, kFatal };

struct Entry {
  Level level;
  std::string text;
  bool operator==(const Entry& other) const {
    return level == other.level && text == other.text;
  }
};

// Everything every cNolt of the process logged since the last clear(), in
// order. It only grows: a long run clears it now and then.
std::vector<Entry>& entries();
void clear();
// How many of the entries are of `level`, or have exactly `text`.
size_t count(Level level);
size_t count(const std::string& text);
// Only the texts, handy for order checks.
std::vector<std::string> texts();
bool contains(const std::string& text);
// Whether an entry's text begins with `prefix`.
bool containsPrefix(const std::string& prefix);

}  // namespace testing_log

#endif  // QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_
