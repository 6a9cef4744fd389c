// The bounded reader of the system's files, and the seam that names them.
#include "common/descriptor.h"
#include "common/full_io.h"
#include "common/text_file.h"
#include "lib/system.h"
#include "tests/support/files.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace std::string_literals;

namespace {

std::optional<int> intOf(const std::string& path) {
  qorid::TextFile file(path);
  int value = -99;
  return file.readInt(value) ? std::optional<int>(value) : std::nullopt;
}

// A boardid is read as `stream >> int` reads it; none when only white space.
TEST(TextFile, ReadIntAsFormattedExtractionDoes) {
  const testing_fs::TempDir dir;
  const std::string path = dir.path() + "/boardid";
  const std::pair<std::string, std::optional<int>> cases[] = {
      {"  42\n", 42}, {"-5", -5}, {"abc", 0}, {"", std::nullopt}, {" \n\t", std::nullopt},
      {"7\0garbage"s, 7}, {"99999999999999999999", INT_MAX},
      {"+7", 7}, {"-", 0}, {"+", 0}, {"- 5", 0}, {"--5", 0}, {"\v\f\r8", 8},
      {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {"2147483648", INT_MAX},
      // Runs longer than one read: white space, leading zeros, digits.
      {std::string(100000, ' ') + "12", 12}, {std::string(100000, '\n'), std::nullopt},
      {std::string(9000, '0') + "34x", 34}, {"-" + std::string(9000, '9'), INT_MIN},
  };
  for (const auto& [content, number] : cases) {
    testing_fs::writeFile(path, content);
    EXPECT_EQ(number, intOf(path)) << content.substr(0, 40);
  }
}

// readChunk hands out every byte (a last newline or none, NULs) up to the
// limit, and cut() tells a file that held more.
TEST(TextFile, ReadChunkCopiesBytesAsTheyAreUpToTheLimit) {
  const testing_fs::TempDir dir;
  const std::string path = dir.path() + "/file";
  const std::tuple<std::string, size_t, std::string, bool> cases[] = {
      {"a\nb", 100, "a\nb", false}, {"a\nb\n", 100, "a\nb\n", false},
      {"x\0y"s, 100, "x\0y"s, false}, {"abcd", 4, "abcd", false}, {"abcde", 4, "abcd", true},
      {std::string(9000, 'z'), 8193, std::string(8193, 'z'), true}, {"", 100, "", false},
  };
  for (const auto& [content, limit, copied, cut] : cases) {
    testing_fs::writeFile(path, content);
    qorid::TextFile file(path, limit);
    std::string all, chunk;
    while (file.readChunk(chunk)) {
      all += chunk;
    }
    EXPECT_EQ(copied, all) << content.substr(0, 20);
    EXPECT_EQ(cut, file.cut()) << content.substr(0, 20);
  }
}

// Lines as std::getline gives them, up to the limit: a line the limit cuts
// ends there, and cut() says so; a file of exactly the limit is whole.
TEST(TextFile, ReadLineUpToTheLimit) {
  const testing_fs::TempDir dir;
  const std::string path = dir.path() + "/file";
  struct Case {
    std::string content;
    size_t limit;
    std::vector<std::string> lines;
    bool cut;
  };
  const Case cases[] = {
      {"a\nb", 100, {"a", "b"}, false},
      {"a\n\nb\n", 100, {"a", "", "b"}, false},
      {"x\0y\n"s, 100, {"x\0y"s}, false},
      {std::string(5000, 'l') + "\nz", 100000, {std::string(5000, 'l'), "z"}, false},
      {"abcd", 4, {"abcd"}, false},
      {"abcde", 4, {"abcd"}, true},
      {"ab\ncd\nef", 6, {"ab", "cd"}, true},
      {"ab\ncd\n", 6, {"ab", "cd"}, false},
  };
  for (const Case& c : cases) {
    testing_fs::writeFile(path, c.content);
    qorid::TextFile file(path, c.limit);
    std::vector<std::string> lines;
    for (std::string line; file.readLine(line);) lines.push_back(line);
    EXPECT_EQ(c.lines, lines) << c.content.substr(0, 40);
    EXPECT_EQ(c.cut, file.cut()) << c.content.substr(0, 40);
  }
}

TEST(TextFile, DirectoriesAndMissingFilesDoNotOpenFifosReadEmpty) {
  const testing_fs::TempDir dir;
  testing_fs::makeFifo(dir.path() + "/fifo");
  EXPECT_FALSE(qorid::TextFile(dir.path()).isOpen());
  EXPECT_FALSE(qorid::TextFile(dir.path() + "/none").isOpen());
  qorid::TextFile fifo(dir.path() + "/fifo");
  std::string line;
  EXPECT_TRUE(fifo.isOpen());
  EXPECT_FALSE(fifo.readLine(line));  // no writer: nothing, at once
  EXPECT_EQ("Read only the first 1048576 bytes of /x, the rest is ignored",
            qorid::cutNotice("/x"));
}

// A signal whose handler does not ask for restarted calls interrupts a read
// that waits: the read is made again, and every byte arrives.
extern "C" void onAlarm(int /*signal*/) {}

TEST(FullIo, AReadInterruptedByASignalStillGetsEveryByte) {
  int fds[2];
  ASSERT_EQ(0, ::pipe(fds));
  const pid_t writer = ::fork();
  if (writer == 0) {
    ::close(fds[0]);
    for (const char* part : {"first ", "second ", "third"}) {
      ::usleep(30000);
      (void)!::write(fds[1], part, std::strlen(part));
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  struct sigaction action {};
  action.sa_handler = onAlarm;  // no SA_RESTART
  struct sigaction before {};
  ASSERT_EQ(0, ::sigaction(SIGALRM, &action, &before));
  const struct itimerval every5ms = {{0, 5000}, {0, 5000}};
  ASSERT_EQ(0, ::setitimer(ITIMER_REAL, &every5ms, nullptr));
  std::string got(64, '\0');
  const ssize_t n = qorid::readFull(fds[0], got.data(), got.size());
  const struct itimerval off = {};
  ::setitimer(ITIMER_REAL, &off, nullptr);
  ::sigaction(SIGALRM, &before, nullptr);
  ::close(fds[0]);
  ::waitpid(writer, nullptr, 0);
  ASSERT_EQ(18, n);
  EXPECT_EQ("first second third", got.substr(0, 18));
}

// The seam: a root before every fixed path, a chosen uname or its failure.
TEST(System, FixedPathsFollowTheRootAndUnameTheTest) {
  namespace sys = qorid::sys;
  sys::setRootForTesting("/r");
  EXPECT_EQ("/r/etc/known_qor_ids", sys::knownIdsPath());
  EXPECT_EQ("/r/proc/device-tree/morvane/description", sys::descriptionPath());
  EXPECT_EQ("/r/proc/cpuinfo", sys::cpuinfoPath());
  struct utsname uts {};
  sys::setUnameForTesting(std::string(100, 'r'), "armv7l");
  ASSERT_EQ(0, sys::unameInfo(&uts));
  EXPECT_EQ(std::string(sizeof uts.release - 1, 'r'), uts.release);  // cut to fit
  EXPECT_STREQ("armv7l", uts.machine);
  sys::failUnameForTesting();
  EXPECT_GT(0, sys::unameInfo(&uts));
  sys::resetForTesting();
  EXPECT_EQ("/proc/device-tree/morvane/boardid", sys::boardIdPath());
  EXPECT_EQ(0, sys::unameInfo(&uts));
}

// The board root: every fixed path under it (a trailing slash dropped), ""
// back to the system's own; a root that is no folder refused with why, the
// setting left as it was.
TEST(System, BoardRootPrefixesEveryPathAndRefusesWhatIsNoFolder) {
  namespace sys = qorid::sys;
  const testing_fs::TempDir dir;
  const std::string d = dir.path();
  testing_fs::writeFile(d + "/file", "");
  using Path = std::string (*)();
  const std::pair<Path, std::string> paths[] = {
      {sys::knownIdsPath, "/etc/known_qor_ids"},
      {sys::deviceTreeNodePath, "/proc/device-tree/morvane"},
      {sys::boardIdPath, "/proc/device-tree/morvane/boardid"},
      {sys::descriptionPath, "/proc/device-tree/morvane/description"},
      {sys::cpuinfoPath, "/proc/cpuinfo"},
      {sys::compatiblePath, "/proc/device-tree/compatible"},
      {sys::modelPath, "/proc/device-tree/model"},
      {sys::procSelfPath, "/proc/self"},
      {sys::kernelReleasePath, "/proc/sys/kernel/osrelease"},
      {sys::machinePath, "/proc/sys/kernel/arch"},
      {[] { return sys::interfaceAddressPath("eth0"); }, "/sys/class/net/eth0/address"},
  };
  ASSERT_EQ("", sys::setBoardRoot(d + "//"));
  EXPECT_TRUE(sys::underBoardRoot());
  for (const auto& [path, fixed] : paths) {
    EXPECT_EQ(d + fixed, path()) << fixed;
  }
  const std::pair<std::string, std::string> refused[] = {
      {d + "/none", "No such file or directory"},
      {d + "/file", "Not a directory"},
      {d + "/file/", "Not a directory"},
  };
  for (const auto& [root, why] : refused) {
    EXPECT_EQ(why, sys::setBoardRoot(root)) << root;
    EXPECT_EQ(d + "/proc/cpuinfo", sys::cpuinfoPath()) << root;
  }
  ASSERT_EQ("", sys::setBoardRoot(""));
  EXPECT_FALSE(sys::underBoardRoot());
  for (const auto& [path, fixed] : paths) {
    EXPECT_EQ(fixed, path()) << fixed;
  }
}

// Under a board root a link resolves within it: one that points absolutely
// starts at the root, one that climbs out with ../.. stops at it, and a file
// that only the system has never stands in. A path outside the root is
// refused. The same by the kernel and by the library's own walk.
TEST(System, LinksUnderTheBoardRootResolveWithinIt) {
  namespace sys = qorid::sys;
  const testing_fs::TempDir dir;
  const std::string d = dir.path();
  testing_fs::writeFile(d + "/etc/passwd", "the board's\n");
  testing_fs::makeDirs(d + "/proc/device-tree");
  const std::pair<const char*, const char*> links[] = {
      {"absolute", "/etc/passwd"},
      {"climbing", "../../../../../../../../../../etc/passwd"},
      {"system-only", "/etc/group"},
      {"tree", "/proc/device-tree"},
      {"through", "tree/../../etc/./passwd"},
      {"loop", "/proc/loop"},
      {"to-a-file", "/etc/passwd/x"},
  };
  for (const auto& [name, target] : links) {
    ASSERT_EQ(0, ::symlink(target, (d + "/proc/" + name).c_str())) << name;
  }
  for (const bool kernel : {true, false}) {
    if (!kernel) {
      sys::resolveWithoutOpenat2ForTesting();
    }
    ASSERT_EQ("", sys::setBoardRoot(d));
    const std::tuple<std::string, std::string, int> reads[] = {
        {"absolute", "the board's", 0}, {"climbing", "the board's", 0},
        {"through", "the board's", 0},  {"system-only", "", ENOENT},
        {"loop", "", ELOOP},            {"to-a-file", "", ENOTDIR},
    };
    for (const auto& [name, line, error] : reads) {
      qorid::TextFile file(d + "/proc/" + name, qorid::kReadLimit, sys::openForReading);
      std::string got;
      file.readLine(got);
      EXPECT_EQ(line, got) << name << (kernel ? "" : ", own walk");
      EXPECT_EQ(error, file.openError()) << name << (kernel ? "" : ", own walk");
    }
    struct stat sb {};
    ASSERT_EQ(0, sys::lookAt(d + "/proc/tree", sb, true));
    EXPECT_TRUE(S_ISDIR(sb.st_mode));
    ASSERT_EQ(0, sys::lookAt(d + "/proc/tree", sb, false));
    EXPECT_TRUE(S_ISLNK(sb.st_mode));
    const qorid::Descriptor tree(sys::openDirectory(d + "/proc/tree/"));
    EXPECT_TRUE(tree.isOpen());
    errno = 0;
    EXPECT_EQ(-1, sys::openForReading("/etc/passwd"));
    EXPECT_EQ(EXDEV, errno);
  }
  sys::resetForTesting();
}

}  // namespace
