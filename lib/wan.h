// The WAN interface: found in the kernel's list of interfaces, and the
// identifier made from its hardware address. System-call failures, and an
// address that cannot be read, are written to standard error, one line
// each; nothing is logged.
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

// Whether `name` can be an interface's name, as the kernel gives one and
// the board dump takes one: 1 to 15 bytes, none of them '/' or white space,
// and not "." or "..". Only such a name is put into a path.
bool isInterfaceName(const std::string& name);

// The first six bytes of the hardware address of interface `name`. None,
// reported as "ioctl(wan_mac)", when the request fails or the name does not
// fit the request's 15 characters.
//
// Under a board root (system.h) the kernel is not asked: the address is the
// one of the root's /sys/class/net/NAME/address (parseHardwareAddress),
// whose first 96 bytes are read (32 bytes, the most an interface's address
// holds, written as pairs, and the newline). None, reported on standard
// error as "wan_mac: PATH: REASON" (strerror's text, "empty", "not a
// hardware address"), when that gives no address, and as "wan_mac: 'NAME':
// not an interface name" for a name that isInterfaceName() refuses.
std::optional<std::array<char, 6>> hardwareAddress(const std::string& name);

// The address the first line of an address file gives (`line`, without its
// newline, as sysfs writes it: two hex digits a byte, either case, joined
// by ':'; the empty line of an interface that has none, such as a tun): its
// first six bytes, padded with zero bytes when it is shorter, as the
// kernel's SIOCGIFHWADDR request gives them. None for anything else.
std::optional<std::array<char, 6>> parseHardwareAddress(const std::string& line);

// The first six bytes of `address`, each taken as a signed 8-bit number,
// widened to 16 bits and written in lower-case hex without padding, joined:
// 0a -> "a", 7f -> "7f", ab -> "ffab". Identifiers already stored on boards
// were made this way, so the rule stays.
std::string wanIdentifier(const char* address);

}  // namespace qorid

#endif  // QORID_LIB_WAN_H_
