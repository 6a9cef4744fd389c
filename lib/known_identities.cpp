#include "lib/known_identities.h"

#include "common/decimal.h"
#include "lib/system.h"

#include <algorithm>
#include <climits>
#include <utility>

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

}  // namespace

// Written as lines of the file and read as its lines are. (A table of
// HardwareIdentity copied from an initializer list would add instantiations
// for that exported type to the weak symbols libqorid.so.1 exports.)
const std::vector<HardwareIdentity>& builtInIdentities() {
  static const std::vector<HardwareIdentity> rows = [] {
    std::vector<HardwareIdentity> table;
    for (const char* line : {"Tessaron QVKLITE:1:qvklite", "Tessaron QVK:2:qvk",
                             "Morvane Starter Kit:3:mstart:Tessaron Morvane Starter Kit"}) {
      ParsedLine parsed = parseKnownIdentityLine(line);
      table.push_back({std::move(parsed.name), std::move(parsed.aliases), parsed.number});
    }
    return table;
  }();
  return rows;
}

KnownIdentitiesFile::KnownIdentitiesFile()
    : TextFile(sys::knownIdsPath(), kReadLimit, sys::openForReading) {}

ParsedLine parseKnownIdentityLine(const std::string& line) {
  ParsedLine parsed;
  std::vector<std::string> fields = splitFields(line);
  if (fields.size() < 2) {
    return parsed;
  }
  parsed.name = fields[0];
  const Decimal number = scanDecimal(fields[1], {INT_MIN, INT_MAX, NoDigits::kRefused,
                                                 OutOfRange::kRefused, Trailing::kAllowed, false});
  if (!number.ok) {
    parsed.verdict = LineVerdict::kBadNumber;
    return parsed;
  }
  parsed.number = static_cast<int>(number.value);
  parsed.verdict = LineVerdict::kAccepted;
  parsed.numberText = fields[1];
  parsed.aliases.assign(fields.begin() + 2, fields.end());
  return parsed;
}

const HardwareIdentity* findByName(const std::vector<HardwareIdentity>& table,
                                   const std::string& name) {
  const auto row = std::find_if(table.begin(), table.end(),
                                [&name](const HardwareIdentity& r) { return r.name == name; });
  return row == table.end() ? nullptr : &*row;
}

const HardwareIdentity* findByAlias(const std::vector<HardwareIdentity>& table,
                                    const std::string& alias) {
  const auto row = std::find_if(table.begin(), table.end(), [&alias](const HardwareIdentity& r) {
    return std::find(r.aliases.begin(), r.aliases.end(), alias) != r.aliases.end();
  });
  return row == table.end() ? nullptr : &*row;
}

}  // namespace qorid
