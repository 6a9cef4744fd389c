#include "common/text_file.h"
#include "lib/dt_walk.h"
#include "lib/system.h"
#include "tests/support/fixture.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>

using namespace std::string_literals;

namespace {

// Every visit of a walk: the path, the typeflag, the level and the base,
// and for what stat(2) could look at its inode.
std::vector<std::string> gVisits;
int recordVisit(const char* path, const struct stat* sb, int typeflag, struct FTW* ftwbuf) {
  std::string visit = std::string(path) + " " + std::to_string(typeflag) + " " +
                      std::to_string(ftwbuf->level) + " " + std::to_string(ftwbuf->base);
  if (typeflag == FTW_F || typeflag == FTW_D || typeflag == FTW_DNR) {
    visit += " " + std::to_string(sb->st_ino);
  }
  gVisits.push_back(visit);
  return 0;
}

// The walk's rules as walkEntry and EnteredDirectories give them to a walk
// of its own: links followed, a link to nothing is nothing, a directory met
// again through a link is not entered again.
TEST(DtWalk, WalkEntryFollowsLinksAndADirectoryIsEnteredOnce) {
  const testing_fs::TempDir dir;
  const std::string d = dir.path();
  testing_fs::writeFile(d + "/sub/prop", "v");
  ASSERT_EQ(0, ::symlink("sub", (d + "/sub-link").c_str()));
  ASSERT_EQ(0, ::symlink("prop", (d + "/sub/prop-link").c_str()));
  ASSERT_EQ(0, ::symlink("nowhere", (d + "/gone").c_str()));
  ASSERT_EQ(0, ::mkfifo((d + "/pipe").c_str(), 0600));
  struct stat sb;
  using qorid::WalkEntry;
  EXPECT_EQ(WalkEntry::kFile, qorid::walkEntry(d + "/sub/prop-link", sb));
  EXPECT_EQ(WalkEntry::kFile, qorid::walkEntry(d + "/pipe", sb));
  EXPECT_EQ(WalkEntry::kNothing, qorid::walkEntry(d + "/gone", sb));
  qorid::EnteredDirectories entered;
  ASSERT_EQ(WalkEntry::kDirectory, qorid::walkEntry(d + "/sub", sb));
  EXPECT_TRUE(entered.enter(sb));
  ASSERT_EQ(WalkEntry::kDirectory, qorid::walkEntry(d + "/sub-link", sb));
  EXPECT_FALSE(entered.enter(sb));
}

class DtParserTest : public SystemTest {
 protected:
  std::string node() const { return root() + "/node"; }
  void prop(const std::string& relative, const std::string& content) {
    testing_fs::writeFile(node() + "/" + relative, content);
  }
  int walk(QorIdentifier& id, const std::string& dir) {
    std::vector<char> path(dir.begin(), dir.end());
    path.push_back('\0');
    return QorDTParser::parse(&id, path.data());
  }
  // Walk order follows the directory; compare as a sorted list.
  static std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
  }
};

TEST(DtWalk, PropertyNamesAndWhichEntriesArePropertiesByByte) {
  const std::pair<std::string, std::string> names[] = {
      {"serial-number", "QOR_SERIAL-NUMBER"}, {"board-rev,2", "QOR_BOARD-REV,2"},
      {"Name", "QOR_NAME"},                   {"#a\xe9z", "QOR_#A\xe9Z"},
      {"", "QOR_"},
  };
  for (const auto& [file, parameter] : names) {
    EXPECT_EQ(parameter, qorid::propertyParameterName(file.c_str())) << file;
  }
  EXPECT_TRUE(qorid::isProperty(FTW_F, "wan"));
  EXPECT_TRUE(qorid::isProperty(FTW_F, "NAME"));
  EXPECT_FALSE(qorid::isProperty(FTW_F, "name"));
  for (int typeflag : {FTW_D, FTW_DNR, FTW_NS, FTW_SL, FTW_SLN}) {
    EXPECT_FALSE(qorid::isProperty(typeflag, "wan")) << typeflag;
  }
}

TEST_F(DtParserTest, EachFileGivesOneUpperCasedParameterWithItsFirstLine) {
  prop("name", "morvane\0"s);
  prop("Name", "kept");
  prop("NAME", "kept too");
  prop("board-rev,2", "B\0"s);
  prop("wan", "eth1\0"s);
  prop("compatible", "vendor,board\0vendor,family\0"s);
  prop("cells", "\x01\x02\x0a\x03"s);
  prop("lines", "first\nsecond\n");
  prop("empty", "");
  prop("caf\xc3\xa9#x", "v");
  prop("sub/name", "sub\0"s);
  prop("sub/compatible", "vendor,sub\0"s);
  prop("sub/deeper/status", "okay\0"s);
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  const std::vector<std::string> expected = {
      "QOR_NAME=kept",
      "QOR_NAME=kept too",
      "QOR_BOARD-REV,2=B\0"s,
      "QOR_WAN=eth1\0"s,
      "QOR_COMPATIBLE=vendor,board\0vendor,family\0"s,
      "QOR_CELLS=\x01\x02"s,
      "QOR_LINES=first",
      "QOR_EMPTY=",
      "QOR_CAF\xc3\xa9#X=v",
      "QOR_COMPATIBLE=vendor,sub\0"s,
      "QOR_STATUS=okay\0"s,
  };
  EXPECT_EQ(sorted(expected), sorted(paramLines(id)));
  EXPECT_EQ(&id, QorDTParser::mQOrId);
}

