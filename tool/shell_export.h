// The system parameters as shell assignments (qorid --export), for
// `set -a; . FILE` in a POSIX shell and for systemd's EnvironmentFile=.
#ifndef QORID_TOOL_SHELL_EXPORT_H_
#define QORID_TOOL_SHELL_EXPORT_H_

#include "qorid/qorid.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qorid {

// Whether `name` is a shell variable name: [A-Za-z_][A-Za-z0-9_]*.
// Device-tree names may hold '-', '.' or ',' and are none.
bool isShellName(const std::string& name);

// Why `param` is left out of --export, as the end of the WARN line "Left
// out of --export: ...": "NAME is not a shell variable name", "NAME:
// REASON" where `leftOut` (why --exec leaves it out of the environment, see
// QorIdentifier::whyLeftOutOfEnvironment) is not empty, "NAME: value not
// UTF-8", or "NAME: value holds a Unicode noncharacter, which systemd
// refuses" (systemd refuses a whole environment file for one such value, see
// isEnvironmentFileText; a shell under a multibyte locale may read bytes
// that are not UTF-8 otherwise). The value counts up to its first NUL, as
// --exec sets it. Empty when it is exported.
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

// What --export makes of each of `params` (the parameters in list order,
// `leftOut[i]` why --exec leaves params[i] out of the environment): its
// line, or why it is left out, or neither.
//
// --export gives the environment that --exec gives, or less, never other
// values: for each name (up to its first NUL, as --exec takes it) it carries
// exactly the value that --exec leaves in the environment for that name, the
// last one that --exec does not leave out, at that parameter's place; or,
// when that value cannot be carried (whyNotExported), nothing of that name.
// The earlier values of a name that a later one replaces get neither a line
// nor a reason; each parameter that --exec leaves out (too long, over the
// budget), and each that is no shell name, gets its reason.
struct Exported {
  std::string line;    // the assignment, without its newline
  std::string reason;  // whyNotExported's
};
std::vector<Exported> exportOf(const std::vector<qor_param>& params,
                               const std::vector<std::string>& leftOut);

// The parameters that `identifier` holds, as --export prints them: one
// assignment a line (exportOf); each parameter left out gets a WARN line in
// the log instead, "Left out of --export: REASON".
void writeExport(QorIdentifier& identifier, std::ostream& out);

}  // namespace qorid

#endif  // QORID_TOOL_SHELL_EXPORT_H_
