#include "known_identities.h"

#include "system.h"

#include <climits>

namespace qorid {
namespace {

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type pos = 0;
  while (pos < line.size()) {
    const std::string::size_type start = line.find_first_not_of(':', pos);
    if (start == std::string::npos) {
      break;
    }
    std::string::size_type end = line.find(':', start);
    if (end == std::string::npos) {
      end = line.size();
    }
    fields.push_back(line.substr(start, end - start));
    pos = end;
  }
  return fields;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool readBoardNumber(const std::string& field, int& number) {
  std::string::size_type i = 0;
  while (i < field.size() && isBlank(field[i])) {
    ++i;
  }
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  bool anyDigit = false;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > limit) {
      return false;
    }
    anyDigit = true;
  }
  if (!anyDigit) {
    return false;
  }
  number = static_cast<int>(negative ? -value : value);
  return true;
}

}  // namespace

const std::vector<KnownIdentity>& builtInIdentities() {
  static const std::vector<KnownIdentity> rows = {
      {"Tessaron QVKLITE", {"qvklite"}, 1},
      {"Tessaron QVK", {"qvk"}, 2},
      {"Morvane Starter Kit", {"mstart", "Tessaron Morvane Starter Kit"}, 3},
  };
  return rows;
}

KnownIdentitiesFile::KnownIdentitiesFile() : TextFile(sys::knownIdsPath()) {}

ParsedLine parseKnownIdentityLine(const std::string& line) {
  ParsedLine parsed;
  std::vector<std::string> fields = splitFields(line);
  if (fields.size() < 2) {
    return parsed;
  }
  parsed.name = fields[0];
  if (!readBoardNumber(fields[1], parsed.number)) {
    parsed.verdict = LineVerdict::kBadNumber;
    return parsed;
  }
  parsed.verdict = LineVerdict::kAccepted;
  parsed.numberText = fields[1];
  parsed.aliases.assign(fields.begin() + 2, fields.end());
  return parsed;
}

}  // namespace qorid
