// File helpers for the tests and the fuzz targets: temporary directories and
// files of any content, FIFOs, removal. Free of GoogleTest. Every helper
// throws std::runtime_error (or std::filesystem::filesystem_error) when it
// cannot do its work: the test or the fuzz run cannot go on.
#ifndef QORID_TESTS_SUPPORT_FILES_H_
#define QORID_TESTS_SUPPORT_FILES_H_

#include <string>

namespace testing_fs {

// A fresh directory under $TMPDIR (/tmp when unset or empty), removed with
// everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return mPath; }

 private:
  std::string mPath;
};

// A TempDir of this process, made on first use and removed when the process
// exits normally.
const std::string& scratchDir();

// Creates or truncates `path` and writes `content` (any bytes) to it,
// creating parent directories.
void writeFile(const std::string& path, const std::string& content);
void makeDirs(const std::string& path);
void makeFifo(const std::string& path);
// Removes whatever is at `path`, a directory with its contents; nothing
// there is fine.
void removePath(const std::string& path);
// The whole content of a file, as bytes.
std::string readFile(const std::string& path);

}  // namespace testing_fs

#endif  // QORID_TESTS_SUPPORT_FILES_H_
