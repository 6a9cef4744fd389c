// What UTF-8 a reader takes: the encoding's own rule, and the stricter one
// of systemd's environment files.
#ifndef QORID_COMMON_UTF8_H_
#define QORID_COMMON_UTF8_H_

#include <string_view>

namespace qorid {

// Whether `text` is UTF-8 as RFC 3629 has it: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short. NUL is a
// character like any other.
bool isValidUtf8(std::string_view text);

// Whether systemd takes `text` as a value of an environment file
// (EnvironmentFile=): valid UTF-8 (isValidUtf8) holding no noncharacter,
// that is none of U+FDD0 to U+FDEF and none whose low 16 bits are FFFE or
// FFFF (U+FFFE, U+FFFF, U+1FFFE, ... U+10FFFF). That is systemd's
// utf8_is_valid() (src/basic/utf8.c, through unichar_is_valid()), which its
// reader of environment files (src/basic/env-file.c) applies to every value:
// one value it refuses makes it refuse the whole file. Control characters
// are taken.
bool isEnvironmentFileText(std::string_view text);

}  // namespace qorid

#endif  // QORID_COMMON_UTF8_H_
