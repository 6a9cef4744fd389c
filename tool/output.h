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
// (--list, --json, --export, the number) on descriptor 1, kept apart from
// everything else without taking a descriptor of its own (a run under a
// tight descriptor limit needs every one). While it lives, std::cout writes
// to standard error, so a console appender, which writes to std::cout
// unless told otherwise, never reaches the data; keepLogsOut() does the
// same for a log file that leads to descriptor 1's file (/dev/stdout,
// /proc/self/fd/1). Every write is checked, and the first that fails is
// kept. Not thread-safe.
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

  // Where the data goes; lines go out when the stream is flushed.
  std::ostream& stream() { return *mStream; }

  // Call once logging is configured: every descriptor it opened on the file
  // of descriptor 1 is pointed at standard error instead.
  void keepLogsOut() const;

  // Flushes the data. Returns `status` when everything written reached
  // descriptor 1; otherwise writes "qorid: write error: REASON" to standard
  // error and returns 1.
  int finish(int status);

 private:
  bool mClosed;
  std::unique_ptr<DescriptorStream> mStream;
  std::streambuf* mCout;  // std::cout's own buffer, given back at the end
};


}  // namespace qorid

#endif  // QORID_TOOL_OUTPUT_H_
