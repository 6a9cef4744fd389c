// Read access to a QorIdentifier's private fields for tests and fuzz targets,
// without a test hook in the installed header.
//
// An explicit template instantiation may name private members (access is not
// checked there): each Thief below is instantiated with a pointer to one
// field and hands it out through a friend function of its tag.
#ifndef QORID_TESTS_SUPPORT_FIELD_ACCESS_H_
#define QORID_TESTS_SUPPORT_FIELD_ACCESS_H_

#include "qorid/qorid.h"

#include <string>
#include <vector>

namespace field_access {

template <typename Tag, typename Tag::Pointer kField>
struct Thief {
  friend typename Tag::Pointer fieldOf(Tag) { return kField; }
};

#define QORID_FIELD_TAG(tag, type, field)                    \
  struct tag {                                               \
    using Pointer = type QorIdentifier::*;                   \
    friend Pointer fieldOf(tag);                             \
  };                                                         \
  template struct Thief<tag, &QorIdentifier::field>

QORID_FIELD_TAG(Determined, bool, mIdentityDetermined);
QORID_FIELD_TAG(Name, std::string, mHardwareName);
QORID_FIELD_TAG(Aliases, std::vector<std::string>, mAliases);
QORID_FIELD_TAG(Number, int, mHardwareNumber);
QORID_FIELD_TAG(Known, std::vector<HardwareIdentity>, mKnownIdentities);
QORID_FIELD_TAG(Params, std::vector<qor_param>, mParams);

#undef QORID_FIELD_TAG

}  // namespace field_access

class QorIdentifierInspector {
 public:
  static bool determined(const QorIdentifier& id) {
    return id.*fieldOf(field_access::Determined{});
  }
  static const std::string& name(const QorIdentifier& id) {
    return id.*fieldOf(field_access::Name{});
  }
  static int number(const QorIdentifier& id) { return id.*fieldOf(field_access::Number{}); }
  static const std::vector<std::string>& aliases(const QorIdentifier& id) {
    return id.*fieldOf(field_access::Aliases{});
  }
  static const std::vector<HardwareIdentity>& known(const QorIdentifier& id) {
    return id.*fieldOf(field_access::Known{});
  }
  static const std::vector<qor_param>& params(const QorIdentifier& id) {
    return id.*fieldOf(field_access::Params{});
  }
  // "NAME=value" for every parameter, in order.
  static std::vector<std::string> paramLines(const QorIdentifier& id) {
    std::vector<std::string> lines;
    for (const qor_param& p : params(id)) lines.push_back(p.name + "=" + p.value);
    return lines;
  }
};

#endif  // QORID_TESTS_SUPPORT_FIELD_ACCESS_H_
