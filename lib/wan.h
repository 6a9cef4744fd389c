// The WAN identifier made from an interface's hardware address.
#ifndef QORID_LIB_WAN_H_
#define QORID_LIB_WAN_H_

#include <string>

namespace qorid {

// The first six bytes of `address`, each taken as a signed 8-bit number,
// widened to 16 bits and written in lower-case hex without padding, joined:
// 0a -> "a", 7f -> "7f", ab -> "ffab". Identifiers already stored on boards
// were made this way, so the rule stays.
std::string wanIdentifier(const char* address);

// Whether an address label of the interface list names the loopback: "lo"
// itself or one of its aliases, "lo:" and any label ("lo:1"). Other names
// that begin with "lo" (lo0) are interfaces of their own.
bool isLoopbackLabel(const std::string& name);

}  // namespace qorid

#endif  // QORID_LIB_WAN_H_
