#include "known_identities.h"

#include "decimal.h"
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

}  // namespace qorid
