#include "common/utf8.h"

#include <cstddef>
#include <cstdint>

namespace qorid {
namespace {

// What a byte starts: how many continuation bytes follow it (-1: it starts
// no sequence), and the range the first of them must lie in.
struct Lead {
  int more;
  unsigned char low;
  unsigned char high;
};

Lead leadOf(unsigned char c) {
  if (c < 0x80) {
    return {0, 0, 0};
  }
  if (c >= 0xC2 && c <= 0xDF) {
    return {1, 0x80, 0xBF};
  }
  if (c >= 0xE0 && c <= 0xEF) {
    // E0 would allow overlong forms below A0, ED the surrogates above 9F.
    return {2, static_cast<unsigned char>(c == 0xE0 ? 0xA0 : 0x80),
            static_cast<unsigned char>(c == 0xED ? 0x9F : 0xBF)};
  }
  if (c >= 0xF0 && c <= 0xF4) {
    // F0 would allow overlong forms below 90, F4 code points above U+10FFFF.
    return {3, static_cast<unsigned char>(c == 0xF0 ? 0x90 : 0x80),
            static_cast<unsigned char>(c == 0xF4 ? 0x8F : 0xBF)};
  }
  return {-1, 0, 0};  // a continuation byte, C0, C1 or F5 to FF
}

// Calls `accept` with each code point of `text` in turn; false as soon as a
// sequence is not UTF-8 or `accept` refuses a code point.
template <typename Accept>
bool eachCodePoint(std::string_view text, Accept accept) {
  for (size_t i = 0; i < text.size();) {
    const auto first = static_cast<unsigned char>(text[i]);
    const Lead lead = leadOf(first);
    if (lead.more < 0 || text.size() - i - 1 < static_cast<size_t>(lead.more)) {
      return false;
    }
    // The lead byte's payload bits: 7, 5, 4 or 3 of them.
    uint32_t point = first & (0x7FU >> lead.more);
    for (int k = 1; k <= lead.more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? lead.low : 0x80) || c > (k == 1 ? lead.high : 0xBF)) {
        return false;
      }
      point = point << 6 | (c & 0x3FU);
    }
    if (!accept(point)) {
      return false;
    }
    i += 1 + static_cast<size_t>(lead.more);
  }
  return true;
}

bool isNoncharacter(uint32_t point) {
  return (point >= 0xFDD0 && point <= 0xFDEF) || (point & 0xFFFE) == 0xFFFE;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  return eachCodePoint(text, [](uint32_t) { return true; });
}

bool isEnvironmentFileText(std::string_view text) {
  return eachCodePoint(text, [](uint32_t point) { return !isNoncharacter(point); });
}

}  // namespace qorid
