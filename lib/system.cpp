#include "system.h"

#include <cstring>

namespace qorid::sys {
namespace {

enum class UnameMode { kReal, kFake, kFail };

struct Seam {
  std::string root;
  UnameMode unameMode = UnameMode::kReal;
  struct utsname fake {};
};

Seam& seam() {
  static Seam instance;
  return instance;
}

std::string underRoot(const char* path) {
  const std::string& root = seam().root;
  return root.empty() ? std::string(path) : root + path;
}

void copyField(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::strncpy(field, text.c_str(), size - 1);
}

}  // namespace

std::string knownIdsPath() { return underRoot("/etc/known_qor_ids"); }
std::string deviceTreeNodePath() { return underRoot("/proc/device-tree/morvane"); }
std::string boardIdPath() { return underRoot("/proc/device-tree/morvane/boardid"); }
std::string descriptionPath() {
  return underRoot("/proc/device-tree/morvane/description");
}
std::string cpuinfoPath() { return underRoot("/proc/cpuinfo"); }
std::string compatiblePath() { return underRoot("/proc/device-tree/compatible"); }
std::string modelPath() { return underRoot("/proc/device-tree/model"); }
std::string procSelfPath() { return underRoot("/proc/self"); }
std::string interfaceAddressPath(const std::string& name) {
  return underRoot("/sys/class/net/") + name + "/address";
}

int unameInfo(struct utsname* uts) {
  switch (seam().unameMode) {
    case UnameMode::kFake:
      *uts = seam().fake;
      return 0;
    case UnameMode::kFail:
      return -1;
    case UnameMode::kReal:
      break;
  }
  return ::uname(uts);
}

void setRootForTesting(const std::string& root) { seam().root = root; }

void setUnameForTesting(const std::string& release, const std::string& machine) {
  Seam& s = seam();
  s.fake = {};
  copyField(s.fake.sysname, sizeof s.fake.sysname, "Linux");
  copyField(s.fake.release, sizeof s.fake.release, release);
  copyField(s.fake.machine, sizeof s.fake.machine, machine);
  s.unameMode = UnameMode::kFake;
}

void failUnameForTesting() { seam().unameMode = UnameMode::kFail; }

void resetForTesting() {
  seam().root.clear();
  seam().unameMode = UnameMode::kReal;
}

}  // namespace qorid::sys
