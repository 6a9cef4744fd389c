#include "tests/support/fixture.h"
#include "tests/support/log_texts.h"

using testing_log::Entry;
using testing_log::Level;

namespace {

class IdentifierTest : public SystemTest {};

// What a new object holds shows in its report, which determines nothing;
// its aliases in a PC's identity, which takes none of its own.
TEST_F(IdentifierTest, NewObjectStartsUnknownAndLogsCreationFirst) {
  setUname("5.10.0", "x86_64");
  QorIdentifier id(logger());
  EXPECT_EQ((Entry{Level::kDebug, log_text::kCreating}), testing_log::entries().at(0));
  testing_log::clear();
  id.logFullId(log4cpp::Priority::DEBUG);
  EXPECT_EQ((std::vector<std::string>{log_text::kUnknown, "Real name: Unknown",
                                      "Hardware number: -1"}),
            testing_log::texts());
  EXPECT_TRUE(id.getParams().empty());
  EXPECT_TRUE(id.getAliases().empty());
}

TEST_F(IdentifierTest, ConstructorDoesNotDetermineTheIdentity) {
  putNode("boardid", "7\n");
  QorIdentifier id(logger());
  EXPECT_FALSE(testing_log::contains(log_text::kAliasByDt));
  testing_log::clear();
  EXPECT_EQ(7, id.getHardwareNumber());  // the first getter does
  EXPECT_TRUE(testing_log::contains(log_text::kAliasByDt));
}

TEST_F(IdentifierTest, EveryLevelValueReachesItsLoggerMethod) {
  struct Case {
    int value;
    Level expected;
  };
  const Case cases[] = {
      {0, Level::kFatal},   {100, Level::kDebug}, {200, Level::kDebug},
      {300, Level::kError}, {400, Level::kWarn},  {500, Level::kDebug},
      {600, Level::kInfo},  {700, Level::kDebug}, {800, Level::kDebug},
      {350, Level::kDebug}, {-1, Level::kDebug},  {12345, Level::kDebug},
  };
  QorIdentifier id(logger());
  for (const Case& c : cases) {
    testing_log::clear();
    id.tryLog("m", static_cast<log4cpp::Priority::PriorityLevel>(c.value));
    ASSERT_EQ(1u, testing_log::entries().size()) << c.value;
    EXPECT_EQ(c.expected, testing_log::entries()[0].level) << c.value;
  }
  testing_log::clear();
  id.tryLog("plain");
  EXPECT_EQ((Entry{Level::kDebug, "plain"}), testing_log::entries().at(0));
}

TEST_F(IdentifierTest, PercentInMessageIsLoggedLiterally) {
  QorIdentifier id(logger());
  const char* messages[] = {"%s%s%s%n", "100% done %d", "%", "%%"};
  for (const char* message : messages) {
    testing_log::clear();
    id.tryLog(message, log4cpp::Priority::ERROR);
    EXPECT_EQ(message, testing_log::entries().at(0).text);
  }
}

TEST_F(IdentifierTest, NullLoggerDeterminesSilently) {
  setUname("5.10.0-qvk", "armv7l");
  QorIdentifier id(nullptr);
  EXPECT_EQ(2, id.getHardwareNumber());
  EXPECT_EQ("Tessaron QVK", id.getHardwareName());
  id.tryLog("anything", log4cpp::Priority::FATAL);
  EXPECT_TRUE(testing_log::entries().empty());
}

}  // namespace
