// The WAN interface: found in the kernel's list of interfaces, and the
// identifier made from its hardware address. System-call failures are
// written to standard error with perror; nothing is logged.
#ifndef QORID_LIB_WAN_H_
#define QORID_LIB_WAN_H_

#include <array>
#include <optional>
#include <string>

namespace qorid {

// The first interface, in the kernel's order, that has an IPv4 address and
// is not the loopback. The interface list is asked for with room to spare,
// so every address is seen. None when there is no such interface or a
// request failed ("socket", "ioctl(SIOCGIFCONF)").
std::optional<std::string> firstWanInterface();

// Whether an address label of the interface list names the loopback: "lo"
// itself or one of its aliases, "lo:" and any label ("lo:1"). Other names
// that begin with "lo" (lo0) are interfaces of their own.
bool isLoopbackLabel(const std::string& name);

// The interface a QOR_WAN value names: the value up to its first NUL (a
// value read from the device tree ends in one).
std::string interfaceName(const std::string& value);

// The first six bytes of the hardware address of interface `name`. None,
// reported as "ioctl(wan_mac)", when the request fails or the name does not
// fit the request's 15 characters.
std::optional<std::array<char, 6>> hardwareAddress(const std::string& name);

// The first six bytes of `address`, each taken as a signed 8-bit number,
// widened to 16 bits and written in lower-case hex without padding, joined:
// 0a -> "a", 7f -> "7f", ab -> "ffab". Identifiers already stored on boards
// were made this way, so the rule stays.
std::string wanIdentifier(const char* address);

}  // namespace qorid

#endif  // QORID_LIB_WAN_H_
