// The JSON document of qorid --json: its shape, and texts that are not
// UTF-8 given back byte for byte.
#include "json_output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace std::string_literals;

namespace {

TEST(JsonOutput, Utf8CheckFollowsRfc3629) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"eth0\0"s, true},
      {"caf\xc3\xa9", true},
      {"\xe2\x82\xac \xf0\x9f\x98\x80", true},  // three and four bytes
      {"\xf4\x8f\xbf\xbf", true},                // U+10FFFF
      {"\xff", false},
      {"\xc3", false},                  // cut short
      {"\xc3(", false},
      {"\xc0\xaf", false},              // overlong
      {"\xe0\x80\xaf", false},          // overlong
      {"\xed\xa0\x80", false},          // a surrogate
      {"\xf4\x90\x80\x80", false},      // above U+10FFFF
      {"\x80", false},                  // a lone continuation byte
  };
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(valid, qorid::isValidUtf8(text)) << ::testing::PrintToString(text);
  }
}

TEST(JsonOutput, Base64OfEveryLengthRemainder) {
  EXPECT_EQ("", qorid::base64(""));
  EXPECT_EQ("Zg==", qorid::base64("f"));
  EXPECT_EQ("Zm8=", qorid::base64("fo"));
  EXPECT_EQ("Zm9vYmFy", qorid::base64("foobar"));
  EXPECT_EQ("/w==", qorid::base64("\xff"));
  EXPECT_EQ("AAD+/w==", qorid::base64("\0\0\xfe\xff"s));
}

TEST(JsonOutput, BadTextsGetReplacementAndTheirBytesBeside) {
  std::ostringstream json;
  qorid::writeIdentityJson(json, 2, "B\xff", {"q", "\xfe"},
                           {{"QOR_X", "a\0\n"s}, {"QOR_\xc0", "\xff"}});
  EXPECT_EQ(
      "{\"number\":2,\"name\":\"B\xef\xbf\xbd\",\"name_base64\":\"Qv8=\","
      "\"aliases\":[\"q\",\"\xef\xbf\xbd\"],\"aliases_base64\":[\"cQ==\",\"/g==\"],"
      "\"parameters\":[{\"name\":\"QOR_X\",\"value\":\"a\\u0000\\n\"},"
      "{\"name\":\"QOR_\xef\xbf\xbd\",\"name_base64\":\"UU9SX8A=\","
      "\"value\":\"\xef\xbf\xbd\",\"value_base64\":\"/w==\"}]}",
      json.str());
}

}  // namespace
