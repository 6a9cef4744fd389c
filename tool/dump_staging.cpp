#include "tool/dump_staging.h"

#include "common/full_io.h"
#include "common/undo.h"
#include "lib/one_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qorid::dump {

void say(const std::string& text) {
  const std::string line = std::string(kMe) + ": " + oneLine(text) + "\n";
  if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
    // Nothing is left to tell it to.
  }
}

Stopped Stopped::because(std::string line) {
  Stopped stopped;
  stopped.mStopped = true;
  stopped.mLine = std::move(line);
  return stopped;
}

Stopped Stopped::bySignal() { return because(""); }

Stopped checkSignals() { return undo::notedSignal() != 0 ? Stopped::bySignal() : Stopped(); }

process::Ran runWatched(process::Command command) {
  command.watch = undo::watchChild;
  return process::runCommand(command);
}

Stopped Staging::make(const char* tmpdir) {
  mTmpdir = tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
  std::string made = mTmpdir + "/qorid-dump.XXXXXX";
  // Made and armed together: no signal finds it made and not armed.
  const undo::SignalsHeld held;
  if (::mkdtemp(made.data()) == nullptr) {
    return Stopped::because("cannot make a temporary directory under " + mTmpdir +
                            ": no dump written");
  }
  mHeld.reset(::open(made.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!mHeld.isOpen() || ::fstat(mHeld.fd(), &st) != 0 || !undo::armRemoveTree(made, st)) {
    (void)::rmdir(made.c_str());  // still empty: nothing was written into it
    return Stopped::because("cannot make a temporary directory under " + mTmpdir +
                            ": no dump written");
  }
  mPath = made;
  return {};
}

Stopped Staging::failed(const std::string& detail) const {
  return Stopped::because("could not write into the temporary directory under " + mTmpdir +
                          (detail.empty() ? "" : " (" + detail + ")") + ": no dump written");
}

Stopped Staging::create(const std::string& path, Descriptor& fd, int flags) const {
  const int opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | flags, 0666);
  const int openErrno = errno;
  fd.reset(opened);
  return opened >= 0 ? Stopped() : failed(std::strerror(openErrno));
}

Stopped Staging::close(Descriptor& fd, bool written) const {
  const int writeErrno = errno;
  const bool closed = fd.close() == 0;
  if (written && closed) {
    return {};
  }
  if (!written) {
    errno = writeErrno;
  }
  return failed(std::string("write error: ") + std::strerror(errno));
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): where, then what
Stopped Staging::writeFile(const std::string& path, const std::string& text) const {
  Descriptor fd;
  if (Stopped stopped = create(path, fd)) {
    return stopped;
  }
  return close(fd, writeAll(fd.fd(), text));
}

Stopped Staging::makeDirectory(const std::string& path) const {
  return ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST ? failed() : Stopped();
}

Stopped Staging::makeDirectories(const std::string& under, const std::string& below) const {
  std::string::size_type end = 0;
  while (end != std::string::npos) {
    end = below.find('/', end + 1);
    if (Stopped stopped = makeDirectory(under + "/" + below.substr(0, end))) {
      return stopped;
    }
  }
  return {};
}

}  // namespace qorid::dump
