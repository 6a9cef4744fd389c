// Read access to a QorIdentifier's fields for tests and fuzz targets (the
// class is a friend of QorIdentifier).
#ifndef QORID_TESTS_SUPPORT_FIELD_ACCESS_H_
#define QORID_TESTS_SUPPORT_FIELD_ACCESS_H_

#include "qorid/qorid.h"

#include <string>
#include <vector>

class QorIdentifierInspector {
 public:
  static bool determined(const QorIdentifier& id) { return id.mIdentityDetermined; }
  static const std::string& name(const QorIdentifier& id) { return id.mHardwareName; }
  static int number(const QorIdentifier& id) { return id.mHardwareNumber; }
  static const std::vector<std::string>& aliases(const QorIdentifier& id) {
    return id.mAliases;
  }
  static const std::vector<HardwareIdentity>& known(const QorIdentifier& id) {
    return id.mKnownIdentities;
  }
  static const std::vector<qor_param>& params(const QorIdentifier& id) { return id.mParams; }
  // "NAME=value" for every parameter, in order.
  static std::vector<std::string> paramLines(const QorIdentifier& id) {
    std::vector<std::string> lines;
    for (const qor_param& p : id.mParams) lines.push_back(p.name + "=" + p.value);
    return lines;
  }
};

#endif  // QORID_TESTS_SUPPORT_FIELD_ACCESS_H_
