// Text read from the board (file names, values, lines) inside a message that
// must stay one line: a log line, or one of qorid's own lines on standard
// error.
#ifndef QORID_LIB_ONE_LINE_H_
#define QORID_LIB_ONE_LINE_H_

#include <string>
#include <string_view>

namespace qorid {

// `text` with each newline written as the two characters "\n", so that no
// byte of it can start a line of its own. Every other byte (tab, carriage
// return, NUL, a backslash) stays as it is.
inline std::string oneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace qorid

#endif  // QORID_LIB_ONE_LINE_H_
