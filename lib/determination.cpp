#include "qorid/qorid.h"

#include "system.h"
#include "text_file.h"

#include <sys/utsname.h>

#include <string>

namespace {

// The value of a "Hardware" line: the text two characters after its first
// ':' (the colon and the blank expected after it). A line without a ':' or
// with nothing after it has no value; the empty text it gets instead can
// match no identity, since names and aliases are never empty.
std::string hardwareValue(const std::string& line) {
  const std::string::size_type colon = line.find(':');
  if (colon == std::string::npos || colon + 2 > line.size()) {
    return {};
  }
  return line.substr(colon + 2);
}

bool isHardwareLine(const std::string& line) {
  return line.compare(0, 8, "Hardware") == 0;
}

}  // namespace

// One function on purpose: the sources are tried in their fixed order and
// the order reads from top to bottom, each step next to its log lines.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool QorIdentifier::determineIdentity() {
  if (mIdentityDetermined) {
    tryLog("Calling lib/program is trying to determine the identity...but it "
           "was already successfully determined",
           log4cpp::Priority::WARN);
    mIdentityDetermined = false;
  }

  auto adopt = [this](const HardwareIdentity& identity) {
    mIdentityDetermined = true;
    mHardwareName = identity.name;
    mAliases = identity.aliases;
    mHardwareNumber = identity.number;
  };

  tryLog("Attempting to find alias by DT");
  {
    qorid::TextFile boardId(qorid::sys::boardIdPath());
    if (boardId.isOpen()) {
      // Formatted extraction, read as it goes: a boardid that never ends
      // (a link to /dev/zero, a FIFO fed without end) costs no more memory
      // than a short one.
      boardId.readInt(mHardwareNumber);
      mIdentityDetermined = true;
    } else {
      tryLog("Could not open /proc/device-tree/morvane/boardid ");
    }
  }
  {
    qorid::TextFile description(qorid::sys::descriptionPath());
    if (description.isOpen()) {
      description.readLine(mHardwareName);
    } else {
      tryLog("Could not open /proc/device-tree/morvane/description ");
    }
  }
  if (mIdentityDetermined) {
    return true;
  }

  tryLog("Attempting to find alias by uname");
  struct utsname uts;
  const bool unameOk = qorid::sys::unameInfo(&uts) >= 0;
  if (!unameOk) {
    tryLog("There was a problem with uname, continuing", log4cpp::Priority::WARN);
  } else {
    tryLog("No problems with uname");
    const std::string release(uts.release);
    tryLog("uts.release= " + release);
    const std::string::size_type dash = release.rfind('-');
    if (dash != std::string::npos) {
      const std::string alias = release.substr(dash + 1);
      tryLog("therefore possible alias of machine = '" + alias + "'");
      for (const HardwareIdentity& identity : mKnownIdentities) {
        tryLog("Searching known aliases of " + identity.name + "...");
        for (const std::string& known : identity.aliases) {
          if (known == alias) {
            tryLog("Alias: " + alias + " is an alias of identity: " + identity.name);
            adopt(identity);
            return true;
          }
        }
      }
    }
    if (std::string(uts.machine) == "x86_64") {
      mIdentityDetermined = true;
      mHardwareNumber = 64;
      mHardwareName = "x86_64 PC";
      return true;
    }
  }

  tryLog("Finding the hardware idenitity with uname failed, attempting to find "
         "hardware identity with cpuinfo");
  qorid::TextFile cpuinfo(qorid::sys::cpuinfoPath());
  if (!cpuinfo.isOpen()) {
    tryLog("Could not open the /proc/cpuinfo file, is the proc filesystem mounted",
           log4cpp::Priority::ERROR);
  } else {
    std::string line;
    bool found = false;
    while (cpuinfo.readLine(line)) {
      tryLog("Cpuinfo line: " + line);
      if (isHardwareLine(line)) {
        found = true;
        break;
      }
    }
    if (found) {
      tryLog("Found Hardware field...");
      const std::string value = hardwareValue(line);
      tryLog("Found possisble alias: '" + value + "'");
      tryLog("Searching known real names...");
      const HardwareIdentity* match = nullptr;
      for (const HardwareIdentity& identity : mKnownIdentities) {
        if (identity.name == value) {
          match = &identity;
          break;
        }
      }
      if (match == nullptr) {
        tryLog("Searching known aliases...");
        for (const HardwareIdentity& identity : mKnownIdentities) {
          for (const std::string& known : identity.aliases) {
            if (known == value) {
              match = &identity;
              break;
            }
          }
          if (match != nullptr) {
            break;
          }
        }
      }
      if (match != nullptr) {
        adopt(*match);
        return true;
      }
      tryLog("The possible alias is not a real name or alias of any identity",
             log4cpp::Priority::ERROR);
    }
  }

  tryLog("Could not find hardware identity with uname or through /proc/cpuinfo",
         log4cpp::Priority::ERROR);
  mHardwareNumber = -1;
  mHardwareName = "Unknown";
  mIdentityDetermined = false;
  return false;
}