TEST_F(DtParserTest, WalkIsDepthFirstOneSubtreeAtATime) {
  // Entries come in the directory's own order, so only the grouping is fixed.
  prop("d1/a1", "1");
  prop("d1/a2", "2");
  prop("d1/e/a3", "3");
  prop("d2/b1", "4");
  prop("d2/f/b2", "5");
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  std::string groups;
  for (const qor_param& p : id.getParams()) groups += p.name[4];
  ASSERT_EQ(5u, groups.size());
  EXPECT_TRUE(groups == "AAABB" || groups == "BBAAA") << groups;
}

TEST_F(DtParserTest, NodeWithOnlyItsNameGivesNothing) {
  prop("name", "n\0"s);
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  EXPECT_TRUE(id.getParams().empty());
}

TEST_F(DtParserTest, FileAsRootGivesItsOwnParameter) {
  prop("serial-number", "S123\n");
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node() + "/serial-number"));
  EXPECT_EQ((std::vector<std::string>{"QOR_SERIAL-NUMBER=S123"}), paramLines(id));
}

TEST_F(DtParserTest, MissingRootFailsAndAddsNothing) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_BEFORE", "1");
  EXPECT_EQ(-1, walk(id, node() + "/absent"));
  EXPECT_EQ((std::vector<std::string>{"QOR_BEFORE=1"}), paramLines(id));
}

TEST_F(DtParserTest, LinksAreFollowedDanglingOnesAndFifosGiveNoHang) {
  prop("target", "linked\n");
  ASSERT_EQ(0, ::symlink((node() + "/target").c_str(), (node() + "/alias").c_str()));
  ASSERT_EQ(0, ::symlink((node() + "/gone").c_str(), (node() + "/dangling").c_str()));
  ASSERT_EQ(0, ::mkfifo((node() + "/pipe").c_str(), 0600));
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  EXPECT_EQ(sorted({"QOR_ALIAS=linked", "QOR_PIPE=", "QOR_TARGET=linked"}),
            sorted(paramLines(id)));
}

TEST_F(DtParserTest, FileThatCannotBeOpenedStillGivesAnEmptyValue) {
  // A socket is walked as a file, but open() refuses it, even for root.
  testing_fs::makeDirs(node());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  struct sockaddr_un address {};
  address.sun_family = AF_UNIX;
  const std::string path = node() + "/sock";
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  ::close(fd);
  EXPECT_EQ((std::vector<std::string>{"QOR_SOCK="}), paramLines(id));
}

TEST_F(DtParserTest, EveryByteAllowedInAFileNameKeepsItsValue) {
  // Only a-z change; every other byte, control and high ones included, stays.
  std::vector<std::string> expected;
  for (int b = 1; b < 256; ++b) {
    if (b == '/' || b == '.') continue;  // not a file name of its own
    const std::string name(1, static_cast<char>(b));
    prop("x" + name + "y", name);
    const char upper = (b >= 'a' && b <= 'z') ? static_cast<char>(b - 'a' + 'A')
                                              : static_cast<char>(b);
    expected.push_back("QOR_X" + std::string(1, upper) + "Y=" + (b == '\n' ? "" : name));
  }
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  EXPECT_EQ(sorted(expected), sorted(paramLines(id)));
}

TEST_F(DtParserTest, ValuesUpTo1MiBAreReadWholeLongerOnesCutAndLogged) {
  const std::string big(100000, 'v');
  const std::string mib(qorid::kReadLimit, 'm');
  prop("big", big);
  prop("split", std::string(4095, 'a') + "\n" + "rest");
  prop("whole", mib);
  prop("over", mib + "o");
  QorIdentifier id(logger());
  testing_log::clear();
  EXPECT_EQ(0, walk(id, node()));
  EXPECT_EQ(sorted({"QOR_BIG=" + big, "QOR_SPLIT=" + std::string(4095, 'a'),
                    "QOR_WHOLE=" + mib, "QOR_OVER=" + mib}),
            sorted(paramLines(id)));
  EXPECT_EQ((std::vector<testing_log::Entry>{
                {testing_log::Level::kWarn, qorid::cutNotice(node() + "/over")}}),
            testing_log::entries());
}

