// The QorIdentifier members that collect the system parameters, in the
// order they are collected: the board's own two, the device-tree node's
// properties (QorDTParser), the WAN interface and its identifier.
#include "qorid/qorid.h"

#include "dt_walk.h"
#include "known_identities.h"
#include "parameter_names.h"
#include "text_file.h"
#include "wan.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
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

QorIdentifier* QorDTParser::mQOrId = nullptr;

namespace {

// What the walk under way has added against qorid::kWalkBudget, and whether
// it has added a QOR_WAN, which the WAN step needs and so is never left out.
size_t gWalkUsed = 0;
bool gWalkWanKept = false;

}  // namespace

int QorDTParser::parse(QorIdentifier* id, char* dir) {
  mQOrId = id;
  gWalkUsed = 0;
  gWalkWanKept = false;
  return qorid::walkTree(dir, ftw_cb);
}

int QorDTParser::ftw_cb(const char* path, const struct stat* /*sb*/, int typeflag,
                        struct FTW* ftwbuf) {
  const char* fileName = path + ftwbuf->base;
  if (mQOrId != nullptr && qorid::isProperty(typeflag, fileName)) {
    bool cut = false;
    std::string value = qorid::propertyValue(path, cut);
    if (cut) {
      mQOrId->tryLog(qorid::cutNotice(path), log4cpp::Priority::WARN);
    }
    std::string name = qorid::propertyParameterName(fileName);
    const size_t cost = qorid::walkCost(name, value);
    const bool wan = !gWalkWanKept && name == qorid::kWanParameter;
    if (cost > qorid::kWalkBudget - std::min(gWalkUsed, qorid::kWalkBudget) && !wan) {
      mQOrId->tryLog(qorid::pastBudgetNotice(path), log4cpp::Priority::WARN);
      return 0;
    }
    gWalkUsed += cost;
    gWalkWanKept = gWalkWanKept || wan;
    mQOrId->addParameter(std::move(name), std::move(value));
  }
  return 0;
}

void QorIdentifier::search_wan() {
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
