// The qorid command line: options, help text and the decision they lead to.
#ifndef QORID_TOOL_TOOL_H_
#define QORID_TOOL_TOOL_H_

#include <ostream>

class QorIdentifier;

namespace qorid {

struct ToolOptions {
  bool verbose = false;
  bool list = false;
  bool exec = false;    // set by --exec and by --script
  bool script = false;
  bool json = false;    // --json: the identity and parameters as JSON
  bool exportParams = false;  // --export: the parameters as shell assignments
  bool help = false;    // --help seen: nothing after it was parsed
  int firstArgument = 0;  // index of the first non-option argument
};

// Parses argv with getopt_long (permuting, so argv may be reordered; "--"
// ends the options). "--e" and "--ex" stay prefixes of --exec, as they were
// before --export (argv may point at a spelled-out "--exec" afterwards).
// Unknown options are reported by getopt_long on standard error and
// otherwise ignored. Safe to call more than once per process.
ToolOptions parseOptions(int argc, char** argv);

// Carries out what the options ask for on `identifier`, writing to `out`.
// Returns the program's exit status.
int runTool(const ToolOptions& options, int argc, char** argv,
            QorIdentifier& identifier, std::ostream& out);

}  // namespace qorid

#endif  // QORID_TOOL_TOOL_H_
