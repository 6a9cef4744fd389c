// Standard output and the standard descriptors of one run of the tool:
// every write checked, and no file the tool opens taking the place of a
// standard stream.
#ifndef QORID_TOOL_OUTPUT_H_
#define QORID_TOOL_OUTPUT_H_

#include <memory>
#include <ostream>

namespace qorid {

// Makes sure descriptors 0, 1 and 2 are open, so that no file that the tool
// or its logging opens later becomes standard output (or input, or error).
// Each closed one is given /dev/null, close-on-exec: a command run by --exec
// finds it closed, as the caller left it. Call before anything opens a file.
// Returns true when standard output was closed.
bool claimStandardDescriptors();

// An output stream onto a descriptor that it does not own: what it is given
// goes out when it is flushed or its buffer is full, written in full (again
// after EINTR). After the first write that fails nothing more is written:
// the stream goes bad and the failure is kept. Not thread-safe.
class DescriptorStream : public std::ostream {
 public:
  // `fd` < 0: every write fails as a write to a closed descriptor (EBADF).
  explicit DescriptorStream(int fd);
  ~DescriptorStream() override;
  DescriptorStream(const DescriptorStream&) = delete;
  DescriptorStream& operator=(const DescriptorStream&) = delete;

  // The errno of the first write that failed; 0 while none did.
  [[nodiscard]] int error() const;

 private:
  class Buffer;
  std::unique_ptr<Buffer> mBuffer;
};

// The data of one run of the tool: what it writes for another program
// (--list, --json, --export, the number), kept apart from everything else.
// While it lives, descriptor 1 points at standard error and the data goes
// to a duplicate of the descriptor 1 the tool was given: a log line that a
// console appender writes to std::cout, or a log file named /dev/stdout or
// /proc/self/fd/1, lands on standard error, never in the data. Every write
// is checked, and the first that fails is kept. Not thread-safe.
class CheckedOutput {
 public:
  // `closed`: descriptor 1 was closed when the tool started (see
  // claimStandardDescriptors): any output then fails as a write to a closed
  // descriptor fails (EBADF), and nothing reaches the stand-in.
  explicit CheckedOutput(bool closed);
  ~CheckedOutput();
  CheckedOutput(const CheckedOutput&) = delete;
  CheckedOutput& operator=(const CheckedOutput&) = delete;

  // Where the data goes; lines go out when the stream is flushed.
  std::ostream& stream() { return *mStream; }

  // Call once logging is configured: a descriptor it opened on the data's
  // own file (by a path that leads to the duplicate) is pointed at standard
  // error too.
  void keepLogsOut();

  // Flushes the data and gives descriptor 1 back as the tool was given it,
  // for a program that replaces the tool (--exec): it writes where the
  // caller asked, and finds descriptor 1 closed when the caller closed it.
  void handBack();

  // Flushes the data. Returns `status` when everything written reached its
  // file; otherwise writes "qorid: write error: REASON" to standard error
  // and returns 1.
  int finish(int status);

 private:
  int mData;  // the duplicate of descriptor 1, -1 when it was closed
  std::unique_ptr<DescriptorStream> mStream;
};

}  // namespace qorid

#endif  // QORID_TOOL_OUTPUT_H_
