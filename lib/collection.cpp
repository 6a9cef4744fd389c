#include "qorid/qorid.h"

#include "system.h"

#include <string>
#include <vector>

void QorIdentifier::loadParams() {
  getHardwareNumber();
  parse_params();
}

void QorIdentifier::parse_params() {
  if (mHardwareNumber >= 0) {
    addParameter("QOR_ID", std::to_string(mHardwareNumber));
    addParameter("QOR_DESC", mHardwareName);
  }
  const std::string node = qorid::sys::deviceTreeNodePath();
  std::vector<char> path(node.begin(), node.end());
  path.push_back('\0');
  // Only a PC without the board node looks for its WAN interface itself;
  // elsewhere the node's "wan" property names it.
  if (QorDTParser::parse(this, path.data()) < 0 && mHardwareNumber == 64) {
    search_wan();
  }
  add_wan_mac();
}
