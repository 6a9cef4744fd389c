#include "qorid/qorid.h"

#include "system.h"
#include "text_file.h"

#include <climits>
#include <string>
#include <vector>

namespace {

const char kInvalidPrefix[] = "The line:'";
const char kTooFewFields[] =
    "' is not valid known board identification description line (it must "
    "contain at least two colon separated values)";
const char kBadNumber[] =
    "' is not valid known board identification description line (the second "
    "value needs to be a board number)";

// Fields are maximal runs of characters other than ':', so runs of colons
// separate like one and no field is empty.
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

// Decimal, leading white space and one sign allowed, trailing text ignored.
// Fails without a digit or outside the range of int.
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

struct BuiltIn {
  const char* name;
  int number;
  std::vector<std::string> aliases;
  const char* description;
};

}  // namespace

void QorIdentifier::findKnownIdentities() {
  tryLog("Finding list of known identities...");

  qorid::TextFile file(qorid::sys::knownIdsPath());
  if (file.isOpen()) {
    tryLog("Opened file /etc/known_qor_ids, now reading known hardware identites");
    std::string line;
    while (file.readLine(line)) {
      HardwareIdentity identity;
      if (parseIdentityLine(identity, line)) {
        mKnownIdentities.push_back(identity);
      }
    }
    return;
  }

  tryLog("No /etc/known_qor_ids, using default known hardware identities",
         log4cpp::Priority::WARN);
  const BuiltIn builtIns[] = {
      {"Tessaron QVKLITE", 1, {"qvklite"},
       "Known Hardware description: Tessaron QVKLITE = 1"},
      {"Tessaron QVK", 2, {"qvk"}, "Known Hardware description: Tessaron QVK = 2"},
      {"Morvane Starter Kit", 3, {"mstart", "Tessaron Morvane Starter Kit"},
       "Known Hardware description: Morvane Starter Kit = 3"},
  };
  for (const BuiltIn& builtIn : builtIns) {
    HardwareIdentity identity;
    identity.name = builtIn.name;
    identity.number = builtIn.number;
    identity.aliases = builtIn.aliases;
    mKnownIdentities.push_back(identity);
    tryLog(builtIn.description);
  }
}

// The public signature takes the line by value; only a const view is needed.
// cppcheck-suppress passedByValue
// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool QorIdentifier::parseIdentityLine(HardwareIdentity& identity, std::string line) {
  const std::vector<std::string> fields = splitFields(line);
  if (fields.size() < 2) {
    tryLog(kInvalidPrefix + line + kTooFewFields, log4cpp::Priority::WARN);
    return false;
  }
  identity.name = fields[0];
  int number = 0;
  if (!readBoardNumber(fields[1], number)) {
    tryLog(kInvalidPrefix + line + kBadNumber, log4cpp::Priority::WARN);
    return false;
  }
  identity.number = number;
  identity.aliases.insert(identity.aliases.end(), fields.begin() + 2,
                          fields.end());
  tryLog("Found hardware identity: Board number " + fields[1] + "(" +
         identity.name + ")");
  return true;
}
