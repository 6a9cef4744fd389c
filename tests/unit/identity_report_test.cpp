#include "tests/support/fixture.h"
#include "tests/support/log_texts.h"

using testing_log::Entry;
using testing_log::Level;

namespace {

class IdentityReportTest : public SystemTest {};

const char kFailure[] =
    "Could not find hardware identity with uname or through /proc/cpuinfo";

std::vector<Entry> lastEntries(size_t n) {
  const std::vector<Entry>& all = testing_log::entries();
  return std::vector<Entry>(all.end() - static_cast<long>(std::min(n, all.size())),
                            all.end());
}

TEST_F(IdentityReportTest, UnknownBoardReportsAtErrorAndRetriesEveryCall) {
  QorIdentifier id(logger());
  testing_log::clear();
  EXPECT_EQ(-1, id.getHardwareNumber());
  const std::vector<Entry> report = {
      {Level::kError, log_text::kUnknown},
      {Level::kError, "Real name: Unknown"},
      {Level::kError, "Hardware number: -1"},
  };
  EXPECT_EQ(report, lastEntries(3));
  EXPECT_EQ("Unknown", id.getHardwareName());
  EXPECT_EQ(report, lastEntries(3));
  EXPECT_EQ(std::vector<std::string>{}, id.getAliases());
  EXPECT_EQ(report, lastEntries(3));
  EXPECT_EQ(-1, id.getHardwareNumber());
  EXPECT_EQ(4u, testing_log::count(kFailure));
  EXPECT_EQ(4u, testing_log::count(log_text::kUnknown));
  // All three at once from one attempt.
  const HardwareIdentity all = id.getIdentity();
  EXPECT_EQ(5u, testing_log::count(kFailure));
  EXPECT_EQ(report, lastEntries(3));
  EXPECT_EQ("Unknown", all.name);
  EXPECT_EQ(-1, all.number);
  EXPECT_TRUE(all.aliases.empty());
}

TEST_F(IdentityReportTest, AliasesGetterDeterminesFirstLikeTheOthers) {
  setUname("5.10.0-qvk", "armv7l");
  QorIdentifier id(logger());
  testing_log::clear();
  EXPECT_EQ(std::vector<std::string>{"qvk"}, id.getAliases());
  EXPECT_EQ("Aliases: qvk ", testing_log::texts().back());
  EXPECT_EQ(2, id.getHardwareNumber());
}

TEST_F(IdentityReportTest, SuccessIsCachedAndReportedOnceAtDebug) {
  putCpuinfo("Hardware\t: Tessaron Morvane Starter Kit\n");
  QorIdentifier id(logger());
  testing_log::clear();
  EXPECT_EQ("Morvane Starter Kit", id.getHardwareName());
  const std::vector<Entry> report = {
      {Level::kDebug, log_text::kFullIdentity},
      {Level::kDebug, "Real name: Morvane Starter Kit"},
      {Level::kDebug, "Hardware number: 3"},
      {Level::kDebug, "Aliases: mstart Tessaron Morvane Starter Kit "},
  };
  EXPECT_EQ(report, lastEntries(4));
  const size_t logged = testing_log::entries().size();
  putCpuinfo("Hardware\t: Tessaron QVK\n");  // not looked at again
  EXPECT_EQ(3, id.getHardwareNumber());
  EXPECT_EQ("Morvane Starter Kit", id.getHardwareName());
  EXPECT_EQ((std::vector<std::string>{"mstart", "Tessaron Morvane Starter Kit"}),
            id.getAliases());
  EXPECT_EQ(3, id.getIdentity().number);
  EXPECT_EQ(logged, testing_log::entries().size());
}

TEST_F(IdentityReportTest, PcAndDeviceTreeReportsEndWithBareAliases) {
  setUname("5.10.0", "x86_64");
  QorIdentifier pc(logger());
  EXPECT_EQ(64, pc.getHardwareNumber());
  EXPECT_EQ((std::vector<std::string>{log_text::kFullIdentity, "Real name: x86_64 PC",
                                      "Hardware number: 64", "Aliases: "}),
            [] {
              auto t = testing_log::texts();
              return std::vector<std::string>(t.end() - 4, t.end());
            }());

  putNode("boardid", "-7");
  putNode("description", "Spaced  Name ");
  QorIdentifier dt(logger());
  testing_log::clear();
  EXPECT_EQ(-7, dt.getHardwareNumber());
  EXPECT_EQ((std::vector<Entry>{{Level::kDebug, log_text::kFullIdentity},
                                {Level::kDebug, "Real name: Spaced  Name "},
                                {Level::kDebug, "Hardware number: -7"},
                                {Level::kDebug, "Aliases: "}}),
            lastEntries(4));
}

TEST_F(IdentityReportTest, LogFullIdChangesNothingAndUsesOneLevel) {
  QorIdentifier id(logger());
  testing_log::clear();
  id.logFullId(log4cpp::Priority::WARN);
  EXPECT_EQ((std::vector<Entry>{{Level::kWarn, log_text::kUnknown},
                                {Level::kWarn, "Real name: Unknown"},
                                {Level::kWarn, "Hardware number: -1"}}),
            testing_log::entries());
  testing_log::clear();
  id.logFullId(log4cpp::Priority::WARN);  // still unknown: it determined nothing
  EXPECT_EQ(3u, testing_log::count(Level::kWarn));
}

}  // namespace
