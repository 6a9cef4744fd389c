#include "lib/known_identities.h"
#include "tests/support/fixture.h"

#include <sys/stat.h>

using testing_log::Entry;
using testing_log::Level;

namespace {

const std::string kTooFew =
    "' is not valid known board identification description line (it must "
    "contain at least two colon separated values)";
const std::string kBadNumber =
    "' is not valid known board identification description line (the second "
    "value needs to be a board number)";

// The table is read through the lookups that use it: a kernel release
// whose alias is `alias`, or a Hardware line whose value is `name`.
class KnownIdentitiesTest : public SystemTest {
 protected:
  HardwareIdentity byAlias(const std::string& alias) {
    setUname("1.0-" + alias, "armv7l");
    putCpuinfo("");
    return QorIdentifier(nullptr).getIdentity();
  }
  HardwareIdentity byName(const std::string& name) {
    setUname("1.0", "armv7l");
    putCpuinfo("Hardware\t: " + name + "\n");
    return QorIdentifier(nullptr).getIdentity();
  }
  static void expectRow(const HardwareIdentity& want, const HardwareIdentity& got) {
    EXPECT_EQ(want.name, got.name);
    EXPECT_EQ(want.number, got.number);
    EXPECT_EQ(want.aliases, got.aliases);
  }
};

struct LineCase {
  std::string line;
  bool accepted;
  std::string name;  // when accepted
  int number;
  std::vector<std::string> aliases;
  std::string message;  // the one log line expected
};

const std::string kFound = "Found hardware identity: Board number ";

// Every shape of line: accepted with its fields, or rejected with the one
// warning that names the reason.
const LineCase kLineCases[] = {
    {"Morvane Starter Kit:3:mstart:Tessaron Morvane Starter Kit", true,
     "Morvane Starter Kit", 3, {"mstart", "Tessaron Morvane Starter Kit"},
     kFound + "3(Morvane Starter Kit)"},
    {"Tessaron QVK:2:qvk", true, "Tessaron QVK", 2, {"qvk"},
     "Found hardware identity: Board number 2(Tessaron QVK)"},
    {"a::7:::b:", true, "a", 7, {"b"}, kFound + "7(a)"},
    {"a: 7 :b", true, "a", 7, {"b"}, kFound + " 7 (a)"},
    {"a:7x", true, "a", 7, {}, kFound + "7x(a)"},
    {"a:+07", true, "a", 7, {}, kFound + "+07(a)"},
    {"a:010", true, "a", 10, {}, kFound + "010(a)"},
    {"a:-1", true, "a", -1, {}, kFound + "-1(a)"},
    {"a:\t-2147483648", true, "a", -2147483647 - 1, {}, kFound + "\t-2147483648(a)"},
    {"a:2147483647", true, "a", 2147483647, {}, kFound + "2147483647(a)"},
    {"#a:1", true, "#a", 1, {}, kFound + "1(#a)"},
    {"a:1:b\r", true, "a", 1, {"b\r"}, kFound + "1(a)"},
    {"a:1\r", true, "a", 1, {}, kFound + "1\r(a)"},
    {"100%s:5:%n", true, "100%s", 5, {"%n"}, kFound + "5(100%s)"},
    {"a:x7", false, "", 0, {}, "The line:'a:x7" + kBadNumber},
    {"a:-", false, "", 0, {}, "The line:'a:-" + kBadNumber},
    {"a:+-1", false, "", 0, {}, "The line:'a:+-1" + kBadNumber},
    {"a:   ", false, "", 0, {}, "The line:'a:   " + kBadNumber},
    {"a:2147483648", false, "", 0, {}, "The line:'a:2147483648" + kBadNumber},
    {"a:-2147483649", false, "", 0, {}, "The line:'a:-2147483649" + kBadNumber},
    {"a:99999999999999999999999", false, "", 0, {},
     "The line:'a:99999999999999999999999" + kBadNumber},
    {"a", false, "", 0, {}, "The line:'a" + kTooFew},
    {"a:", false, "", 0, {}, "The line:'a:" + kTooFew},
    {":::a:::", false, "", 0, {}, "The line:':::a:::" + kTooFew},
    {"", false, "", 0, {}, "The line:'" + kTooFew},
    {"# a", false, "", 0, {}, "The line:'# a" + kTooFew},
};

TEST(KnownIdentityLine, ParsesEveryShapeIntoFieldsOrAReason) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE("line: " + c.line);
    const qorid::ParsedLine parsed = qorid::parseKnownIdentityLine(c.line);
    if (!c.accepted) {
      const bool tooFew = c.message.find(kTooFew) != std::string::npos;
      EXPECT_EQ(tooFew ? qorid::LineVerdict::kTooFewFields : qorid::LineVerdict::kBadNumber,
                parsed.verdict);
      continue;
    }
    EXPECT_EQ(qorid::LineVerdict::kAccepted, parsed.verdict);
    EXPECT_EQ(c.name, parsed.name);
    EXPECT_EQ(c.number, parsed.number);
    EXPECT_EQ(c.aliases, parsed.aliases);
    // The message shows the number field as written.
    EXPECT_EQ(c.message, kFound + parsed.numberText + "(" + c.name + ")");
  }
}

