#include "fuzz_support.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fuzz {
namespace {

// A plain buffer rather than a std::string: the atexit handler below runs
// after static objects made later than its registration are destroyed.
char gScratch[PATH_MAX];

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(gScratch, ignored);
}

}  // namespace

void checkFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "qorid fuzz check failed: %s (%s:%d)\n", condition, file, line);
  std::fflush(stderr);
  __builtin_trap();
}

void harnessFailed(const std::string& what) {
  std::fprintf(stderr, "qorid fuzz target cannot go on: %s: %s\n", what.c_str(),
               std::strerror(errno));
  std::abort();
}

const std::string& scratchDir() {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    const std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qorid-fuzz-XXXXXX";
    if (pattern.size() >= sizeof gScratch) {
      errno = ENAMETOOLONG;
      harnessFailed("TMPDIR");
    }
    std::memcpy(gScratch, pattern.c_str(), pattern.size() + 1);
    if (::mkdtemp(gScratch) == nullptr) {
      harnessFailed("mkdtemp " + pattern);
    }
    std::atexit(removeScratch);
    return std::string(gScratch);
  }();
  return dir;
}

void writeFile(const std::string& path, const std::string& content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    harnessFailed("open " + path);
  }
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      harnessFailed("write " + path);
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

void makeDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) {
    harnessFailed("mkdir " + path);
  }
}

void makeFifo(const std::string& path) {
  if (::mkfifo(path.c_str(), 0644) != 0) {
    harnessFailed("mkfifo " + path);
  }
}

void removePath(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) {
    errno = error.value();
    harnessFailed("remove " + path);
  }
}

std::string Reader::bytes(size_t count) {
  const size_t available = empty() ? 0 : mSize - mPos;
  const size_t n = count < available ? count : available;
  std::string out(reinterpret_cast<const char*>(mData) + mPos, n);
  mPos += n;
  return out;
}

}  // namespace fuzz
