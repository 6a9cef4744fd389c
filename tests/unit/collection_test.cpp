#include "lib/system.h"
#include "tests/support/fixture.h"
#include "tests/support/log_texts.h"

#include <algorithm>
#include <optional>

using namespace std::string_literals;

namespace {

class CollectionTest : public SystemTest {
 protected:
  static bool hasName(const QorIdentifier& id, const std::string& name) {
    const auto& p = id.getParams();
    return std::any_of(p.begin(), p.end(), [&](const qor_param& q) { return q.name == name; });
  }
};

TEST_F(CollectionTest, BoardParametersComeFirstThenTheNode) {
  putNode("boardid", "0\0"s);
  putNode("description", "Zero board\0"s);
  QorIdentifier id(nullptr);
  id.loadParams();
  const auto lines = paramLines(id);
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("QOR_ID=0", lines[0]);
  EXPECT_EQ("QOR_DESC=Zero board\0"s, lines[1]);
  EXPECT_EQ((std::vector<std::string>{"QOR_BOARDID=0\0"s, "QOR_DESCRIPTION=Zero board\0"s}),
            [&] {
              std::vector<std::string> rest(lines.begin() + 2, lines.end());
              std::sort(rest.begin(), rest.end());
              return rest;
            }());
}

TEST_F(CollectionTest, NegativeNumberPublishesNoBoardParameters) {
  // An empty boardid here means no device-tree node at all.
  for (const std::string boardid : {"", "-5"}) {
    SCOPED_TRACE(boardid);
    if (!boardid.empty()) putNode("boardid", boardid);
    QorIdentifier id(nullptr);
    id.loadParams();
    EXPECT_FALSE(hasName(id, "QOR_ID"));
    EXPECT_FALSE(hasName(id, "QOR_DESC"));
  }
}

TEST_F(CollectionTest, PcWithTheNodeDoesNotSearchInterfaces) {
  putNode("boardid", "64");
  putNode("description", "x86_64 PC");
  setUname("5.10.0", "x86_64");
  QorIdentifier id(nullptr);
  id.loadParams();
  EXPECT_FALSE(hasName(id, "QOR_WAN"));
  EXPECT_EQ(64, id.getHardwareNumber());
}

TEST_F(CollectionTest, SecondLoadAppendsEverythingAgain) {
  putNode("boardid", "3");
  putNode("serial", "S1");
  QorIdentifier id(nullptr);
  id.loadParams();
  const auto once = paramLines(id);
  id.loadParams();
  auto twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(twice, paramLines(id));
}

TEST_F(CollectionTest, LoadDeterminesFirstAndReportsOnce) {
  putNode("boardid", "8");
  QorIdentifier id(logger());
  testing_log::clear();
  id.loadParams();
  EXPECT_EQ(log_text::kAliasByDt, testing_log::texts().at(0));
  EXPECT_EQ(1u, testing_log::count(log_text::kFullIdentity));
}

TEST_F(CollectionTest, WanNamedByTheNodeThatDoesNotExistAddsNoId) {
  putNode("boardid", "5");
  putNode("wan", "qorid-none0\0"s);
  QorIdentifier id(nullptr);
  ::testing::internal::CaptureStderr();
  id.loadParams();
  EXPECT_EQ("ioctl(wan_mac): No such device\n", ::testing::internal::GetCapturedStderr());
  EXPECT_FALSE(hasName(id, "QOR_WAN_ID"));
}

TEST_F(CollectionTest, OverlongWanNameIsRefusedWithoutTouchingTheRequest) {
  for (const std::string& value :
       {"abcdefghijklmnop"s, "abcdefghijklmnopqrstuvwxyz0123456789\0"s}) {
    QorIdentifier id(nullptr);
    id.addParameter("QOR_WAN", value);
    ::testing::internal::CaptureStderr();
    id.add_wan_mac();
    EXPECT_EQ("ioctl(wan_mac): File name too long\n", ::testing::internal::GetCapturedStderr());
    EXPECT_EQ(1u, id.getParams().size());
  }
}

TEST_F(CollectionTest, LoopbackHasAnAllZeroAddressAndFirstWanWins) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_WAN", "lo\0"s);
  id.addParameter("QOR_WAN", "qorid-none0");
  id.add_wan_mac();
  id.add_wan_mac();
  EXPECT_EQ((std::vector<std::string>{"QOR_WAN=lo\0"s, "QOR_WAN=qorid-none0",
                                      "QOR_WAN_ID=000000", "QOR_WAN_ID=000000"}),
            paramLines(id));
}

