// The qorid command line: options, help text and the decision they lead to.
#ifndef QORID_TOOL_TOOL_H_
#define QORID_TOOL_TOOL_H_

#include <memory>
#include <ostream>
#include <streambuf>

class QorIdentifier;

namespace qorid {

struct ToolOptions {
  bool verbose = false;
  bool list = false;
  bool exec = false;    // set by --exec and by --script
  bool script = false;
  bool json = false;    // --json: the identity and parameters as JSON
  bool help = false;    // --help seen: nothing after it was parsed
  int firstArgument = 0;  // index of the first non-option argument
};

// Parses argv with getopt_long (permuting, so argv may be reordered; "--"
// ends the options). Unknown options are reported by getopt_long on standard
// error and otherwise ignored. Safe to call more than once per process.
ToolOptions parseOptions(int argc, char** argv);

// Carries out what the options ask for on `identifier`, writing to `out`.
// Returns the program's exit status.
int runTool(const ToolOptions& options, int argc, char** argv,
            QorIdentifier& identifier, std::ostream& out);

// Makes sure descriptors 0, 1 and 2 are open, so that no file that the tool
// or its logging opens later becomes standard output (or input, or error).
// Each closed one is given /dev/null, close-on-exec: a command run by --exec
// finds it closed, as the caller left it. Call before anything opens a file.
// Returns true when standard output was closed.
bool claimStandardDescriptors();

// Standard output for one run of the tool: while it lives, std::cout writes
// to descriptor 1 through it, and the first write that fails is kept. Lines
// go out when the stream is flushed, as before. Not thread-safe.
class CheckedOutput {
 public:
  // `closed`: descriptor 1 was closed when the tool started (see
  // claimStandardDescriptors): any output then fails as a write to a closed
  // descriptor fails (EBADF), and nothing reaches the stand-in.
  explicit CheckedOutput(bool closed);
  // Gives std::cout its own buffer back.
  ~CheckedOutput();
  CheckedOutput(const CheckedOutput&) = delete;
  CheckedOutput& operator=(const CheckedOutput&) = delete;

  // Flushes std::cout. Returns `status` when everything written reached
  // descriptor 1; otherwise writes "qorid: write error: REASON" to standard
  // error and returns 1.
  int finish(int status);

 private:
  class Buffer;
  std::unique_ptr<Buffer> mBuffer;
  std::streambuf* mPrevious;
};

}  // namespace qorid

#endif  // QORID_TOOL_TOOL_H_
