#include "fixture.h"

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

TEST_F(KnownIdentitiesTest, ParsesLinesOfEveryShape) {
  const std::string found = "Found hardware identity: Board number ";
  const LineCase cases[] = {
      {"Morvane Starter Kit:3:mstart:Tessaron Morvane Starter Kit", true,
       "Morvane Starter Kit", 3, {"mstart", "Tessaron Morvane Starter Kit"},
       found + "3(Morvane Starter Kit)"},
      {"Tessaron QVK:2:qvk", true, "Tessaron QVK", 2, {"qvk"},
       "Found hardware identity: Board number 2(Tessaron QVK)"},
      {"a::7:::b:", true, "a", 7, {"b"}, found + "7(a)"},
      {"a: 7 :b", true, "a", 7, {"b"}, found + " 7 (a)"},
      {"a:7x", true, "a", 7, {}, found + "7x(a)"},
      {"a:+07", true, "a", 7, {}, found + "+07(a)"},
      {"a:010", true, "a", 10, {}, found + "010(a)"},
      {"a:-1", true, "a", -1, {}, found + "-1(a)"},
      {"a:\t-2147483648", true, "a", -2147483647 - 1, {}, found + "\t-2147483648(a)"},
      {"a:2147483647", true, "a", 2147483647, {}, found + "2147483647(a)"},
      {"#a:1", true, "#a", 1, {}, found + "1(#a)"},
      {"a:1:b\r", true, "a", 1, {"b\r"}, found + "1(a)"},
      {"a:1\r", true, "a", 1, {}, found + "1\r(a)"},
      {"100%s:5:%n", true, "100%s", 5, {"%n"}, found + "5(100%s)"},
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
  QorIdentifier id(logger());
  for (const LineCase& c : cases) {
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
