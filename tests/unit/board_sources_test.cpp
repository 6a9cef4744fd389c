// The pure rules of what the identification reads; the reading of the
// node, uname and /proc/cpuinfo is tested through the determination
// (determination_test.cpp).
#include "board_sources.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::string_literals;

namespace {

TEST(BoardSources, ReleaseAliasIsTheTextAfterTheLastDash) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"5.10.0-qvk", "qvk"},
      {"4.19.1-a-b", "b"},
      {"6.1.0-27-amd64", "amd64"},
      {"5.10.0-", ""},
      {"-", ""},
      {"5.10.0", std::nullopt},
      {"", std::nullopt},
      {"5.10.0-QVK", "QVK"},
  };
  for (const auto& [release, alias] : cases) {
    EXPECT_EQ(alias, qorid::releaseAlias(release)) << release;
  }
}

TEST(BoardSources, HardwareValueStartsTwoBytesAfterTheFirstColon) {
  const std::pair<std::string, std::string> cases[] = {
      {"Hardware\t: Tessaron QVK", "Tessaron QVK"},
      {"Hardware : a: b ", "a: b "},
      {"Hardware\t:  two blanks", " two blanks"},
      {"Hardware:xvalue", "value"},
      {"Hardware\t: ", ""},
      {"Hardware:", ""},
      {"Hardware", ""},
      {"Hardware\t: QVK\0x"s, "QVK\0x"s},
  };
  for (const auto& [line, value] : cases) {
    EXPECT_EQ(value, qorid::hardwareValue(line)) << line;
  }
}

}  // namespace
