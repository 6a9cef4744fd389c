// The JSON document of qorid --json: its shape, and texts that are not
// UTF-8 given back byte for byte.
#include "tool/json_output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace std::string_literals;

namespace {

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
