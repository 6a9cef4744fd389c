// The QorIdentifier members that work out the board's identity and report
// it: the determination and the getters that run it.
#include "qorid/qorid.h"

#include "common/text_file.h"
#include "lib/board_sources.h"
#include "lib/known_identities.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using log4cpp::Priority;

// The steps below log their fixed messages through the identifier and say
// what they found; the identifier stores it.

qorid::BoardNode readNode(QorIdentifier& id) {
  qorid::BoardNode node = qorid::readBoardNode();
  if (!node.hasBoardId) {
    id.tryLog("Could not open /proc/device-tree/morvane/boardid ");
  }
  if (!node.description) {
    id.tryLog("Could not open /proc/device-tree/morvane/description ");
  }
  for (const std::string& path : node.cut) {
    id.tryLog(qorid::cutNotice(path), Priority::WARN);
  }
  return node;
}

// The row one of whose aliases is the kernel release's alias.
const HardwareIdentity* byRelease(QorIdentifier& id,
                                  const std::vector<HardwareIdentity>& table,
                                  const std::string& release) {
  id.tryLog("uts.release= " + release);
  const std::optional<std::string> alias = qorid::releaseAlias(release);
  if (!alias) {
    return nullptr;
  }
  id.tryLog("therefore possible alias of machine = '" + *alias + "'");
  const HardwareIdentity* match = qorid::findByAlias(table, *alias);
  // Every row up to the match has been searched.
  const auto searched = match != nullptr ? match - table.data() + 1
                                         : static_cast<std::ptrdiff_t>(table.size());
  for (std::ptrdiff_t i = 0; i < searched; ++i) {
    id.tryLog("Searching known aliases of " + table[i].name + "...");
  }
  if (match != nullptr) {
    id.tryLog("Alias: " + *alias + " is an alias of identity: " + match->name);
  }
  return match;
}

// The row whose name, or else one of whose aliases, is the value of the
// Hardware line of /proc/cpuinfo.
const HardwareIdentity* byCpuinfo(QorIdentifier& id,
                                  const std::vector<HardwareIdentity>& table) {
  id.tryLog("Finding the hardware idenitity with uname failed, attempting to find "
            "hardware identity with cpuinfo");
  const qorid::CpuinfoScan scan =
      qorid::scanCpuinfo([&id](const std::string& line) { id.tryLog("Cpuinfo line: " + line); });
  if (!scan.opened) {
    id.tryLog("Could not open the /proc/cpuinfo file, is the proc filesystem mounted",
              Priority::ERROR);
    return nullptr;
  }
  if (scan.cut) {
    id.tryLog(qorid::cutNotice(*scan.cut), Priority::WARN);
  }
  if (!scan.hardwareLine) {
    return nullptr;
  }
  id.tryLog("Found Hardware field...");
  const std::string value = qorid::hardwareValue(*scan.hardwareLine);
  id.tryLog("Found possisble alias: '" + value + "'");
  id.tryLog("Searching known real names...");
  const HardwareIdentity* match = qorid::findByName(table, value);
  if (match == nullptr) {
    id.tryLog("Searching known aliases...");
    match = qorid::findByAlias(table, value);
  }
  if (match == nullptr) {
    id.tryLog("The possible alias is not a real name or alias of any identity",
              Priority::ERROR);
  }
  return match;
}

// The first of the names the device tree gives the board at its root that
// is a known name, or else a known alias: an earlier name always beats a
// later one. Logs nothing on a board without those files.
const HardwareIdentity* byBoardNames(QorIdentifier& id,
                                     const std::vector<HardwareIdentity>& table) {
  // Built once: a compatible may hold many names, a table many rows.
  const qorid::IdentityIndex index(table);
  const HardwareIdentity* match = nullptr;
  qorid::BoardNameSteps steps;
  steps.opened = [&id](qorid::RootFile which, const std::string& path) {
    id.tryLog(which == qorid::RootFile::kCompatible
                  ? "Reading the board's compatible strings from " + path
                  : "Reading the board's model from " + path);
  };
  steps.name = [&id, &index, &match](const std::string& name) {
    id.tryLog("Trying the board's own name: '" + name + "'");
    if ((match = index.byName(name)) != nullptr) {
      id.tryLog("'" + name + "' is the real name of identity: " + match->name);
    } else if ((match = index.byAlias(name)) != nullptr) {
      id.tryLog("'" + name + "' is an alias of identity: " + match->name);
    }
    return match != nullptr;
  };
  steps.cut = [&id](const std::string& path) {
    id.tryLog(qorid::cutNotice(path), Priority::WARN);
  };
  qorid::scanBoardNames(steps);
  return match;
}

}  // namespace

bool QorIdentifier::determineIdentity() {
  if (mIdentityDetermined) {
    tryLog("Calling lib/program is trying to determine the identity...but it "
           "was already successfully determined",
           Priority::WARN);
    mIdentityDetermined = false;
  }
  auto adopt = [this](const HardwareIdentity& row) {
    mIdentityDetermined = true;
    mHardwareName = row.name;
    mAliases = row.aliases;
    mHardwareNumber = row.number;
    return true;
  };

  // 1. The device-tree node: boardid identifies the board by itself.
  tryLog("Attempting to find alias by DT");
  const qorid::BoardNode node = readNode(*this);
  mHardwareNumber = node.number.value_or(mHardwareNumber);
  mHardwareName = node.description.value_or(mHardwareName);
  if (node.hasBoardId) {
    mIdentityDetermined = true;
    return true;
  }

  // 2. and 3. The kernel: its release's alias, then the PC's machine type.
  tryLog("Attempting to find alias by uname");
  const std::optional<qorid::KernelInfo> kernel = qorid::kernelInfo();
  if (!kernel) {
    tryLog("There was a problem with uname, continuing", Priority::WARN);
  } else {
    tryLog("No problems with uname");
    for (const std::string& path : kernel->fromUname) {
      tryLog("Nothing to read in " + path + ", using the running kernel's value from uname");
    }
    if (const HardwareIdentity* row = byRelease(*this, mKnownIdentities, kernel->release)) {
      return adopt(*row);
    }
    if (kernel->machine == qorid::kPcMachine) {
      mIdentityDetermined = true;
      mHardwareNumber = qorid::kPcNumber;
      mHardwareName = qorid::kPcName;
      return true;
    }
  }

  // 4. The Hardware line of /proc/cpuinfo.
  if (const HardwareIdentity* row = byCpuinfo(*this, mKnownIdentities)) {
    return adopt(*row);
  }

  // 5. The names the device tree gives the board at its root, for boards
  // that have no node of ours.
  if (const HardwareIdentity* row = byBoardNames(*this, mKnownIdentities)) {
    return adopt(*row);
  }

  tryLog("Could not find hardware identity with uname or through /proc/cpuinfo",
         Priority::ERROR);
  mHardwareNumber = -1;
  mHardwareName = "Unknown";
  mIdentityDetermined = false;
  return false;
}

int QorIdentifier::getHardwareNumber() {
  if (!mIdentityDetermined) {
    logFullId(determineIdentity() ? Priority::DEBUG : Priority::ERROR);
  }
  return mHardwareNumber;
}

// The other getters determine the identity, when they must, as this one does.
std::string QorIdentifier::getHardwareName() {
  getHardwareNumber();
  return mHardwareName;
}

std::vector<std::string> QorIdentifier::getAliases() {
  getHardwareNumber();
  return mAliases;
}

HardwareIdentity QorIdentifier::getIdentity() {
  getHardwareNumber();
  return HardwareIdentity{mHardwareName, mAliases, mHardwareNumber};
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
