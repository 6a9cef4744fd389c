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

// Why `param` is left out of --export, as the end of the WARN line "Left
// out of --export: ...": "NAME is not a shell variable name", "NAME:
// REASON" where `leftOut` (why --exec leaves it out of the environment, see
// QorIdentifier::whyLeftOutOfEnvironment) is not empty, or "NAME: value not
// UTF-8" (systemd refuses a whole file for one such value, and a shell under
// a multibyte locale may read its bytes otherwise). Empty when it is
// exported.
std::string whyNotExported(const qor_param& param, const std::string& leftOut);

// One line, without its newline: NAME='VALUE', where VALUE is the value up
// to its first NUL byte (what --exec puts in the environment), every byte as
// it is but the single quote, which is written '"'"' (the quote closed, a
// quote in double quotes, the quote opened again). No backslash is written:
// under a locale such as BIG5, GBK or Shift-JIS a shell may take a backslash
// after a byte of 0x80 or more for the second byte of one character, but
// never a quote. POSIX shells read the line back as the value, under every
// locale, and so does systemd's EnvironmentFile=. None when whyNotExported
// gives a reason without `leftOut`.
std::optional<std::string> shellAssignment(const qor_param& param);

}  // namespace qorid

#endif  // QORID_TOOL_SHELL_EXPORT_H_
