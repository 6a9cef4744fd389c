// Reading the small text files of /proc and /etc: lines and whole contents.
#ifndef QORID_LIB_TEXT_FILE_H_
#define QORID_LIB_TEXT_FILE_H_

#include <string>

namespace qorid {

// A file opened for reading, closed by the destructor. Opening never blocks
// (a FIFO reads as empty), and a directory counts as a file that cannot be
// opened. Read errors end the reading like the end of the file.
class TextFile {
 public:
  explicit TextFile(const std::string& path);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  [[nodiscard]] bool isOpen() const { return mFd >= 0; }

  // Like std::getline: the next line without its '\n' (every other byte, NUL
  // included, kept); a last line without '\n' counts. Returns false, with
  // `line` empty, when nothing is left.
  bool readLine(std::string& line);
  // Reads an int the way `stream >> value` reads one from a stream of the
  // unread bytes: white space (" \t\n\v\f\r") skipped, an optional sign,
  // then decimal digits up to the first other byte, which stays unread. No
  // digit stores 0; a number out of range stores INT_MIN or INT_MAX. Returns
  // false, with `value` untouched, when only white space is left. Memory
  // stays within one chunk however long the white space or the digits run.
  bool readInt(int& value);

 private:
  bool fill();  // reads more into mBuffer; false at end of file or error
  int peek();   // the next unread byte (0-255), or -1 at the end

  int mFd;
  // The size a regular file reports, or -1: reading that many bytes is the
  // end, without another read to find it out.
  long long mSize = -1;
  long long mReadSoFar = 0;
  bool mEnd = false;
  std::string mBuffer;  // read but not yet handed out
  std::string::size_type mPos = 0;
};

}  // namespace qorid

#endif  // QORID_LIB_TEXT_FILE_H_
