#include "common/text_file.h"
#include "tests/support/fixture.h"
#include "tests/support/log_texts.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>

using namespace std::string_literals;

using testing_log::Entry;
using testing_log::Level;

namespace {

bool warned(const std::string& text) {
  const std::vector<Entry>& all = testing_log::entries();
  return std::count(all.begin(), all.end(), Entry{Level::kWarn, text}) == 1;
}

class DeterminationTest : public SystemTest {
 protected:
  // Logs of determineIdentity() alone, without the constructor's.
  bool determine(QorIdentifier& id) {
    testing_log::clear();
    return id.determineIdentity();
  }
  // What a determined identifier holds: the getters' cached values.
  static void expectHeld(QorIdentifier& id, int number, const std::string& name,
                         const std::vector<std::string>& aliases = {}) {
    const size_t logged = testing_log::entries().size();
    const HardwareIdentity held = id.getIdentity();
    EXPECT_EQ(number, held.number);
    EXPECT_EQ(name, held.name);
    EXPECT_EQ(aliases, held.aliases);
    EXPECT_EQ(logged, testing_log::entries().size()) << "determined again";
  }
};

TEST_F(DeterminationTest, DeviceTreeNodeWinsAndStopsTheSearch) {
  putNode("boardid", "  42\n");
  putNode("description", "Board X rev 2\nsecond line\n");
  setUname("5.10.0-qvk", "x86_64");
  putCpuinfo("Hardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_FALSE(testing_log::containsPrefix(log_text::kAliasByUname));
  EXPECT_FALSE(testing_log::containsPrefix("Cpuinfo"));
  expectHeld(id, 42, "Board X rev 2");
}

// How boardid's bytes make a number is text_file_test.cpp's; here, that
// whatever they hold, the node decides, without a name from description.
TEST_F(DeterminationTest, BoardIdContentDecidesOnlyTheNumber) {
  const std::pair<std::string, int> cases[] = {{"  42\n", 42}, {"abc", 0}, {"", -1}};
  for (const auto& [boardid, number] : cases) {
    SCOPED_TRACE("boardid: " + boardid);
    putNode("boardid", boardid);
    QorIdentifier id(logger());
    EXPECT_TRUE(determine(id));
    EXPECT_TRUE(testing_log::contains("Could not open /proc/device-tree/morvane/description "));
    EXPECT_FALSE(testing_log::containsPrefix(log_text::kAliasByUname));
    expectHeld(id, number, "Unknown");
  }
}

TEST_F(DeterminationTest, DescriptionKeepsNulAndEmptyFileGivesEmptyName) {
  putNode("boardid", "1");
  putNode("description", std::string("name\0", 5));
  QorIdentifier a(logger());
  determine(a);
  expectHeld(a, 1, std::string("name\0", 5));
  putNode("description", "");
  QorIdentifier b(logger());
  determine(b);
  expectHeld(b, 1, "");
}

TEST_F(DeterminationTest, DescriptionAloneNeverSurvives) {
  putNode("description", "From DT");
  setUname("5.10.0", "x86_64");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_TRUE(testing_log::contains("Could not open /proc/device-tree/morvane/boardid "));
  expectHeld(id, 64, "x86_64 PC");
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
    const HardwareIdentity held = id.getIdentity();
    EXPECT_EQ(c.number, held.number);
    EXPECT_EQ(c.name, held.name);
  }
}

TEST_F(DeterminationTest, AliasMatchLogsEveryIdentitySearchedAndCopiesAliases) {
  setUname("6.1.0-arm-mstart", "aarch64");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  // Every identity up to the match is searched, and the search says so.
  const std::vector<std::string> texts = testing_log::texts();
  const std::vector<std::string> tail(texts.end() - 4, texts.end());
  EXPECT_EQ((std::vector<std::string>{
                "Searching known aliases of Tessaron QVKLITE...",
                "Searching known aliases of Tessaron QVK...",
                "Searching known aliases of Morvane Starter Kit...",
                "Alias: mstart is an alias of identity: Morvane Starter Kit"}),
            tail);
  EXPECT_TRUE(testing_log::contains("therefore possible alias of machine = 'mstart'"));
  EXPECT_EQ(0u, testing_log::count(Level::kWarn) + testing_log::count(Level::kError));
  expectHeld(id, 3, "Morvane Starter Kit", {"mstart", "Tessaron Morvane Starter Kit"});
}

TEST_F(DeterminationTest, ReleaseWithoutDashLogsOnlyTheRelease) {
  setUname("5.10.0", "x86_64");
  QorIdentifier id(logger());
  determine(id);
  EXPECT_TRUE(testing_log::contains("uts.release= 5.10.0"));
  EXPECT_FALSE(testing_log::containsPrefix("therefore possible alias"));
  EXPECT_FALSE(testing_log::containsPrefix(log_text::kSearchingAliases));
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
  expectHeld(id, 10, "First", {"shared"});
}

TEST_F(DeterminationTest, FailingUnameSkipsPcAndGoesToCpuinfo) {
  failUname();
  putCpuinfo("processor\t: 0\nHardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_EQ(1u, testing_log::count(Level::kWarn));
  EXPECT_TRUE(testing_log::contains("There was a problem with uname, continuing"));
  EXPECT_FALSE(testing_log::containsPrefix("uts.release"));
  EXPECT_FALSE(testing_log::contains(log_text::kSearchingAliases));  // found by name
  expectHeld(id, 2, "Tessaron QVK", {"qvk"});
}

TEST_F(DeterminationTest, FailingUnameOnPcIsNotAPc) {
  failUname();
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  EXPECT_EQ(-1, id.getHardwareNumber());
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
    EXPECT_EQ(c.number, id.getHardwareNumber());
  }
}

// A Hardware line that the 1 MiB limit cuts is a part of a line, not the
// line: neither logged nor looked up, though its start names a row.
TEST_F(DeterminationTest, ACpuinfoLineCutAtTheLimitIsNeitherLoggedNorLookedUp) {
  putKnownIds("Tessaron:9\n");
  const std::string line = "Hardware\t: Tessaron QVK";
  // The limit leaves "Hardware\t: Tessaron" of it.
  const std::string padding(qorid::kReadLimit - 1 - line.size() + 4, '#');
  putCpuinfo(padding + "\n" + line + "\n");
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  EXPECT_FALSE(testing_log::containsPrefix("Cpuinfo line: Hardware"));
  EXPECT_TRUE(warned(qorid::cutNotice(root() + "/proc/cpuinfo")));
  putCpuinfo(std::string(padding.size() - 5, '#') + "\n" + line + "\n");  // ends at the limit
  QorIdentifier whole(logger());
  EXPECT_FALSE(determine(whole));
  EXPECT_TRUE(testing_log::contains("Cpuinfo line: " + line));
}

// A boardid or description longer than is read says so at WARN; the node
// still decides.
TEST_F(DeterminationTest, ABoardIdOrDescriptionCutAtTheLimitIsSaid) {
  const std::tuple<std::string, std::string, int> cases[] = {
      {"boardid", std::string(qorid::kReadLimit, '0') + "7", 0},  // the digits run past it
      {"description", std::string(qorid::kReadLimit + 1, 'd'), 7}};
  for (const auto& [property, content, number] : cases) {
    SCOPED_TRACE(property);
    testing_fs::removePath(root() + "/proc");
    putNode("boardid", "7");
    putNode(property, content);
    QorIdentifier id(logger());
    EXPECT_TRUE(determine(id));
    EXPECT_TRUE(warned(qorid::cutNotice(root() + "/proc/device-tree/morvane/" + property)));
    EXPECT_EQ(number, id.getHardwareNumber());
  }
}

TEST_F(DeterminationTest, NamesAreSearchedBeforeAliases) {
  putKnownIds("One:1:Three\nTwo:2\nThree:3\n");
  putCpuinfo("Hardware\t: Three\n");
  QorIdentifier id(logger());
  EXPECT_TRUE(determine(id));
  EXPECT_FALSE(testing_log::contains(log_text::kSearchingAliases));
  expectHeld(id, 3, "Three");
}

TEST_F(DeterminationTest, UnmatchedHardwareValueLogsBothErrors) {
  putCpuinfo("Hardware\t: 50% %s board\nHardware\t: Tessaron QVK\n");
  QorIdentifier id(logger());
  EXPECT_FALSE(determine(id));
  EXPECT_TRUE(testing_log::contains("Found possisble alias: '50% %s board'"));
  EXPECT_TRUE(testing_log::contains(log_text::kSearchingAliases));
  const std::vector<Entry>& all = testing_log::entries();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ((std::vector<Entry>{
                {Level::kError, log_text::kNotAnAlias},
                {Level::kError,
                 "Could not find hardware identity with uname or through /proc/cpuinfo"}}),
            std::vector<Entry>(all.end() - 2, all.end()));
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

// The names the device tree gives a board at its root are tried last: the
// same board without those files logs the same, but for what they add
// before the final failure (which stays when none of them matches).
struct BoardNamesCase {
  std::string what, boardid, release, machine, cpuinfo;
  std::optional<std::string> compatible, model;
  int number;
  std::vector<Entry> added;
};

TEST_F(DeterminationTest, BoardNamesComeLastAndEarlierNamesWin) {
  putKnownIds("SoC Board:20:brcm,bcm2711\nPi 4 Carrier:12:raspberrypi,4-model-b\n"
              "Raspberry Pi 4 Model B:21\nAlias First:30:twin\ntwin:31\n"
              "Same Name:40:acme,same\nSame Name:41:acme,same\n");
  const std::map<int, HardwareIdentity> rows = {
      {12, {"Pi 4 Carrier", {"raspberrypi,4-model-b"}, 12}},
      {20, {"SoC Board", {"brcm,bcm2711"}, 20}},
      {21, {"Raspberry Pi 4 Model B", {}, 21}},
      {31, {"twin", {}, 31}},
      {40, {"Same Name", {"acme,same"}, 40}}};
  const std::string zero = "a link to /dev/zero", dt = root() + "/proc/device-tree/";
  const Entry compatible{Level::kDebug, "Reading the board's compatible strings from " +
                                            dt + "compatible"};
  const Entry model{Level::kDebug, "Reading the board's model from " + dt + "model"};
  auto trying = [](const std::string& n) {
    return Entry{Level::kDebug, "Trying the board's own name: '" + n + "'"};
  };
  auto named = [](const std::string& n, const std::string& how, const std::string& row) {
    return Entry{Level::kDebug, "'" + n + "' is " + how + " of identity: " + row};
  };
  const Entry failed{Level::kError,
                     "Could not find hardware identity with uname or through /proc/cpuinfo"};
  const std::string pi = "raspberrypi,4-model-b", soc = "brcm,bcm2711";
  const std::string piModel = "Raspberry Pi 4 Model B";
  const BoardNamesCase cases[] = {
      {"first string beats a later one", "", "6.1.0", "aarch64", "", pi + '\0' + soc + '\0',
       piModel + '\0', 12, {compatible, trying(pi), named(pi, "an alias", "Pi 4 Carrier")}},
      {"a later string, before the model", "", "6.1.0", "aarch64", "",
       "acme,x\0"s + soc, piModel, 20,
       {compatible, trying("acme,x"), trying(soc), named(soc, "an alias", "SoC Board")}},
      {"model only", "", "6.1.0", "aarch64", "", std::nullopt, piModel + '\0', 21,
       {model, trying(piModel), named(piModel, "the real name", piModel)}},
      {"name before alias", "", "6.1.0", "aarch64", "", std::nullopt, "twin\0"s, 31,
       {model, trying("twin"), named("twin", "the real name", "twin")}},
      {"no match; empty strings and the model's second string are no names", "", "6.1.0",
       "aarch64", "", "\0acme,x\0\0"s, "Acme\0"s + pi, -1,
       {compatible, trying("acme,x"), model, trying("Acme"), failed}},
      {"node", "7", "6.1.0", "aarch64", "", pi, std::nullopt, 7, {}},
      {"PC", "", "6.1.0", "x86_64", "", pi, std::nullopt, 64, {}},
      {"release alias", "", "6.1.0-twin", "aarch64", "", pi, std::nullopt, 30, {}},
      {"unmatched Hardware line", "", "6.1.0", "armv7l", "Hardware\t: BCM2835\n", pi,
       std::nullopt, 12, {compatible, trying(pi), named(pi, "an alias", "Pi 4 Carrier")}},
      {"compatible of /dev/zero", "", "6.1.0", "aarch64", "", zero, piModel, 21,
       {compatible, {Level::kWarn, "Read only the first 1048576 bytes of " + dt +
                                       "compatible, the rest is ignored"}, model,
        trying(piModel), named(piModel, "the real name", piModel)}},
      {"empty compatible", "", "6.1.0", "aarch64", "", "", std::nullopt, -1,
       {compatible, failed}},
      {"two rows of one name, by compatible: the first", "", "6.1.0", "aarch64", "",
       "Same Name"s, std::nullopt, 40,
       {compatible, trying("Same Name"), named("Same Name", "the real name", "Same Name")}},
      {"two rows of one name and alias, by the model's alias: the first", "", "6.1.0",
       "aarch64", "", std::nullopt, "acme,same"s, 40,
       {model, trying("acme,same"), named("acme,same", "an alias", "Same Name")}},
  };
  for (const BoardNamesCase& c : cases) {
    SCOPED_TRACE(c.what);
    testing_fs::removePath(root() + "/proc");
    if (!c.boardid.empty()) putNode("boardid", c.boardid);
    if (!c.cpuinfo.empty()) putCpuinfo(c.cpuinfo);
    setUname(c.release, c.machine);
    QorIdentifier without(logger());
    const bool decided = determine(without);
    std::vector<Entry> want = testing_log::entries();
    if (!decided) want.pop_back();
    want.insert(want.end(), c.added.begin(), c.added.end());

    if (c.compatible == zero) {
      testing_fs::makeDirs(dt);
      std::filesystem::create_symlink("/dev/zero", dt + "compatible");
    } else if (c.compatible) {
      put("/proc/device-tree/compatible", *c.compatible);
    }
    if (c.model) put("/proc/device-tree/model", *c.model);
    QorIdentifier id(logger());
    EXPECT_EQ(c.number != -1, determine(id));
    EXPECT_EQ(want, testing_log::entries());
    if (c.number == -1) continue;
    // Held as the row's identity; where the board's names are not read, as
    // without them.
    const HardwareIdentity held = decided ? without.getIdentity() : rows.at(c.number);
    expectHeld(id, c.number, held.name, held.aliases);
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
  EXPECT_EQ(log_text::kAliasByDt, testing_log::entries().at(1).text);

  // The board changes under it: the failure keeps the earlier aliases, and
  // the next getter determines again.
  setUname("5.10.0", "armv7l");
  EXPECT_FALSE(determine(id));
  testing_log::clear();
  const HardwareIdentity held = id.getIdentity();
  EXPECT_TRUE(testing_log::contains(log_text::kAliasByDt));
  EXPECT_EQ(-1, held.number);
  EXPECT_EQ("Unknown", held.name);
  EXPECT_EQ((std::vector<std::string>{"qvk"}), held.aliases);
}

}  // namespace
