// The one place that knows where the system's files live and calls uname.
#ifndef QORID_LIB_SYSTEM_H_
#define QORID_LIB_SYSTEM_H_

#include <sys/utsname.h>

#include <string>

namespace qorid::sys {

// The fixed paths the library reads. In production these are the absolute
// paths named in each function; tests may move them under a fixture root.
std::string knownIdsPath();        // /etc/known_qor_ids
std::string deviceTreeNodePath();  // /proc/device-tree/morvane
std::string boardIdPath();         // /proc/device-tree/morvane/boardid
std::string descriptionPath();     // /proc/device-tree/morvane/description
std::string cpuinfoPath();         // /proc/cpuinfo
std::string compatiblePath();      // /proc/device-tree/compatible
std::string modelPath();           // /proc/device-tree/model
// There whenever /proc is mounted: what tells a board without a device-tree
// node from a system whose /proc is missing.
std::string procSelfPath();  // /proc/self
// The hardware address of interface `name` as the kernel writes it (two hex
// digits a byte, joined by ':', and a newline). `name` is put in as it is:
// the caller keeps it to an interface's name (no '/', not "." or "..").
std::string interfaceAddressPath(const std::string& name);  // /sys/class/net/NAME/address

// uname(2), or what a test asked for. Returns a negative value on failure.
int unameInfo(struct utsname* uts);

// Test hooks. Not exported from the shared library: only code linked with
// the library's objects (the unit tests) can reach them.
void setRootForTesting(const std::string& root);  // "" = the real root
void setUnameForTesting(const std::string& release, const std::string& machine);
void failUnameForTesting();
void resetForTesting();  // real root, real uname

}  // namespace qorid::sys

#endif  // QORID_LIB_SYSTEM_H_
