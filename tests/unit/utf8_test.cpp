// The two rules of UTF-8: the encoding's own (JSON), and systemd's for the
// values of an environment file (--export, parameters.env).
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace std::string_literals;

namespace {

std::string encoded(uint32_t point) {
  if (point < 0x80) {
    return std::string(1, static_cast<char>(point));
  }
  std::string bytes;
  const int more = point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
  const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
  bytes += static_cast<char>(lead[more] | (point >> (6 * more)));
  for (int k = more - 1; k >= 0; --k) {
    bytes += static_cast<char>(0x80 | ((point >> (6 * k)) & 0x3F));
  }
  return bytes;
}

TEST(Utf8, BothRulesOnSequencesThatAreNoneOrCutShort) {
  // text, valid UTF-8, taken by systemd's environment files
  const std::tuple<std::string, bool, bool> cases[] = {
      {"", true, true},
      {"eth0\0"s, true, true},
      {"caf\xc3\xa9", true, true},
      {"\xe2\x82\xac \xf0\x9f\x98\x80", true, true},  // three and four bytes
      {"\xf4\x8f\xbf\xbd", true, true},                // U+10FFFD
      {"\x01\x1f\x7f\xc2\x80\r\t", true, true},        // control characters
      {"\xef\xbf\xbe", true, false},                   // U+FFFE
      {"a\xef\xb7\x90", true, false},                  // U+FDD0
      {"\xf4\x8f\xbf\xbf", true, false},               // U+10FFFF
      {"\xff", false, false},
      {"\xc3", false, false},              // cut short
      {"\xc3(", false, false},
      {"\xc0\xaf", false, false},          // overlong
      {"\xe0\x80\xaf", false, false},      // overlong
      {"\xed\xa0\x80", false, false},      // a surrogate
      {"\xf4\x90\x80\x80", false, false},  // above U+10FFFF
      {"\x80", false, false},              // a lone continuation byte
  };
  for (const auto& [text, valid, taken] : cases) {
    EXPECT_EQ(valid, qorid::isValidUtf8(text)) << ::testing::PrintToString(text);
    EXPECT_EQ(taken, qorid::isEnvironmentFileText(text)) << ::testing::PrintToString(text);
  }
}

// Every code point, alone and between two others: systemd refuses exactly
// the surrogates (no UTF-8 at all) and the 66 noncharacters.
TEST(Utf8, SystemdRefusesExactlyTheNoncharactersOfEveryPlane) {
  int refused = 0;
  for (uint32_t point = 0; point <= 0x10FFFF; ++point) {
    const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    const bool noncharacter = (point >= 0xFDD0 && point <= 0xFDEF) || (point & 0xFFFF) >= 0xFFFE;
    const std::string text = "a" + encoded(point) + "z";
    ASSERT_EQ(!surrogate, qorid::isValidUtf8(text)) << std::hex << point;
    ASSERT_EQ(!surrogate && !noncharacter, qorid::isEnvironmentFileText(text)) << std::hex << point;
    refused += !surrogate && noncharacter ? 1 : 0;
  }
  EXPECT_EQ(66, refused);
}

}  // namespace
