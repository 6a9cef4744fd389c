// ip's one-line output as qorid-dump reads it into its net lines.
#include "tool/ip_lines.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace {

TEST(IpLines, AddressLinesGiveLabelDeviceAndAddress) {
  struct Case {
    const char* line;
    const char* label;  // null: the line gives no address
    const char* device;
    const char* address;
  };
  const Case cases[] = {
      {"1: lo    inet 127.0.0.1/8 scope host lo\\       valid_lft forever preferred_lft forever",
       "lo", "lo", "127.0.0.1/8"},
      {"3: eth0    inet 192.0.2.1/24 brd 192.0.2.255 scope global eth0:1\\       valid_lft forever",
       "eth0:1", "eth0", "192.0.2.1/24"},
      {"4: veth0@if3    inet 198.51.100.1/24 scope global veth0\\       valid_lft forever",
       "veth0", "veth0", "198.51.100.1/24"},
      // The continuation as a word of its own, flags before the label, tabs.
      {"2: eth0\tinet 192.0.2.9/32 scope global dynamic noprefixroute eth0 \\ valid_lft 86000sec",
       "eth0", "eth0", "192.0.2.9/32"},
      // A label that is not the device's (a word after it) gives the device.
      {"2: eth0    inet 192.0.2.1/24 scope global secondary\\ valid_lft", "eth0", "eth0",
       "192.0.2.1/24"},
      {"2: eth0    inet 192.0.2.1/24 scope global wan\\ valid_lft", "eth0", "eth0",
       "192.0.2.1/24"},
      {"2: eth0    inet 192.0.2.1/24 scope global eth0", "eth0", "eth0", "192.0.2.1/24"},
      // Words after the backslash are not the label.
      {"2: eth0    inet 192.0.2.1/24 \\ eth0:9", "eth0", "eth0", "192.0.2.1/24"},
      {"2: eth0    link/ether 02:00:00:00:00:01 brd ff:ff:ff:ff:ff:ff", nullptr, "", ""},
      {"2: eth0    inet", nullptr, "", ""},
      {"2: eth0    inet6 2001:db8::1/64 scope global", nullptr, "", ""},
      {"2:", nullptr, "", ""},
      {"", nullptr, "", ""},
  };
  for (const Case& c : cases) {
    const std::optional<qorid::dump::AddressLine> got = qorid::dump::parseAddressLine(c.line);
    ASSERT_EQ(c.label != nullptr, got.has_value()) << c.line;
    if (got) {
      EXPECT_EQ(c.label, got->label) << c.line;
      EXPECT_EQ(c.device, got->device) << c.line;
      EXPECT_EQ(c.address, got->address) << c.line;
    }
  }
}

TEST(IpLines, LinkLinesGiveTheWordAfterLink) {
  const std::pair<const char*, const char*> cases[] = {
      {"2: eth0: <BROADCAST,UP> mtu 1500 qdisc noqueue\\    link/ether 02:00:00:00:00:01 brd "
       "ff:ff:ff:ff:ff:ff",
       "02:00:00:00:00:01"},
      {"5: tun0: <POINTOPOINT,UP> mtu 1500\\    link/none", ""},
      {"1: lo: <LOOPBACK,UP> mtu 65536\\    link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00",
       "00:00:00:00:00:00"},
      {"2: eth0: <BROADCAST,UP> mtu 1500", ""},
  };
  for (const auto& [line, mac] : cases) {
    EXPECT_EQ(mac, qorid::dump::linkAddress(line)) << line;
  }
}

}  // namespace
