#include "qorid/qorid.h"

#include <string>

int QorIdentifier::getHardwareNumber() {
  if (!mIdentityDetermined) {
    logFullId(determineIdentity() ? log4cpp::Priority::DEBUG
                                  : log4cpp::Priority::ERROR);
  }
  return mHardwareNumber;
}

std::string QorIdentifier::getHardwareName() {
  if (!mIdentityDetermined) {
    logFullId(determineIdentity() ? log4cpp::Priority::DEBUG
                                  : log4cpp::Priority::ERROR);
  }
  return mHardwareName;
}

void QorIdentifier::logFullId(log4cpp::Priority::PriorityLevel level) {
  tryLog(mIdentityDetermined ? "Full identity: " : "Identity is unknown: ", level);
  tryLog("Real name: " + mHardwareName, level);
  tryLog("Hardware number: " + std::to_string(mHardwareNumber), level);
  if (mIdentityDetermined) {
    std::string aliases = "Aliases: ";
    for (const std::string& alias : mAliases) {
      aliases += alias;
      aliases += ' ';
    }
    tryLog(aliases, level);
  }
}
