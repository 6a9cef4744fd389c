#include "expectations.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace fuzz {
namespace {

bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) {
    lines.push_back(current);
  }
  return lines;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::optional<HardwareIdentity> expectedIdentity(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c != ':') {
      fields.back() += c;
    } else if (!fields.back().empty()) {
      fields.emplace_back();
    }
  }
  if (fields.back().empty()) {
    fields.pop_back();
  }
  if (fields.size() < 2) {
    return std::nullopt;
  }
  // strtoll takes the same blanks and sign and stops at the first byte that
  // is not a digit, a NUL included.
  const char* start = fields[1].c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(start, &end, 10);
  if (end == start || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
    return std::nullopt;
  }
  HardwareIdentity identity;
  identity.name = fields[0];
  identity.number = static_cast<int>(value);
  identity.aliases.assign(fields.begin() + 2, fields.end());
  return identity;
}

std::vector<HardwareIdentity> builtInIdentities() {
  return {
      {"Tessaron QVKLITE", {"qvklite"}, 1},
      {"Tessaron QVK", {"qvk"}, 2},
      {"Morvane Starter Kit", {"mstart", "Tessaron Morvane Starter Kit"}, 3},
  };
}

int expectedBoardNumber(const std::string& content, int previous) {
  size_t i = 0;
  while (i < content.size() && isCSpace(content[i])) {
    ++i;
  }
  if (i == content.size()) {
    return previous;
  }
  bool negative = false;
  if (content[i] == '+' || content[i] == '-') {
    negative = content[i] == '-';
    ++i;
  }
  // Past 2^32 the value only matters as "out of range".
  constexpr long long kCap = 1LL << 32;
  long long value = 0;
  bool anyDigit = false;
  for (; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i) {
    anyDigit = true;
    if (value < kCap) {
      value = value * 10 + (content[i] - '0');
    }
  }
  if (!anyDigit) {
    return 0;
  }
  if (negative) {
    value = -value;
  }
  if (value > INT_MAX) {
    return INT_MAX;
  }
  if (value < INT_MIN) {
    return INT_MIN;
  }
  return static_cast<int>(value);
}

std::string upperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

bool sameIdentity(const HardwareIdentity& a, const HardwareIdentity& b) {
  return a.name == b.name && a.number == b.number && a.aliases == b.aliases;
}

bool sameIdentities(const std::vector<HardwareIdentity>& a,
                    const std::vector<HardwareIdentity>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (!sameIdentity(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace fuzz
