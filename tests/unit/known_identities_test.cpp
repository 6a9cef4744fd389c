#include "fixture.h"
#include "known_identities.h"

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

class KnownIdentitiesTest : public SystemTest {};

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
  const std::vector<qorid::KnownIdentity> table = {
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
  EXPECT_EQ(nullptr, qorid::findByName(std::vector<qorid::KnownIdentity>{}, "A"));
}

TEST(KnownIdentityLookup, BuiltInRowsAndThePcStandApart) {
  const std::vector<qorid::KnownIdentity>& rows = qorid::builtInIdentities();
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(&rows[1], qorid::findByAlias(rows, "qvk"));
  EXPECT_EQ(&rows[2], qorid::findByAlias(rows, "Tessaron Morvane Starter Kit"));
  // The PC is no row: no lookup in the table can give it.
  EXPECT_EQ(nullptr, qorid::findByName(rows, qorid::kPcName));
  for (const qorid::KnownIdentity& row : rows) EXPECT_NE(qorid::kPcNumber, row.number);
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

TEST_F(KnownIdentitiesTest, MissingFileGivesBuiltInTableAndItsMessages) {
  QorIdentifier id(logger());
  const auto& known = Inspect::known(id);
  ASSERT_EQ(3u, known.size());
  EXPECT_EQ("Tessaron QVKLITE", known[0].name);
  EXPECT_EQ(1, known[0].number);
  EXPECT_EQ((std::vector<std::string>{"qvklite"}), known[0].aliases);
  EXPECT_EQ("Tessaron QVK", known[1].name);
  EXPECT_EQ(2, known[1].number);
  EXPECT_EQ((std::vector<std::string>{"qvk"}), known[1].aliases);
  EXPECT_EQ("Morvane Starter Kit", known[2].name);
  EXPECT_EQ(3, known[2].number);
  EXPECT_EQ((std::vector<std::string>{"mstart", "Tessaron Morvane Starter Kit"}),
            known[2].aliases);
  const std::vector<Entry> expected = {
      {Level::kDebug, "Creating QorIdentifier..."},
      {Level::kDebug, "Finding list of known identities..."},
      {Level::kWarn, "No /etc/known_qor_ids, using default known hardware identities"},
      {Level::kDebug, "Known Hardware description: Tessaron QVKLITE = 1"},
      {Level::kDebug, "Known Hardware description: Tessaron QVK = 2"},
      {Level::kDebug, "Known Hardware description: Morvane Starter Kit = 3"},
  };
  EXPECT_EQ(expected, testing_log::entries());
}

TEST_F(KnownIdentitiesTest, FileReplacesBuiltInsAndKeepsOrderAndDuplicates) {
  putKnownIds("Board A:5:a1\nbad line\nBoard B:5:b1:b2\nlast:-3");  // no final LF
  QorIdentifier id(logger());
  const auto& known = Inspect::known(id);
  ASSERT_EQ(3u, known.size());
  EXPECT_EQ("Board A", known[0].name);
  EXPECT_EQ("Board B", known[1].name);
  EXPECT_EQ(5, known[1].number);
  EXPECT_EQ("last", known[2].name);
  EXPECT_EQ(-3, known[2].number);
  const std::vector<Entry> expected = {
      {Level::kDebug, "Creating QorIdentifier..."},
      {Level::kDebug, "Finding list of known identities..."},
      {Level::kDebug, "Opened file /etc/known_qor_ids, now reading known hardware identites"},
      {Level::kDebug, "Found hardware identity: Board number 5(Board A)"},
      {Level::kWarn, "The line:'bad line" + kTooFew},
      {Level::kDebug, "Found hardware identity: Board number 5(Board B)"},
      {Level::kDebug, "Found hardware identity: Board number -3(last)"},
  };
  EXPECT_EQ(expected, testing_log::entries());
}

TEST_F(KnownIdentitiesTest, EmptyFileGivesEmptyTableWithoutWarning) {
  putKnownIds("");
  QorIdentifier id(logger());
  EXPECT_TRUE(Inspect::known(id).empty());
  for (const Entry& e : testing_log::entries()) {
    EXPECT_NE(Level::kWarn, e.level) << e.text;
  }
}

TEST_F(KnownIdentitiesTest, CrLfFileKeepsCarriageReturnInLastField) {
  putKnownIds("a:1:b\r\nc:2\r\n");
  QorIdentifier id(logger());
  const auto& known = Inspect::known(id);
  ASSERT_EQ(2u, known.size());
  EXPECT_EQ((std::vector<std::string>{"b\r"}), known[0].aliases);
  EXPECT_EQ(2, known[1].number);
  EXPECT_TRUE(known[1].aliases.empty());
}

TEST_F(KnownIdentitiesTest, DirectoryInPlaceOfFileGivesBuiltIns) {
  testing_fs::makeDirs(root() + "/etc/known_qor_ids");
  QorIdentifier id(logger());
  EXPECT_EQ(3u, Inspect::known(id).size());
  EXPECT_TRUE(testing_log::contains(
      "No /etc/known_qor_ids, using default known hardware identities"));
}

}  // namespace
