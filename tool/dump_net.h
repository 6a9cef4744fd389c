// The dump's net file: what qorid finds of the board's network, as ip and
// /sys/class/net show it.
#ifndef QORID_TOOL_DUMP_NET_H_
#define QORID_TOOL_DUMP_NET_H_

#include "tool/dump_staging.h"

#include <string>
#include <vector>

namespace qorid::dump {

// Writes DUMP/net (DUMP a directory in `staging`): the IPv4 addresses in
// the order `ip -o -4 addr show` lists them, one "NAME ADDRESS/PREFIX MAC"
// line each (the address's label, and its interface's hardware address as
// `ip -o link` shows it, "-" when it has none), then a "NAME - MAC" line
// for each interface that a copied wan property (`wanCopies`) names and no
// line lists. Without ip on PATH the addresses are left out and the hardware
// addresses read from /sys/class/net. Each interface of those lines gets
// DUMP/root/sys/class/net/NAME/address as sysfs has it: its MAC and a
// newline, or the newline alone for "-". Says what it cannot find (no ip,
// ip failing, a wan naming no interface). Stopped by a noted signal after
// any command it runs, or by a failure to write.
Stopped writeNet(const Staging& staging, const std::string& dump,
                 const std::vector<std::string>& wanCopies);

}  // namespace qorid::dump

#endif  // QORID_TOOL_DUMP_NET_H_
