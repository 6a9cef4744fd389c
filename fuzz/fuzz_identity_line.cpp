// Fuzzes QorIdentifier::parseIdentityLine with arbitrary bytes and holds each
// result against the rules for known-identities lines.
#include "expectations.h"
#include "files.h"
#include "fuzz_support.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "recording_logger.h"
#include "system.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const char kEarlierAlias[] = "alias from before";

QorIdentifier& identifier() {
  static cNolt logger("qorid");
  static QorIdentifier id = [] {
    // An empty root: the constructor finds no file and builds in the
    // default identities, reading nothing.
    qorid::sys::setRootForTesting(testing_fs::scratchDir());
    return QorIdentifier(&logger);
  }();
  return id;
}

bool isField(const std::string& text) {
  return !text.empty() && text.find(':') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  QorIdentifier& id = identifier();

  HardwareIdentity identity;
  identity.aliases.push_back(kEarlierAlias);  // parsing appends after it
  testing_log::clear();
  const bool accepted = id.parseIdentityLine(identity, line);
  const std::optional<HardwareIdentity> expected = fuzz::expectedIdentity(line);

  FUZZ_CHECK(accepted == expected.has_value());
  if (!accepted) {
    FUZZ_CHECK(testing_log::count(testing_log::Level::kWarn) == 1);  // logged once
    testing_log::clear();  // memory stays bounded over a long run
    return 0;
  }
  FUZZ_CHECK(testing_log::count(testing_log::Level::kWarn) == 0);
  testing_log::clear();
  FUZZ_CHECK(isField(identity.name));
  FUZZ_CHECK(!identity.aliases.empty() && identity.aliases[0] == kEarlierAlias);
  for (size_t i = 1; i < identity.aliases.size(); ++i) {
    FUZZ_CHECK(isField(identity.aliases[i]));
  }
  FUZZ_CHECK(identity.name == expected->name);
  FUZZ_CHECK(identity.number == expected->number);
  FUZZ_CHECK(identity.aliases.size() == expected->aliases.size() + 1);
  for (size_t i = 0; i < expected->aliases.size(); ++i) {
    FUZZ_CHECK(identity.aliases[i + 1] == expected->aliases[i]);
  }
  return 0;
}
