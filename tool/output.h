// Standard output and the standard descriptors of one run of the tool:
// every write checked, and no file the tool opens taking the place of a
// standard stream.
#ifndef QORID_TOOL_OUTPUT_H_
#define QORID_TOOL_OUTPUT_H_

#include <memory>
#include <streambuf>

namespace qorid {

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

#endif  // QORID_TOOL_OUTPUT_H_
