// The qorid command line: options, help text and the decision they lead to.
#ifndef QORID_TOOL_TOOL_H_
#define QORID_TOOL_TOOL_H_

#include <optional>
#include <ostream>
#include <string>

class QorIdentifier;
class cNolt;

namespace qorid {

struct ToolOptions {
  bool verbose = false;
  bool list = false;
  bool exec = false;    // set by --exec and by --script
  bool script = false;
  bool json = false;    // --json: the identity and parameters as JSON
  bool exportParams = false;  // --export: the parameters as shell assignments
  bool help = false;    // --help seen: nothing after it was parsed
  // --root DIR, the last one given: the folder the board's files are read
  // under. rootMissing: --root ended the command line without its DIR
  // (getopt_long has said so).
  std::optional<std::string> root;
  bool rootMissing = false;
  int firstArgument = 0;  // index of the first non-option argument
};

// Parses argv with getopt_long (permuting, so argv may be reordered; "--"
// ends the options). "--e" and "--ex" stay prefixes of --exec, as they were
// before --export (argv may point at a spelled-out "--exec" afterwards).
// Unknown options are reported by getopt_long on standard error and
// otherwise ignored; --root without DIR is reported there too, and counts.
// Safe to call more than once per process.
ToolOptions parseOptions(int argc, char** argv);

// Carries out what the options ask for on `identifier` (made at start-up,
// with `logger`), writing to `out`. Returns the program's exit status: 2
// for --root without DIR, and for a DIR that cannot be the root ("qorid:
// --root DIR: REASON" on standard error, nothing on `out`). With --root
// DIR, and but for --help, the root is set for the process
// (QorIdentifier::setRoot) and the mode runs on an identifier of its own,
// made then with `logger`, whose known identities are the root's.
int runTool(const ToolOptions& options, int argc, char** argv, QorIdentifier& identifier,
            cNolt* logger, std::ostream& out);

}  // namespace qorid

#endif  // QORID_TOOL_TOOL_H_
