// The system parameters as shell assignments (qorid --export), for
// `set -a; . FILE` in a POSIX shell and for systemd's EnvironmentFile=.
#ifndef QORID_TOOL_SHELL_EXPORT_H_
#define QORID_TOOL_SHELL_EXPORT_H_

#include "qorid/qorid.h"

#include <optional>
#include <string>

namespace qorid {

// Whether `name` is a shell variable name: [A-Za-z_][A-Za-z0-9_]*.
// Device-tree names may hold '-', '.' or ',' and are none.
bool isShellName(const std::string& name);

// One line, without its newline: NAME="VALUE", where VALUE is the value up
// to its first NUL byte (what --exec puts in the environment) with a backslash
// before each of \ " $ and `, every other byte as it is. A POSIX shell reads
// that back as the value, and so does systemd's EnvironmentFile=, which
// follows the shell's double-quote rules. None when the name is no shell
// name.
std::optional<std::string> shellAssignment(const qor_param& param);

}  // namespace qorid

#endif  // QORID_TOOL_SHELL_EXPORT_H_
