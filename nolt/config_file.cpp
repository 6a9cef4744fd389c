#include "nolt/config_file.h"

#include "nolt/logging_limits.h"

#include "nolt/nolt_testing.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace nolt {

namespace {

bool gProcFdMissing = false;  // noltSetProcFdMissingForTesting

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a directory, not a regular file";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO, not a regular file";
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return "a device, not a regular file";
  }
  return "not a regular file";
}

ConfigFile refused(std::string problem) { return {true, std::move(problem), {}}; }

}  // namespace

// Opening never waits (a FIFO would, for a writer), and only a regular file
// is read, up to one byte past the limit to tell that it is too large.
ConfigFile readConfigFile(const char* path) {
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.fd() < 0) {
    if (errno == ENOENT) {
      return {false, {}, {}};
    }
    return refused(std::strerror(errno));
  }
  struct stat st;
  if (::fstat(file.fd(), &st) != 0) {
    return refused(std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    return refused(kindOf(st.st_mode));
  }
  std::string text(kMaxFileSize + 1, '\0');
  const ssize_t got = qorid::readFull(file.fd(), text.data(), text.size());
  if (got < 0) {
    return refused(std::strerror(errno));
  }
  if (static_cast<size_t>(got) > kMaxFileSize) {
    return refused("larger than " + std::to_string(kMaxFileSize) + " bytes");
  }
  text.resize(static_cast<size_t>(got));
  return {true, {}, std::move(text)};
}

CheckedText::CheckedText(const std::string& text)
    : mMemory(::memfd_create("nolt-configuration", MFD_CLOEXEC)) {
  if (mMemory.fd() < 0 || !writeAll(mMemory.fd(), text)) {
    mProblem = std::string("cannot hold it in memory: ") + std::strerror(errno);
    return;
  }
  mPath = "/proc/self/fd/" + std::to_string(mMemory.fd());
  if (gProcFdMissing || ::access(mPath.c_str(), R_OK) != 0) {
    const std::string why = makeCopy(text);
    if (!why.empty()) {
      mProblem = "cannot hand it to log4cpp without /proc: " + why;
      return;
    }
    mPath = mCopy;
  }
}

CheckedText::~CheckedText() {
  if (!mCopy.empty()) {
    (void)::unlink(mCopy.c_str());
  }
  if (!mFolder.empty()) {
    (void)::rmdir(mFolder.c_str());
  }
}

// The folder is made fresh and only its owner may enter it, so nothing can
// be put in the file's place.
std::string CheckedText::makeCopy(const std::string& text) {
  // TMPDIR where it is an absolute path that works, else /tmp: a TMPDIR
  // inherited from elsewhere (a chroot's caller) must not cost the
  // configuration.
  const char* tmpdir = std::getenv("TMPDIR");
  std::vector<std::string> bases;
  if (tmpdir != nullptr && tmpdir[0] == '/' && std::strcmp(tmpdir, "/tmp") != 0) {
    bases.emplace_back(tmpdir);
  }
  bases.emplace_back("/tmp");
  std::string folder;
  for (const std::string& base : bases) {
    folder = base + "/nolt-XXXXXX";
    if (::mkdtemp(folder.data()) != nullptr) {
      break;
    }
    if (&base == &bases.back()) {
      return "mkdtemp " + base + ": " + std::strerror(errno);
    }
  }
  mFolder = folder;
  const std::string file = folder + "/configuration";
  const Descriptor copy(
      ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (copy.fd() < 0) {
    return "open " + file + ": " + std::strerror(errno);
  }
  mCopy = file;
  if (!writeAll(copy.fd(), text)) {
    return "write " + file + ": " + std::strerror(errno);
  }
  return {};
}

}  // namespace nolt

void noltSetProcFdMissingForTesting(bool missing) { nolt::gProcFdMissing = missing; }
