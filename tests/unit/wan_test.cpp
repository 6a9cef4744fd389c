// The WAN module's pure rules; the requests to the kernel are tested
// through the collection (collection_test.cpp) and the black-box WAN test.
#include "lib/wan.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(WanModule, IdentifierKeepsTheSignedByteRule) {
  struct Case {
    unsigned char mac[6];
    const char* expected;
  };
  const Case cases[] = {
      {{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, "01a2b3c4d5e"},
      {{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}, "12345678ff9affbc"},
      {{0x0a, 0x80, 0xff, 0x01, 0x7f, 0x10}, "aff80ffff17f10"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "000000"},
      {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, "ffffffffffffffffffffffff"},
      {{0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}, "2fffc0001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, qorid::wanIdentifier(reinterpret_cast<const char*>(c.mac)));
  }
}

TEST(WanModule, LoopbackIsLoAndItsLabelsOnlyByName) {
  const std::pair<std::string, bool> cases[] = {
      {"lo", true}, {"lo:1", true}, {"lo:", true}, {"lo:wan", true},
      {"lo0", false}, {"loop", false}, {"eth0", false}, {"eth0:lo", false},
      {"", false}, {"LO", false},
  };
  for (const auto& [name, loopback] : cases) {
    EXPECT_EQ(loopback, qorid::isLoopbackLabel(name)) << name;
  }
}

TEST(WanModule, InterfaceNameEndsAtTheFirstNul) {
  EXPECT_EQ("eth1", qorid::interfaceName("eth1\0"s));
  EXPECT_EQ("eth1", qorid::interfaceName("eth1\0eth2\0"s));
  EXPECT_EQ("eth1", qorid::interfaceName("eth1"));
  EXPECT_EQ("", qorid::interfaceName("\0eth1"s));
}

}  // namespace
