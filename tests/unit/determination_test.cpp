#include "fixture.h"

#include <climits>

using testing_log::Entry;
using testing_log::Level;

namespace {

class DeterminationTest : public SystemTest {
 protected:
  // Logs of determineIdentity() alone, without the constructor's.
  bool determine(QorIdentifier& id) {
    testing_log::clear();
    return id.determineIdentity();
  }
  static bool anyTextStartsWith(const std::string& prefix) {
    for (const std::string& t : testing_log::texts()) {
      if (t.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
};

TEST_F(DeterminationTest, DeviceTreeNodeWinsAndStopsTheSearch) {
  putNode("boardid", "  42\n");
  putNode("description", "Board X rev 2\nsecond line\n");
  setUname("5.10.0-qvk", "x86_64");
  putCpuinfo("Hardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ(42, Inspect::number(id));
  EXPECT_EQ("Board X rev 2", Inspect::name(id));
  EXPECT_TRUE(Inspect::aliases(id).empty());
  EXPECT_EQ((std::vector<std::string>{"Attempting to find alias by DT"}),
            testing_log::texts());
}

TEST_F(DeterminationTest, BoardIdContentDecidesOnlyTheNumber) {
  struct Case {
    std::string boardid;
    int number;
  };
  const Case cases[] = {
      {"  42\n", 42}, {"-5", -5}, {"abc", 0}, {"", -1}, {" \n\t", -1},
      {std::string("7\0garbage", 9), 7}, {"99999999999999999999", 2147483647},
      {"+7", 7}, {"-", 0}, {"+", 0}, {"- 5", 0}, {"--5", 0}, {"\v\f\r8", 8},
      {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {"2147483648", INT_MAX},
      // Runs longer than one read: white space, leading zeros, digits.
      {std::string(100000, ' ') + "12", 12}, {std::string(100000, '\n'), -1},
      {std::string(9000, '0') + "34x", 34}, {"-" + std::string(9000, '9'), INT_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("boardid: " + c.boardid);
    putNode("boardid", c.boardid);
    QorIdentifier id(logger());
    EXPECT_TRUE(determine(id));
    EXPECT_EQ(c.number, Inspect::number(id));
    EXPECT_EQ("Unknown", Inspect::name(id));  // no description file
    EXPECT_EQ((std::vector<std::string>{
                  "Attempting to find alias by DT",
                  "Could not open /proc/device-tree/morvane/description "}),
              testing_log::texts());
  }
}

TEST_F(DeterminationTest, DescriptionKeepsNulAndEmptyFileGivesEmptyName) {
  putNode("boardid", "1");
  putNode("description", std::string("name\0", 5));
  QorIdentifier a(logger());
  determine(a);
  EXPECT_EQ(std::string("name\0", 5), Inspect::name(a));
  putNode("description", "");
  QorIdentifier b(logger());
  determine(b);
  EXPECT_EQ("", Inspect::name(b));
}

TEST_F(DeterminationTest, DescriptionAloneNeverSurvives) {
  putNode("description", "From DT");
  setUname("5.10.0", "x86_64");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ("x86_64 PC", Inspect::name(id));
  EXPECT_EQ("Could not open /proc/device-tree/morvane/boardid ",
            testing_log::texts().at(1));
}

struct ReleaseCase {
  std::string release;
  std::string machine;
  bool result;
  int number;
  std::string name;
};

TEST_F(DeterminationTest, ReleaseAliasThenMachineWithBuiltIns) {
  const ReleaseCase cases[] = {
      {"4.19.1-qvk", "armv7l", true, 2, "Tessaron QVK"},
      {"4.19.1-a-mstart", "armv7l", true, 3, "Morvane Starter Kit"},
      {"4.19.1-QVK", "armv7l", false, -1, "Unknown"},
      {"4.19.1-Tessaron QVK", "armv7l", false, -1, "Unknown"},  // names don't count
      {"4.19.1-qvk-x", "armv7l", false, -1, "Unknown"},         // last '-' only
      {"4.19.1-qvk", "x86_64", true, 2, "Tessaron QVK"},        // alias before PC
      {"5.10.0", "x86_64", true, 64, "x86_64 PC"},
      {"5.10.0-", "x86_64", true, 64, "x86_64 PC"},
      {"", "x86_64", true, 64, "x86_64 PC"},
      {"5.10.0", "x86_64 ", false, -1, "Unknown"},
      {"5.10.0", "i686", false, -1, "Unknown"},
  };
  for (const ReleaseCase& c : cases) {
    SCOPED_TRACE(c.release + " on " + c.machine);
    setUname(c.release, c.machine);
    QorIdentifier id(logger());
    EXPECT_EQ(c.result, determine(id));
    EXPECT_EQ(c.number, Inspect::number(id));
    EXPECT_EQ(c.name, Inspect::name(id));
  }
}

TEST_F(DeterminationTest, AliasMatchLogsEveryIdentitySearchedAndCopiesAliases) {
  setUname("6.1.0-arm-mstart", "aarch64");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ((std::vector<std::string>{"mstart", "Tessaron Morvane Starter Kit"}),
            Inspect::aliases(id));
  const std::vector<std::string> expected = {
      "Attempting to find alias by DT",
      "Could not open /proc/device-tree/morvane/boardid ",
      "Could not open /proc/device-tree/morvane/description ",
      "Attempting to find alias by uname",
      "No problems with uname",
      "uts.release= 6.1.0-arm-mstart",
      "therefore possible alias of machine = 'mstart'",
      "Searching known aliases of Tessaron QVKLITE...",
      "Searching known aliases of Tessaron QVK...",
      "Searching known aliases of Morvane Starter Kit...",
      "Alias: mstart is an alias of identity: Morvane Starter Kit",
  };
  EXPECT_EQ(expected, testing_log::texts());
  for (const Entry& e : testing_log::entries()) EXPECT_EQ(Level::kDebug, e.level);
}

TEST_F(DeterminationTest, ReleaseWithoutDashLogsOnlyTheRelease) {
  setUname("5.10.0", "x86_64");
  QorIdentifier id(logger());
  determine(id);
  EXPECT_TRUE(testing_log::contains("uts.release= 5.10.0"));
  EXPECT_FALSE(anyTextStartsWith("therefore possible alias"));
  EXPECT_FALSE(anyTextStartsWith("Searching known aliases of"));
}

TEST_F(DeterminationTest, ReleaseEndingInDashGivesEmptyAlias) {
  setUname("5.10.0-", "armv7l");
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  EXPECT_TRUE(testing_log::contains("therefore possible alias of machine = ''"));
}

TEST_F(DeterminationTest, SharedAliasGoesToEarlierIdentity) {
  putKnownIds("First:10:shared\nSecond:20:shared\n");
  setUname("1.0-shared", "armv7l");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ(10, Inspect::number(id));
}

TEST_F(DeterminationTest, FailingUnameSkipsPcAndGoesToCpuinfo) {
  failUname();
  putCpuinfo("processor\t: 0\nHardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ(2, Inspect::number(id));
  const std::vector<Entry> expected = {
      {Level::kDebug, "Attempting to find alias by DT"},
      {Level::kDebug, "Could not open /proc/device-tree/morvane/boardid "},
      {Level::kDebug, "Could not open /proc/device-tree/morvane/description "},
      {Level::kDebug, "Attempting to find alias by uname"},
      {Level::kWarn, "There was a problem with uname, continuing"},
      {Level::kDebug,
       "Finding the hardware idenitity with uname failed, attempting to find "
       "hardware identity with cpuinfo"},
      {Level::kDebug, "Cpuinfo line: processor\t: 0"},
      {Level::kDebug, "Cpuinfo line: Hardware\t: Tessaron QVK"},
      {Level::kDebug, "Found Hardware field..."},
      {Level::kDebug, "Found possisble alias: 'Tessaron QVK'"},
      {Level::kDebug, "Searching known real names..."},
  };
  EXPECT_EQ(expected, testing_log::entries());
}

TEST_F(DeterminationTest, FailingUnameOnPcIsNotAPc) {
  failUname();
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  EXPECT_EQ(-1, Inspect::number(id));
}

struct CpuinfoCase {
  std::string cpuinfo;
  int number;  // -1: failure
};

TEST_F(DeterminationTest, CpuinfoHardwareLineLookup) {
  const CpuinfoCase cases[] = {
      {"Hardware\t: Tessaron QVK\n", 2},
      {"Hardware\t: Tessaron Morvane Starter Kit\n", 3},  // alias search
      {"Hardware\t: qvklite", 1},                          // no final newline
      {"hardware\t: Tessaron QVK\n", -1},                  // lower case
      {" Hardware\t: Tessaron QVK\n", -1},                 // blank before it
      {"Hardware\t: Tessaron QVK \n", -1},                 // no trimming
      {"Hardware\t: \n", -1},                              // empty value
      {"Hardware\t: nope\nHardware\t: Tessaron QVK\n", -1},  // only the first
      {"Hardware:xqvk\n", 2},   // the character after ':' is always skipped
      {"Hardware:\n", -1},      // ':' is the last character
      {"Hardware", -1},         // no ':' at all
      {"HardwareTessaron QVK\n", -1},
      {"Hardware\t:", -1},
      {"HardwareX: qvk\n", 2},  // eight characters are what count
      {"Hardwar: qvk\n", -1},   // seven are not enough
      {"", -1},
  };
  for (const CpuinfoCase& c : cases) {
    SCOPED_TRACE("cpuinfo: " + c.cpuinfo);
    putCpuinfo(c.cpuinfo);
    QorIdentifier id(logger());
    EXPECT_EQ(c.number != -1, determine(id));
    EXPECT_EQ(c.number, Inspect::number(id));
  }
}

TEST_F(DeterminationTest, NamesAreSearchedBeforeAliases) {
  putKnownIds("One:1:Three\nTwo:2\nThree:3\n");
  putCpuinfo("Hardware\t: Three\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ(3, Inspect::number(id));
  EXPECT_FALSE(testing_log::contains("Searching known aliases..."));
}

TEST_F(DeterminationTest, UnmatchedHardwareValueLogsBothErrors) {
  putCpuinfo("Hardware\t: 50% %s board\nHardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  const std::vector<Entry>& all = testing_log::entries();
  ASSERT_GE(all.size(), 6u);
  const std::vector<Entry> tail(all.end() - 6, all.end());
  const std::vector<Entry> expected = {
      {Level::kDebug, "Found Hardware field..."},
      {Level::kDebug, "Found possisble alias: '50% %s board'"},
      {Level::kDebug, "Searching known real names..."},
      {Level::kDebug, "Searching known aliases..."},
      {Level::kError, "The possible alias is not a real name or alias of any identity"},
      {Level::kError, "Could not find hardware identity with uname or through /proc/cpuinfo"},
  };
  EXPECT_EQ(expected, tail);
  EXPECT_FALSE(testing_log::contains("Cpuinfo line: Hardware\t: Tessaron QVK"));
}

TEST_F(DeterminationTest, MissingCpuinfoAndNoHardwareLineEndInFailure) {
  {
    QorIdentifier id(logger());
    EXPECT_FALSE(determine(id));
    const std::vector<Entry>& all = testing_log::entries();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ((Entry{Level::kError,
                     "Could not open the /proc/cpuinfo file, is the proc filesystem mounted"}),
              all[all.size() - 2]);
    EXPECT_EQ((Entry{Level::kError,
                     "Could not find hardware identity with uname or through /proc/cpuinfo"}),
              all.back());
  }
  {
    putCpuinfo("processor\t: 0\nmodel name\t: x\n");
    QorIdentifier id(logger());
    EXPECT_FALSE(determine(id));
    int errors = 0;
    for (const Entry& e : testing_log::entries()) errors += e.level == Level::kError;
    EXPECT_EQ(1, errors);
    EXPECT_TRUE(testing_log::contains("Cpuinfo line: model name\t: x"));
  }
}

TEST_F(DeterminationTest, DirectCallAfterSuccessWarnsAndRedetermines) {
  setUname("5.10.0-qvk", "armv7l");
  QorIdentifier id(logger());
  ASSERT_TRUE(determine(id));
  ASSERT_TRUE(determine(id));
  EXPECT_EQ((Entry{Level::kWarn,
                   "Calling lib/program is trying to determine the identity...but it "
                   "was already successfully determined"}),
            testing_log::entries().at(0));
  EXPECT_EQ("Attempting to find alias by DT", testing_log::entries().at(1).text);

  // The board changes under it: the failure keeps the earlier aliases.
  setUname("5.10.0", "armv7l");
  EXPECT_FALSE(determine(id));
  EXPECT_FALSE(Inspect::determined(id));
  EXPECT_EQ(-1, Inspect::number(id));
  EXPECT_EQ("Unknown", Inspect::name(id));
  EXPECT_EQ((std::vector<std::string>{"qvk"}), Inspect::aliases(id));
}

}  // namespace