TEST(KnownIdentityLookup, FirstRowInTableOrderWinsAndNamesAreNotAliases) {
  const std::vector<HardwareIdentity> table = {
      {"A", {"x", "shared"}, 1},
      {"B", {"shared", "A"}, 2},
      {"A", {}, 3},
  };
  EXPECT_EQ(&table[0], qorid::findByName(table, "A"));
  EXPECT_EQ(&table[1], qorid::findByName(table, "B"));
  EXPECT_EQ(&table[0], qorid::findByAlias(table, "shared"));
  EXPECT_EQ(&table[1], qorid::findByAlias(table, "A"));
  EXPECT_EQ(nullptr, qorid::findByAlias(table, "B"));
  EXPECT_EQ(nullptr, qorid::findByName(table, "a"));
  EXPECT_EQ(nullptr, qorid::findByAlias(table, ""));
  EXPECT_EQ(nullptr, qorid::findByName(std::vector<HardwareIdentity>{}, "A"));
}

TEST(KnownIdentityLookup, BuiltInRowsAndThePcStandApart) {
  const std::vector<HardwareIdentity>& rows = qorid::builtInIdentities();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(&rows[1], qorid::findByAlias(rows, "qvk"));
  EXPECT_EQ(&rows[2], qorid::findByAlias(rows, "Tessaron Morvane Starter Kit"));
  // The PC is no row: no lookup in the table can give it.
  EXPECT_EQ(nullptr, qorid::findByName(rows, qorid::kPcName));
  for (const HardwareIdentity& row : rows) EXPECT_NE(qorid::kPcNumber, row.number);
}

TEST_F(KnownIdentitiesTest, ParsesLinesOfEveryShape) {
  QorIdentifier id(logger());
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE("line: " + c.line);
    testing_log::clear();
    HardwareIdentity identity;
    EXPECT_EQ(c.accepted, id.parseIdentityLine(identity, c.line));
    if (c.accepted) {
      EXPECT_EQ(c.name, identity.name);
      EXPECT_EQ(c.number, identity.number);
      EXPECT_EQ(c.aliases, identity.aliases);
    }
    ASSERT_EQ(1u, testing_log::entries().size());
    EXPECT_EQ((Entry{c.accepted ? Level::kDebug : Level::kWarn, c.message}),
              testing_log::entries()[0]);
  }
}

TEST_F(KnownIdentitiesTest, ParseAppendsToExistingAliases) {
  QorIdentifier id(logger());
  HardwareIdentity identity;
  identity.aliases = {"old"};
  ASSERT_TRUE(id.parseIdentityLine(identity, "n:1:new"));
  EXPECT_EQ((std::vector<std::string>{"old", "new"}), identity.aliases);
}

TEST_F(KnownIdentitiesTest, MissingFileGivesBuiltInTableAndItsWarning) {
  QorIdentifier id(logger());
  EXPECT_EQ(1u, testing_log::count(Level::kWarn));
  EXPECT_TRUE(testing_log::contains(
      "No /etc/known_qor_ids, using default known hardware identities"));
  expectRow({"Tessaron QVKLITE", {"qvklite"}, 1}, byAlias("qvklite"));
  expectRow({"Tessaron QVK", {"qvk"}, 2}, byAlias("qvk"));
  expectRow({"Morvane Starter Kit", {"mstart", "Tessaron Morvane Starter Kit"}, 3},
            byAlias("mstart"));
  expectRow({"Unknown", {}, -1}, byAlias("Tessaron QVK"));  // names are no aliases
}

TEST_F(KnownIdentitiesTest, FileReplacesBuiltInsAndKeepsOrderAndDuplicates) {
  putKnownIds("Board A:5:a1\nbad line\nBoard B:5:b1:b2\nlast:-3");  // no final LF
  QorIdentifier id(logger());
  EXPECT_EQ(1u, testing_log::count(Level::kWarn));
  EXPECT_TRUE(testing_log::contains("The line:'bad line" + kTooFew));
  expectRow({"Board A", {"a1"}, 5}, byAlias("a1"));
  expectRow({"Board B", {"b1", "b2"}, 5}, byAlias("b2"));
  expectRow({"last", {}, -3}, byName("last"));
  expectRow({"Unknown", {}, -1}, byAlias("qvk"));  // no built-in rows
}

TEST_F(KnownIdentitiesTest, EmptyFileGivesEmptyTableWithoutWarning) {
  putKnownIds("");
  QorIdentifier id(logger());
  EXPECT_EQ(0u, testing_log::count(Level::kWarn));
  expectRow({"Unknown", {}, -1}, byAlias("qvk"));
  expectRow({"Unknown", {}, -1}, byName("Tessaron QVK"));
}

TEST_F(KnownIdentitiesTest, CrLfFileKeepsCarriageReturnInLastField) {
  putKnownIds("a:1:b\r\nc:2\r\n");
  expectRow({"a", {"b\r"}, 1}, byAlias("b\r"));
  expectRow({"c", {}, 2}, byName("c"));
}

TEST_F(KnownIdentitiesTest, DirectoryInPlaceOfFileGivesBuiltIns) {
  testing_fs::makeDirs(root() + "/etc/known_qor_ids");
  QorIdentifier id(logger());
  EXPECT_TRUE(testing_log::contains(
      "No /etc/known_qor_ids, using default known hardware identities"));
  expectRow({"Tessaron QVK", {"qvk"}, 2}, byAlias("qvk"));
}

}  // namespace
