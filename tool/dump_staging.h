// What the parts of qorid-dump share: its one-line messages, what stops a
// dump before its tarball is written, the commands it runs, and the
// temporary directory the dump is put together in.
#ifndef QORID_TOOL_DUMP_STAGING_H_
#define QORID_TOOL_DUMP_STAGING_H_

#include "common/descriptor.h"
#include "common/process.h"

#include <cstddef>
#include <string>

namespace qorid::dump {

inline constexpr char kMe[] = "qorid-dump";

// What is kept of a command's output that is read back (ip's lines, qorid's
// standard error): far more than any of them writes.
inline constexpr size_t kOutputLimit = size_t{1} << 20;

// One line of standard error, "qorid-dump: TEXT\n", whatever the board's
// names in `text` hold: a newline is written as "\n", as qorid writes its
// own lines.
void say(const std::string& text);

// Why a dump stops before its tarball is written. Every part hands it back
// up to run(), which alone says it, undoes what the run did and sets the
// exit status. A default one means "go on".
class [[nodiscard]] Stopped {
 public:
  Stopped() = default;
  // Stopped; `line` (said as say() says it) tells why.
  static Stopped because(std::string line);
  // Stopped by a signal that the handlers noted: nothing is said.
  static Stopped bySignal();

  explicit operator bool() const { return mStopped; }
  [[nodiscard]] const std::string& line() const { return mLine; }

 private:
  bool mStopped = false;
  std::string mLine;
};

// bySignal() once the handlers (undo::OnSignal::kNote) noted a signal.
Stopped checkSignals();

// `command` run by process::runCommand, watched by the handlers
// (undo::watchChild): a signal noted while it runs ends it. Whether the
// dump goes on is checkSignals()'s to say.
process::Ran runWatched(process::Command command);

// The temporary directory, TMPDIR/qorid-dump.XXXXXX: removed on the way out,
// however the dump ends (undo::armRemoveTree; the handlers only note
// signals). A write into it that fails stops the dump: a dump with files
// missing for that reason would mislead.
class Staging {
 public:
  // Makes the directory under `tmpdir` (/tmp when null or empty). Stopped,
  // "cannot make a temporary directory under TMPDIR: no dump written", when
  // it cannot be made.
  Stopped make(const char* tmpdir);
  [[nodiscard]] const std::string& path() const { return mPath; }

  // "could not write into the temporary directory under TMPDIR (DETAIL):
  // no dump written", without " (DETAIL)" when `detail` is empty.
  [[nodiscard]] Stopped failed(const std::string& detail = "") const;
  // Creates or truncates `path` for writing (mode 0666 under the umask),
  // with `flags` added to open(2)'s.
  Stopped create(const std::string& path, Descriptor& fd, int flags = 0) const;
  // Closes `fd` after its writes; `written` false when one failed, errno
  // telling why.
  Stopped close(Descriptor& fd, bool written) const;
  [[nodiscard]] Stopped writeFile(const std::string& path, const std::string& text) const;
  // A directory that is there already is fine.
  [[nodiscard]] Stopped makeDirectory(const std::string& path) const;
  // Every directory of `below` (a relative path: "proc/sys/kernel") under
  // the directory `under`, as makeDirectory makes one.
  [[nodiscard]] Stopped makeDirectories(const std::string& under, const std::string& below) const;

 private:
  std::string mTmpdir;
  std::string mPath;
  Descriptor mHeld;  // the directory, so that its numbers stay its own
};

}  // namespace qorid::dump

#endif  // QORID_TOOL_DUMP_STAGING_H_
