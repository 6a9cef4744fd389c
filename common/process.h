// Running a command as a shell would, but only from a folder named by its
// full path: the command is looked up on PATH's absolute entries and started
// (posix_spawn) by the path found there, never by a search of the C
// library's.
#ifndef QORID_COMMON_PROCESS_H_
#define QORID_COMMON_PROCESS_H_

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace qorid::process {

// --- the PATH rules ----------------------------------------------------------

// The absolute entries of the folder list `path`, in its order. An empty
// entry (the current directory) and a relative one (a folder below it) are
// skipped: a command is never taken from the folder a program is run in,
// which may be anyone's.
std::vector<std::string> absoluteEntries(const std::string& path);

// The folder list a program looks commands up on and hands to what it runs:
// the absolute entries of `path`, or of the C library's default path
// (confstr(_CS_PATH)) when `path` is null, then `after`'s entries as they
// are; joined by ':'.
std::string commandPath(const char* path, const std::string& after);

// Whether `path` is a regular file (through links) this process may execute.
bool isCommandFile(const std::string& path);

// The command `name` in the first absolute entry of `path` that holds it
// (isCommandFile), as `command -v` finds it; "" when none does, and for an
// empty name or one holding a '/'.
std::string findCommand(const std::string& name, const std::string& path);
// The same on the environment's PATH; "" when PATH is unset.
std::string onPath(const std::string& name);

// --- running -----------------------------------------------------------------

// Where a command's standard output or standard error goes.
struct Redirect {
  enum class Kind { kInherit, kNull, kDescriptor, kCapture };
  Kind kind = Kind::kInherit;
  int fd = -1;       // kDescriptor: borrowed, open until the command ends
  size_t limit = 0;  // kCapture: at most this many bytes are kept

  static Redirect inherit() { return {}; }  // this process's own
  static Redirect null() { return {Kind::kNull, -1, 0}; }  // /dev/null
  static Redirect to(int fd) { return {Kind::kDescriptor, fd, 0}; }
  // Read back into Ran: all of it is read, the first `limit` bytes kept.
  static Redirect capture(size_t limit) { return {Kind::kCapture, -1, limit}; }
};

struct Command {
  // argv[0] is looked up by onPath unless it holds a '/'; an empty argv
  // starts nothing.
  std::vector<std::string> argv;
  Redirect out;
  Redirect err;
  // Called, when set, with the child's process id once it is started and
  // with 0 once it has been waited for: for a signal handler that passes a
  // signal on to it.
  void (*watch)(pid_t child) = nullptr;
};

struct Ran {
  bool started = false;  // false: not found, or it could not be started
  int status = 0;        // as a shell gives it: the exit status, 128 + a signal
  std::string out;       // what was captured of each stream (Redirect::capture)
  std::string err;
};

// Runs `command` with this process's environment and standard input, and
// waits for it. The child starts with SIGHUP, SIGINT and SIGTERM at their
// default action, as a shell's children do, whatever this process does with
// them. Reads and waits are made again after EINTR: a signal caught here
// does not end the wait (a handler that wants the command ended passes it
// on, see Command::watch). Not thread-safe.
Ran runCommand(const Command& command);

// `text` without its trailing newlines, as $(...) gives a command's output.
std::string chomp(std::string text);
// The lines of `text`, split at each newline: a last newline gives one
// empty line more, and "" one empty line.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace qorid::process

#endif  // QORID_COMMON_PROCESS_H_
