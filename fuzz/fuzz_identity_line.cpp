// Fuzzes QorIdentifier::parseIdentityLine with arbitrary bytes (the whole
// input is the line) and checks what holds for any line: the same result
// twice; one warning for a rejected line and none for an accepted one; the
// aliases an identity had stay in front; and an accepted line's fields
// reproduce themselves: none is empty or holds ':', they stand in the line
// in their order, and joined again with ':' they parse to the same identity.
#include "fuzz/fuzz_support.h"
#include "lib/system.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tests/support/files.h"
#include "tests/support/recording_logger.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const char kEarlierAlias[] = "alias from before";

struct Parsed {
  bool accepted = false;
  HardwareIdentity identity;
  std::vector<testing_log::Entry> log;
  size_t warnings = 0;
};

// One identifier parses every line: a parse that left anything behind for
// the next would show as two different results of the same line.
Parsed parse(const std::string& line) {
  static cNolt logger("qorid");
  static QorIdentifier id(&logger);
  Parsed parsed;
  parsed.identity.aliases.push_back(kEarlierAlias);
  testing_log::clear();  // the constructor's lines are not the parser's
  parsed.accepted = id.parseIdentityLine(parsed.identity, line);
  parsed.log = testing_log::entries();
  parsed.warnings = testing_log::count(testing_log::Level::kWarn);
  testing_log::clear();
  return parsed;
}

bool isField(const std::string& text) {
  return !text.empty() && text.find(':') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // An empty root: the constructor finds no file and takes the built-in
  // identities, reading nothing.
  qorid::sys::setRootForTesting(testing_fs::scratchDir());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const Parsed first = parse(line);
  const Parsed second = parse(line);
  FUZZ_CHECK(first.accepted == second.accepted);
  FUZZ_CHECK(fuzz::sameIdentity(first.identity, second.identity));
  FUZZ_CHECK(first.log == second.log);

  FUZZ_CHECK(first.warnings == (first.accepted ? 0u : 1u));
  if (!first.accepted) {
    return 0;
  }
  const HardwareIdentity& identity = first.identity;
  FUZZ_CHECK(!identity.aliases.empty() && identity.aliases[0] == kEarlierAlias);

  std::vector<std::string> fields{identity.name};
  fields.insert(fields.end(), identity.aliases.begin() + 1, identity.aliases.end());
  std::string::size_type at = 0;
  for (const std::string& field : fields) {
    FUZZ_CHECK(isField(field));
    at = line.find(field, at);
    FUZZ_CHECK(at != std::string::npos);
    at += field.size();
  }

  std::string joined = identity.name + ":" + std::to_string(identity.number);
  for (size_t i = 1; i < identity.aliases.size(); ++i) {
    joined += ":" + identity.aliases[i];
  }
  const Parsed again = parse(joined);
  FUZZ_CHECK(again.accepted);
  FUZZ_CHECK(fuzz::sameIdentity(again.identity, identity));
  return 0;
}
