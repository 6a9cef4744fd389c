// Reading the small text files of /proc and /etc: lines and numbers, never
// more than a fixed number of bytes of any one file.
#ifndef QORID_COMMON_TEXT_FILE_H_
#define QORID_COMMON_TEXT_FILE_H_

#include "common/descriptor.h"

#include <cstddef>
#include <string>

namespace qorid {

// The most that is read of any one file: 1 MiB. A property's value, the
// known identities and /proc/cpuinfo are far smaller on every board; a file
// that never ends (a link to /dev/zero, a FIFO fed without end) costs no
// more than this.
inline constexpr size_t kReadLimit = size_t{1} << 20;

// The WARN message for a file that held more than the reader took:
// "Read only the first 1048576 bytes of PATH, the rest is ignored".
std::string cutNotice(const std::string& path);

// A file opened for reading, closed by the destructor. Opening never blocks
// (a FIFO reads as empty), and a directory counts as a file that cannot be
// opened. Read errors end the reading like the end of the file. At most
// `limit` bytes are read: the file then reads as if it ended there, and
// cut() tells that a read wanted more. Memory stays within the limit and
// one chunk whatever the file holds.
class TextFile {
 public:
  // How a file is opened: open(2) of `path` with O_RDONLY | O_NONBLOCK |
  // O_CLOEXEC, or the same another way; the descriptor, or -1 with errno
  // set.
  using Opener = int (*)(const std::string& path);
  static int openReadOnly(const std::string& path);

  explicit TextFile(std::string path, size_t limit = kReadLimit, Opener open = openReadOnly);
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  [[nodiscard]] bool isOpen() const { return mFd.isOpen(); }
  // Why the file is not open: the errno of the failed open, EISDIR for a
  // directory; 0 when it is open.
  [[nodiscard]] int openError() const { return mOpenError; }
  [[nodiscard]] const std::string& path() const { return mPath; }

  // Like std::getline: the next line without its '\n' (every other byte, NUL
  // included, kept); a last line without '\n' counts. Returns false, with
  // `line` empty, when nothing is left.
  bool readLine(std::string& line) { return readUntil(line, '\n'); }
  // The same with another byte ending the piece: readUntil(text, '\0')
  // hands out the strings of a device-tree string list one by one.
  bool readUntil(std::string& text, char end);
  // Reads an int the way `stream >> value` reads one from a stream of the
  // unread bytes: white space (" \t\n\v\f\r") skipped, an optional sign,
  // then decimal digits up to the first other byte, which stays unread (see
  // decimal.h). No digit stores 0; a number out of range stores INT_MIN or INT_MAX. Returns
  // false, with `value` untouched, when only white space is left. Memory
  // stays within one chunk however long the white space or the digits run.
  bool readInt(int& value);
  // The next unread bytes as they are, every byte kept: at most what one
  // read gave (a chunk of 4 KiB). Returns false, with `bytes` empty, when
  // nothing is left (the end of the file, a read error, the limit). For
  // copying a file byte for byte within the limit; cut() then tells whether
  // the file held more.
  bool readChunk(std::string& bytes);

  // True once a read stopped at the limit while the file held more: a line
  // just handed out then ends at the limit, not at a newline, and a number
  // may be shorter than written.
  [[nodiscard]] bool cut() const { return mCut; }

 private:
  bool fill();  // reads more into mBuffer; false at end of file or error
  int peek();   // the next unread byte (0-255), or -1 at the end

  std::string mPath;
  Descriptor mFd;
  // The size a regular file reports, or -1: reading that many bytes is the
  // end, without another read to find it out.
  long long mSize = -1;
  long long mReadSoFar = 0;
  size_t mLimit;
  int mOpenError;
  bool mEnd = false;
  bool mCut = false;
  std::string mBuffer;  // read but not yet handed out
  std::string::size_type mPos = 0;
};

}  // namespace qorid

#endif  // QORID_COMMON_TEXT_FILE_H_