// Under a board root the WAN interface's address is its sysfs file's: a
// short one padded with zero bytes, a long one's first six bytes, an empty
// line six zero bytes. A file missing, empty, malformed or longer than an
// address can be, or a name that is no interface's, gives no QOR_WAN_ID and
// one line on standard error.
TEST_F(CollectionTest, UnderABoardRootTheWanAddressIsItsSysfsFile) {
  struct Case {
    std::string wan;
    std::optional<std::string> file;
    std::string id, err;  // the QOR_WAN_ID, or what standard error says
  };
  const std::string eth0 = root() + "/sys/class/net/eth0/address";
  auto pairs = [](int n) {  // an address of n bytes 0xaa, as sysfs writes it
    std::string text;
    for (int i = 0; i < n; ++i) text += i == 0 ? "aa" : ":aa";
    return text + "\n";
  };
  const Case cases[] = {
      {"eth0", "0a:80:ff:01:7f:10\n", "aff80ffff17f10", ""},
      {"eth0", "02:FC:00:00:00:01", "2fffc0001", ""},
      {"eth0", "02:fc\n", "2fffc0000", ""},
      {"eth0", "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0b:2a:a1\n", "ff80028fffeff80",
       ""},
      {"eth0", "\n", "000000", ""},
      {"eth0", std::nullopt, "", "wan_mac: " + eth0 + ": No such file or directory\n"},
      {"eth0", "/", "", "wan_mac: " + eth0 + ": Is a directory\n"},
      {"eth0", "", "", "wan_mac: " + eth0 + ": empty\n"},
      {"eth0", "0a:80:ff:01:7f:1\n", "", "wan_mac: " + eth0 + ": not a hardware address\n"},
      {"eth0", "0a-80-ff-01-7f-10\n", "", "wan_mac: " + eth0 + ": not a hardware address\n"},
      {"eth0", "0a:80:ff:01:7f:10:\n", "", "wan_mac: " + eth0 + ": not a hardware address\n"},
      {"eth0", " 0a:80:ff:01:7f:10\n", "", "wan_mac: " + eth0 + ": not a hardware address\n"},
      {"eth0", pairs(32), "ffaaffaaffaaffaaffaaffaa", ""},
      {"eth0", pairs(33), "", "wan_mac: " + eth0 + ": not a hardware address\n"},
      {"../../../etc", std::nullopt, "", "wan_mac: '../../../etc': not an interface name\n"},
      {"..", std::nullopt, "", "wan_mac: '..': not an interface name\n"},
      {"abcdefghijklmnop", std::nullopt, "",
       "wan_mac: 'abcdefghijklmnop': not an interface name\n"},
  };
  ASSERT_EQ("", qorid::sys::setBoardRoot(root()));
  for (const Case& c : cases) {
    testing_fs::removePath(eth0);
    if (c.file == "/") {
      testing_fs::makeDirs(eth0);
    } else if (c.file) {
      testing_fs::writeFile(eth0, *c.file);
    }
    QorIdentifier id(nullptr);
    id.addParameter("QOR_WAN", c.wan + "\0"s);
    ::testing::internal::CaptureStderr();
    id.add_wan_mac();
    EXPECT_EQ(c.err, ::testing::internal::GetCapturedStderr()) << c.file.value_or("none");
    const std::vector<std::string> lines = paramLines(id);
    EXPECT_EQ(c.id.empty() ? 1u : 2u, lines.size());
    EXPECT_EQ(c.id.empty() ? "" : "QOR_WAN_ID=" + c.id, lines.size() == 2 ? lines[1] : "");
  }
}

// The kernel's list of interfaces is the running system's: under a board
// root a PC without the node gets no WAN from it, and the log says why.
TEST_F(CollectionTest, UnderABoardRootAPcWithoutTheNodeSearchesNoInterface) {
  put("/proc/sys/kernel/arch", "x86_64\n");
  ASSERT_EQ("", qorid::sys::setBoardRoot(root()));
  QorIdentifier id(logger());
  id.loadParams();
  EXPECT_EQ((std::vector<std::string>{"QOR_ID=64", "QOR_DESC=x86_64 PC"}), paramLines(id));
  EXPECT_TRUE(testing_log::contains(log_text::kWanNotSearched));
}

}  // namespace
