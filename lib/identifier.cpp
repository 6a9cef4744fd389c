// The QorIdentifier members that make the object: construction, logging and
// the table of known identities.
#include "qorid/qorid.h"

#include "common/text_file.h"
#include "lib/known_identities.h"
#include "lib/one_line.h"
#include "lib/system.h"
#include "nolt/nolt.h"

#include <string>
#include <utility>

namespace {

const char kInvalidPrefix[] = "The line:'";
const char kTooFewFields[] =
    "' is not valid known board identification description line (it must "
    "contain at least two colon separated values)";
const char kBadNumber[] =
    "' is not valid known board identification description line (the second "
    "value needs to be a board number)";

}  // namespace

QorIdentifier::QorIdentifier(cNolt* logger)
    : mIdentityDetermined(false),
      mHardwareName("Unknown"),
      mHardwareNumber(-1),
      mLogger(logger) {
  tryLog("Creating QorIdentifier...");
  findKnownIdentities();
}

std::string QorIdentifier::setRoot(const std::string& root) {
  return qorid::sys::setBoardRoot(root);
}

// The public signature takes the text by value; only a const view is needed.
// cppcheck-suppress passedByValue
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void QorIdentifier::tryLog(std::string message,
                           log4cpp::Priority::PriorityLevel level) {
  if (mLogger == nullptr) {
    return;
  }
  // Messages carry text read from the board's files: always pass them as an
  // argument, never as the format, and never let a newline in them start a
  // line of its own.
  if (message.find('\n') != std::string::npos) {
    message = qorid::oneLine(message);
  }
  const char* text = message.c_str();
  switch (static_cast<int>(level)) {
    case log4cpp::Priority::FATAL:
      mLogger->fatal("%s", text);
      break;
    case log4cpp::Priority::ERROR:
      mLogger->error("%s", text);
      break;
    case log4cpp::Priority::WARN:
      mLogger->warn("%s", text);
      break;
    case log4cpp::Priority::INFO:
      mLogger->info("%s", text);
      break;
    default:
      mLogger->debug("%s", text);
      break;
  }
}

void QorIdentifier::tryLog(std::string message) {
  tryLog(std::move(message), log4cpp::Priority::DEBUG);
}

void QorIdentifier::findKnownIdentities() {
  tryLog("Finding list of known identities...");

  qorid::KnownIdentitiesFile file;
  if (file.isOpen()) {
    tryLog("Opened file /etc/known_qor_ids, now reading known hardware identites");
    std::string line;
    // A line that the read limit cuts short is not parsed: what is left of
    // it could pass for another identity.
    while (file.readLine(line) && !file.cut()) {
      HardwareIdentity identity;
      if (parseIdentityLine(identity, line)) {
        mKnownIdentities.push_back(identity);
      }
    }
    if (file.cut()) {
      tryLog(qorid::cutNotice(file.path()), log4cpp::Priority::WARN);
    }
    return;
  }

  tryLog("No /etc/known_qor_ids, using default known hardware identities",
         log4cpp::Priority::WARN);
  for (const HardwareIdentity& row : qorid::builtInIdentities()) {
    mKnownIdentities.push_back(row);
    tryLog("Known Hardware description: " + row.name + " = " +
           std::to_string(row.number));
  }
}

// The public signature takes the line by value; only a const view is needed.
// cppcheck-suppress passedByValue
// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool QorIdentifier::parseIdentityLine(HardwareIdentity& identity, std::string line) {
  const qorid::ParsedLine parsed = qorid::parseKnownIdentityLine(line);
  if (parsed.verdict == qorid::LineVerdict::kTooFewFields) {
    tryLog(kInvalidPrefix + line + kTooFewFields, log4cpp::Priority::WARN);
    return false;
  }
  identity.name = parsed.name;
  if (parsed.verdict == qorid::LineVerdict::kBadNumber) {
    tryLog(kInvalidPrefix + line + kBadNumber, log4cpp::Priority::WARN);
    return false;
  }
  identity.number = parsed.number;
  identity.aliases.insert(identity.aliases.end(), parsed.aliases.begin(),
                          parsed.aliases.end());
  tryLog("Found hardware identity: Board number " + parsed.numberText + "(" +
         identity.name + ")");
  return true;
}