// Under a board root the walk is the module's own: at the same paths it
// visits what nftw visits (links within the tree, a directory met again, a
// link to nothing, a FIFO, a file or a dangling link as the root), in the
// same order, and returns the same; a link loop ends both alike.
TEST_F(DtParserTest, WalkWithinTheBoardRootGivesWhatNftwGives) {
  prop("a", "1");
  prop("sub/b", "2");
  prop("sub/deeper/c", "3");
  prop("other/d", "4");
  testing_fs::makeFifo(node() + "/pipe");
  const std::pair<const char*, const char*> links[] = {
      {"sub-link", "sub"},          {"sub/deeper/up", "../.."}, {"b-link", "sub/b"},
      {"climb", "../node/other"}, {"gone", "nowhere"},
  };
  for (const auto& [name, target] : links) {
    ASSERT_EQ(0, ::symlink(target, (node() + "/" + name).c_str())) << name;
  }
  testing_fs::makeDirs(root() + "/looping");
  ASSERT_EQ(0, ::symlink("ring", (root() + "/looping/ring").c_str()));
  const std::string starts[] = {node(),          node() + "/",          node() + "/a",
                                node() + "/gone", node() + "/absent", root() + "/looping"};
  std::vector<std::tuple<std::string, int, std::vector<std::string>>> byNftw;
  for (const std::string& start : starts) {
    gVisits.clear();
    const int result = qorid::walkTree(start.c_str(), recordVisit);
    byNftw.emplace_back(start, result, gVisits);
  }
  // The root, three folders, seven more entries: the folders met again left out.
  ASSERT_EQ(11u, std::get<2>(byNftw[0]).size());
  ASSERT_EQ(-1, std::get<1>(byNftw[5]));           // ELOOP, as for stat(2)
  ASSERT_EQ("", qorid::sys::setBoardRoot(root()));
  for (const auto& [start, result, visits] : byNftw) {
    gVisits.clear();
    EXPECT_EQ(result, qorid::walkTree(start.c_str(), recordVisit)) << start;
    EXPECT_EQ(visits, gVisits) << start;
  }
}

// Under a board root a link that points absolutely resolves within it, as
// the board has it: the system's own file of that path never stands in.
TEST_F(DtParserTest, AbsoluteLinkUnderTheBoardRootIsTheBoardsFile) {
  prop("sub/b", "2");
  put("/etc/hostname", "the board's\n");
  ASSERT_EQ(0, ::symlink("/node/sub/b", (node() + "/abs").c_str()));
  ASSERT_EQ(0, ::symlink("/etc/hostname", (node() + "/host").c_str()));
  ASSERT_EQ(0, ::symlink("/etc/passwd", (node() + "/system-only").c_str()));
  ASSERT_EQ("", qorid::sys::setBoardRoot(root()));
  QorIdentifier id(nullptr);
  EXPECT_EQ(0, walk(id, node()));
  EXPECT_EQ(sorted({"QOR_ABS=2", "QOR_B=2", "QOR_HOST=the board's"}), sorted(paramLines(id)));
}

// The walk keeps parameters up to 16 MiB exactly, each costing its name,
// its value and 64 bytes: sixteen of 1,048,500 bytes and a QOR_WAN of 9
// fill it to the byte, so in whatever order the walk meets them the
// seventeenth is the one left out, with its WARN. QOR_WAN is kept even past
// the budget.
TEST_F(DtParserTest, TheWalkKeepsSixteenMiBExactlyAndTheWanBeyond) {
  const std::string value(1048500, 'v');
  for (int i = 0; i < 17; ++i) {
    prop("p" + std::to_string(i + 10), value);
  }
  prop("wan", "eth012345");
  ASSERT_EQ(qorid::kWalkBudget, 16 * qorid::walkCost("QOR_P10", value) +
                                    qorid::walkCost("QOR_WAN", "eth012345"));
  QorIdentifier id(logger());
  testing_log::clear();
  EXPECT_EQ(0, walk(id, node()));
  const std::vector<qor_param>& params = id.getParams();
  ASSERT_EQ(17u, params.size());
  EXPECT_EQ(1, std::count_if(params.begin(), params.end(),
                             [](const qor_param& p) { return p.name == "QOR_WAN"; }));
  ASSERT_EQ(1u, testing_log::entries().size());
  EXPECT_EQ(testing_log::Level::kWarn, testing_log::entries()[0].level);
  EXPECT_EQ(0u, testing_log::entries()[0].text.find("Left out of the parameters: " + node() + "/p"));

  // One byte more of a value, and the WAN no longer fits: it is kept all the same.
  prop("p10", value + "v");
  QorIdentifier past(logger());
  EXPECT_EQ(0, walk(past, node()));
  const std::vector<qor_param>& kept = past.getParams();
  EXPECT_EQ(1, std::count_if(kept.begin(), kept.end(),
                             [](const qor_param& p) { return p.name == "QOR_WAN"; }));
}

}  // namespace
