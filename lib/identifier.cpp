#include "qorid/qorid.h"

#include "nolt/nolt.h"

#include <utility>

QorIdentifier::QorIdentifier(cNolt* logger)
    : mIdentityDetermined(false),
      mHardwareName("Unknown"),
      mHardwareNumber(-1),
      mLogger(logger) {
  tryLog("Creating QorIdentifier...");
  findKnownIdentities();
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
  // argument, never as the format.
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
