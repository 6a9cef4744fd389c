// What the library should make of its inputs, worked out from the rules in
// README.md and the header's contracts without the library's own code, for
// the fuzz targets to hold the library's results against.
#ifndef QORID_FUZZ_EXPECTATIONS_H_
#define QORID_FUZZ_EXPECTATIONS_H_

#include "qorid/qorid.h"

#include <optional>
#include <string>
#include <vector>

namespace fuzz {

// The lines of a file as the library reads them: split at '\n', every other
// byte (NUL included) kept, a last line without '\n' counted, nothing after
// a final '\n'.
std::vector<std::string> splitLines(const std::string& text);
// The first line; the empty text for an empty file.
std::string firstLine(const std::string& text);

// A known-identities line: fields are the runs of bytes other than ':'; it
// needs two. The second is the board number: blanks, one sign, decimal
// digits, anything after them ignored; it must fit an int. Empty when the
// line is rejected.
std::optional<HardwareIdentity> expectedIdentity(const std::string& line);
// The identities used when /etc/known_qor_ids cannot be opened.
std::vector<HardwareIdentity> builtInIdentities();

// The board number read from a boardid file with formatted extraction into
// an int that held `previous`: white space skipped; nothing left keeps
// `previous`; no digits after an optional sign give 0; out of range gives
// the nearest limit.
int expectedBoardNumber(const std::string& content, int previous);

// a-z upper-cased, every other byte as it is (the "C" locale).
std::string upperAscii(std::string text);

bool sameIdentity(const HardwareIdentity& a, const HardwareIdentity& b);
bool sameIdentities(const std::vector<HardwareIdentity>& a,
                    const std::vector<HardwareIdentity>& b);

}  // namespace fuzz

#endif  // QORID_FUZZ_EXPECTATIONS_H_
