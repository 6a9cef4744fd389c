// The configuration file on its way to log4cpp: read once, within a size
// limit, and the checked bytes handed on at a path of their own, so that
// log4cpp reads what was checked and not whatever is at the file's path by
// then. Not thread-safe.
#ifndef NOLT_CONFIG_FILE_H_
#define NOLT_CONFIG_FILE_H_

#include "nolt/descriptors.h"

#include <string>

namespace nolt {

// What reading a configuration file gave.
struct ConfigFile {
  bool found = true;    // false: nothing at the path (ENOENT); nothing else is set
  std::string problem;  // why it cannot be used, empty when `text` holds it
  std::string text;     // all of it
};

// Reads the file at `path`, which must be a regular file of at most
// kMaxFileSize bytes (logging_limits.h); the problems are "larger than 65536
// bytes", "a FIFO, not a regular file" (a directory, a device, "not a
// regular file" for other kinds) and
// the strerror text of a failed open or read. Opening never waits, also for
// a FIFO without a writer.
ConfigFile readConfigFile(const char* path);

// The checked bytes at a path that log4cpp can be handed: /proc/self/fd/N of
// a memfd, or where /proc/self/fd cannot be read (a root whose /proc is a
// plain folder, or noltSetProcFdMissingForTesting) a private copy, a file of
// mode 0600 in a fresh folder of mode 0700 under $TMPDIR when that is an
// absolute path that works, else under /tmp. The memfd is close-on-exec;
// the copy and its folder are removed by the destructor.
class CheckedText {
 public:
  // Puts `text` in place. problem() then says why it could not be, empty
  // when path() leads to it: "cannot hold it in memory: REASON", or "cannot
  // hand it to log4cpp without /proc: " and the failed step ("mkdtemp /tmp:
  // REASON", "open FILE: REASON", "write FILE: REASON").
  explicit CheckedText(const std::string& text);
  ~CheckedText();
  CheckedText(const CheckedText&) = delete;
  CheckedText& operator=(const CheckedText&) = delete;

  [[nodiscard]] const std::string& problem() const { return mProblem; }
  [[nodiscard]] const std::string& path() const { return mPath; }

 private:
  std::string makeCopy(const std::string& text);

  Descriptor mMemory;
  std::string mProblem;
  std::string mPath;
  std::string mFolder;  // of the private copy, when one was made
  std::string mCopy;
};

}  // namespace nolt

#endif  // NOLT_CONFIG_FILE_H_
