// The QorDTParser members: the device-tree walk (dt_walk.h) run for one
// identifier, each property added as a parameter within the walk's budget.
#include "qorid/qorid.h"

#include "common/text_file.h"
#include "lib/dt_walk.h"
#include "lib/parameter_names.h"

#include <algorithm>
#include <string>
#include <utility>

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
