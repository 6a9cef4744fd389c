// A cNolt for unit tests: every message is recorded with its level.
#ifndef QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_
#define QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_

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

// Everything every cNolt of the test process logged, in order.
std::vector<Entry>& entries();
void clear();
// Only the texts, handy for order checks.
std::vector<std::string> texts();
bool contains(const std::string& text);

}  // namespace testing_log

#endif  // QORID_TESTS_SUPPORT_RECORDING_LOGGER_H_
