// The QorIdentifier members that collect the system parameters, in the
// order they are collected: the board's own two, the device-tree node's
// properties (QorDTParser, qor_dt_parser.cpp), the WAN interface and its
// identifier.
#include "qorid/qorid.h"

#include "lib/dt_walk.h"
#include "lib/known_identities.h"
#include "lib/parameter_names.h"
#include "lib/system.h"
#include "lib/wan.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

void QorIdentifier::loadParams() {
  getHardwareNumber();
  parse_params();
}

void QorIdentifier::parse_params() {
  if (mHardwareNumber >= 0) {
    addParameter(qorid::kBoardNumberParameter, std::to_string(mHardwareNumber));
    addParameter(qorid::kBoardNameParameter, mHardwareName);
  }
  const std::string node = qorid::boardNodePath();
  std::vector<char> path(node.begin(), node.end());
  path.push_back('\0');
  // Only a PC without the board node looks for its WAN interface itself;
  // elsewhere the node's "wan" property names it.
  if (QorDTParser::parse(this, path.data()) < 0 && mHardwareNumber == qorid::kPcNumber) {
    search_wan();
  }
  add_wan_mac();
}

void QorIdentifier::search_wan() {
  // The kernel lists the interfaces of the system qorid runs on; files
  // cannot say which of a board's would be first.
  if (qorid::sys::underBoardRoot()) {
    tryLog("Not searching for the WAN interface: the board's files are read under a root, "
           "and its interfaces cannot be listed from files");
    return;
  }
  if (const std::optional<std::string> name = qorid::firstWanInterface()) {
    addParameter(qorid::kWanParameter, *name);
  }
}

void QorIdentifier::add_wan_mac() {
  const auto wan = std::find_if(mParams.begin(), mParams.end(), [](const qor_param& p) {
    return p.name == qorid::kWanParameter;
  });
  if (wan == mParams.end()) {
    return;
  }
  if (const auto address = qorid::hardwareAddress(qorid::interfaceName(wan->value))) {
    addParameter(qorid::kWanIdParameter, qorid::wanIdentifier(address->data()));
  }
}
