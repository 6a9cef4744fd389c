#include "fixture.h"
#include "log_texts.h"

#include <algorithm>

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

}  // namespace
