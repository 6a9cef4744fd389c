#include "tests/support/fixture.h"
#include "tests/support/log_texts.h"
#include "tool/output.h"
#include "tool/shell_export.h"
#include "tool/tool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <sstream>

using namespace std::string_literals;

namespace {

// Holds a mutable argv as main() gets it.
class Argv {
 public:
  explicit Argv(std::vector<std::string> args) : mStorage(std::move(args)) {
    for (std::string& s : mStorage) mPointers.push_back(&s[0]);
    mPointers.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(mStorage.size()); }
  char** argv() { return mPointers.data(); }
  std::vector<std::string> rest(int from) const {
    std::vector<std::string> out;
    for (int i = from; i < argc(); ++i) out.push_back(mPointers[i]);
    return out;
  }

 private:
  std::vector<std::string> mStorage;
  std::vector<char*> mPointers;
};

struct OptionCase {
  std::vector<std::string> args;
  bool verbose, list, exec, script, help;
  std::vector<std::string> rest;
};

TEST(ToolOptions, ParsesShortLongPrefixedAndUnknownOptions) {
  const OptionCase cases[] = {
      {{"qorid"}, false, false, false, false, false, {}},
      {{"qorid", "-v"}, true, false, false, false, false, {}},
      {{"qorid", "--verb"}, true, false, false, false, false, {}},
      {{"qorid", "--ver"}, true, false, false, false, false, {}},  // no other --ver...
      {{"qorid", "--l"}, false, true, false, false, false, {}},
      {{"qorid", "--e", "env"}, false, false, true, false, false, {"env"}},
      {{"qorid", "-s", "run.sh", "a"}, false, false, true, true, false, {"run.sh", "a"}},
      {{"qorid", "--script"}, false, false, true, true, false, {}},
      {{"qorid", "-e", "-s", "x.sh"}, false, false, true, true, false, {"x.sh"}},
      {{"qorid", "-s", "-e", "x.sh"}, false, false, true, true, false, {"x.sh"}},
      {{"qorid", "-vl"}, true, true, false, false, false, {}},
      {{"qorid", "-l", "word"}, false, true, false, false, false, {"word"}},
      {{"qorid", "-e", "ls", "-l"}, false, true, true, false, false, {"ls"}},
      {{"qorid", "-e", "--", "ls", "-l"}, false, false, true, false, false, {"ls", "-l"}},
      {{"qorid", "-e", "ls", "-z", "y"}, false, false, true, false, false, {"ls", "y"}},
      {{"qorid", "--ex", "ls"}, false, false, true, false, false, {"ls"}},  // not --export
      {{"qorid", "--bogus", "-v"}, true, false, false, false, false, {}},
      {{"qorid", "-l", "-h"}, false, true, false, false, true, {}},
      {{"qorid", "-h", "-l"}, false, false, false, false, true, {}},
      {{"qorid", "--he"}, false, false, false, false, true, {}},
  };
  ::testing::internal::CaptureStderr();  // getopt_long's own diagnostics
  for (const OptionCase& c : cases) {
    Argv a(c.args);
    const qorid::ToolOptions o = qorid::parseOptions(a.argc(), a.argv());
    std::string trace;
    for (const auto& s : c.args) trace += s + " ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(c.verbose, o.verbose);
    EXPECT_EQ(c.list, o.list);
    EXPECT_EQ(c.exec, o.exec);
    EXPECT_EQ(c.script, o.script);
    EXPECT_EQ(c.help, o.help);
    if (!c.help) {
      EXPECT_EQ(c.rest, a.rest(o.firstArgument));
    }
  }
  // --json and -j, which no other long option's prefix can be taken for;
  // --export from --exp on ("--e" and "--ex" are --exec's).
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"qorid", "-j"}, {"qorid", "--j", "-v"}, {"qorid", "-lj"}}) {
    Argv a(args);
    EXPECT_TRUE(qorid::parseOptions(a.argc(), a.argv()).json) << args[1];
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"qorid", "-x"}, {"qorid", "--exp"}, {"qorid", "-vx", "--", "--ex"}}) {
    Argv a(args);
    const qorid::ToolOptions o = qorid::parseOptions(a.argc(), a.argv());
    EXPECT_TRUE(o.exportParams && !o.exec) << args[1];
  }
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, diagnostics.find("bogus"));
  EXPECT_NE(std::string::npos, diagnostics.find("-- 'z'"));
}

// --root takes the next word, whatever it is, or what follows '='; the
// last one counts. Without its folder the command line is refused; it has
// no letter, so that one after --exec's command is still dropped.
TEST(ToolOptions, RootTakesItsFolderAndTheLastOneCounts) {
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> root;
    bool missing;
    std::vector<std::string> rest;
  };
  const Case cases[] = {
      {{"qorid", "--root", "/b"}, "/b", false, {}},
      {{"qorid", "--root=/b", "-v"}, "/b", false, {}},
      {{"qorid", "--r", "/a", "-l", "--root", "/b"}, "/b", false, {}},
      {{"qorid", "--root", "-v"}, "-v", false, {}},
      {{"qorid", "--root="}, "", false, {}},
      {{"qorid", "-v", "--root"}, std::nullopt, true, {}},
      {{"qorid", "--bogus", "-v"}, std::nullopt, false, {}},
      {{"qorid", "-e", "ls", "-r", "x"}, std::nullopt, false, {"ls", "x"}},
      {{"qorid", "--", "--root", "x"}, std::nullopt, false, {"--root", "x"}},
  };
  ::testing::internal::CaptureStderr();  // getopt_long's own diagnostics
  for (const Case& c : cases) {
    Argv a(c.args);
    const qorid::ToolOptions o = qorid::parseOptions(a.argc(), a.argv());
    EXPECT_EQ(c.root, o.root) << c.args[1];
    EXPECT_EQ(c.missing, o.rootMissing) << c.args[1];
    EXPECT_EQ(c.rest, a.rest(o.firstArgument)) << c.args[1];
  }
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, diagnostics.find("option '--root' requires an argument"));
}

class ToolRunTest : public SystemTest {
 protected:
  std::string run(std::vector<std::string> args, int expectedStatus = 0) {
    Argv a(std::move(args));
    QorIdentifier id(logger());
    std::ostringstream out;
    EXPECT_EQ(expectedStatus,
              qorid::runTool(qorid::parseOptions(a.argc(), a.argv()), a.argc(),
                             a.argv(), id, logger(), out));
    return out.str();
  }
};

// --root DIR: an identifier made once the root is set reads the board under
// DIR, the table DIR's alone, though the one made at start-up read the
// system's. Its creation is logged again.
TEST_F(ToolRunTest, RootReadsTheBoardUnderItsFolderWithTheFoldersTable) {
  putKnownIds("System Board:5:qvk\n");
  setUname("5.10.0-qvk", "armv7l");
  const testing_fs::TempDir board;
  testing_fs::writeFile(board.path() + "/etc/known_qor_ids", "Root Board:9:qvk\n");
  testing_fs::writeFile(board.path() + "/proc/sys/kernel/arch", "armv7l\n");
  EXPECT_EQ("5 - System Board\n", run({"qorid", "-v"}));
  testing_log::clear();
  EXPECT_EQ("9 - Root Board\n", run({"qorid", "--root", board.path(), "-v"}));
  EXPECT_EQ(2u, testing_log::count(log_text::kCreating));
  EXPECT_EQ(1u, testing_log::count("Nothing to read in " + board.path() +
                                   "/proc/sys/kernel/osrelease" + log_text::kFromUname));
}

// A DIR that is no folder, or none at all, fails at once: one line on
// standard error, nothing on standard output, status 2, nothing read; so
// does --root without DIR, after getopt_long's line.
TEST_F(ToolRunTest, RootThatIsNoFolderFailsAtOnceWithStatusTwo) {
  put("/file", "");
  const std::string none = root() + "/none";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"qorid", "--root", none, "-v"}, "qorid: --root " + none + ": No such file or directory\n"},
      {{"qorid", "--root", root() + "/file"}, "qorid: --root " + root() + "/file: Not a directory\n"},
      {{"qorid", "--root="}, "qorid: --root : No such file or directory\n"},
      {{"qorid", "--root", none, "--list", "--exec", "env"},
       "qorid: --root " + none + ": No such file or directory\n"},
      {{"qorid", "--root", "a\nb"}, "qorid: --root a\\nb: No such file or directory\n"},
      {{"qorid", "-l", "--root"}, "qorid: option '--root' requires an argument\n"},
  };
  testing_log::clear();
  for (const auto& [args, said] : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ("", run(args, 2)) << args.back();
    EXPECT_EQ(said, ::testing::internal::GetCapturedStderr());
  }
  EXPECT_FALSE(testing_log::contains(log_text::kAliasByDt));
}

TEST_F(ToolRunTest, PrintsNumberOrNumberAndName) {
  EXPECT_EQ("-1\n", run({"qorid"}));
  EXPECT_EQ("-1 - Unknown\n", run({"qorid", "--verbose"}));
  setUname("5.10.0", "x86_64");
  EXPECT_EQ("64\n", run({"qorid"}));
  EXPECT_EQ("64 - x86_64 PC\n", run({"qorid", "-v"}));
}

TEST_F(ToolRunTest, UnknownBoardDeterminesTwiceWithVerboseOnceWithJson) {
  for (const auto& [option, times] : {std::pair<const char*, size_t>{"-v", 2}, {"-j", 1}}) {
    testing_log::clear();
    run({"qorid", option});
    EXPECT_EQ(times, testing_log::count(log_text::kUnknown)) << option;
  }
}

// Which options are refused together, before anything is read: each as
// --json --exec is (the refusal's text and status are the case folder
// list-and-exec's).
TEST_F(ToolRunTest, ListingAndExecutingTogetherIsRefusedBeforeAnythingIsRead) {
  const std::string refused = run({"qorid", "--json", "--exec", "env"}, -1);
  EXPECT_FALSE(refused.empty());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-j", "-e", "env"}, {"--script", "x.sh", "--json"},
           {"-s", "x.sh", "-j"}, {"-l", "-j", "-e"}, {"-x", "-e", "env"},
           {"--ex", "env", "--export"}, {"-l", "-e", "env"}, {"-e", "env", "-l"},
           {"-s", "-l", "x.sh"}, {"--exec", "--list"}}) {
    std::vector<std::string> argv{"qorid"};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(refused, run(argv, -1)) << args[0] << " " << args[1];
  }
  EXPECT_FALSE(testing_log::contains(log_text::kAliasByDt));  // nothing loaded
}

// --script and -s -e without a command are -e without one (whose text and
// status are the case folder exec-without-command's).
TEST_F(ToolRunTest, ExecWithoutACommandSaysSo) {
  const std::string said = run({"qorid", "-e"});
  EXPECT_FALSE(said.empty());
  EXPECT_EQ(said, run({"qorid", "--script"}));
  EXPECT_EQ(said, run({"qorid", "-s", "-e"}));
}

TEST_F(ToolRunTest, JsonWinsOverList) {
  EXPECT_EQ("{\"number\":-1,\"name\":\"Unknown\",\"aliases\":[],\"parameters\":[]}\n",
            run({"qorid", "--json", "--list", "-v"}));
}

TEST_F(ToolRunTest, ExportYieldsToJsonAndWinsOverList) {
  putNode("boardid", "5");
  putNode("serial", "S\"1$\0x"s);
  putNode("board-rev", "2");
  const std::string exported = run({"qorid", "-x"});
  EXPECT_NE(std::string::npos, exported.find("QOR_SERIAL='S\"1$'\n"));
  EXPECT_EQ(std::string::npos, exported.find("BOARD-REV"));
  const testing_log::Entry leftOut{
      testing_log::Level::kWarn,
      std::string(log_text::kLeftOutOfExport) + "QOR_BOARD-REV is not a shell variable name"};
  EXPECT_EQ(1, std::count(testing_log::entries().begin(), testing_log::entries().end(), leftOut));
  EXPECT_EQ(exported, run({"qorid", "--list", "-v", "--export"}));
  EXPECT_EQ(run({"qorid", "-j"}), run({"qorid", "-x", "-j"}));
}

TEST(ShellExport, AssignmentsAShellReadsBackUnderAnyLocale) {
  const std::pair<std::pair<std::string, std::string>, std::optional<std::string>> cases[] = {
      {{"QOR_ID", "5"}, "QOR_ID='5'"},
      {{"QOR_WAN", "eth1\0junk"s}, "QOR_WAN='eth1'"},
      {{"QOR_X", "a\\b\"c$d`e'f"}, "QOR_X='a\\b\"c$d`e'\"'\"'f'"},
      {{"QOR_E", "\xe2\x82\xac'$(x)\\"}, "QOR_E='\xe2\x82\xac'\"'\"'$(x)\\'"},
      {{"QOR_T", " \t\r~"}, "QOR_T=' \t\r~'"},
      {{"_a9", ""}, "_a9=''"},
      {{"QOR_B", "\xff\xfe"}, std::nullopt}, {{"QOR_C", "\xc3"}, std::nullopt},
      {{"QOR_BOARD-REV,2", "x"}, std::nullopt}, {{"QOR_A.B", "x"}, std::nullopt},
      {{"9A", "x"}, std::nullopt}, {{"", "x"}, std::nullopt}, {{"A=B", "x"}, std::nullopt},
  };
  for (const auto& [param, line] : cases) {
    EXPECT_EQ(line, qorid::shellAssignment({param.first, param.second})) << param.first;
  }
  EXPECT_EQ("QOR_B: value not UTF-8", qorid::whyNotExported({"QOR_B", "\xfe*"}, ""));
  EXPECT_EQ("", qorid::whyNotExported({"QOR_B", "ok\0\xfe"s}, ""));
  EXPECT_EQ("QOR_N: value holds a Unicode noncharacter, which systemd refuses",
            qorid::whyNotExported({"QOR_N", "a\xef\xb7\xaf"}, ""));
}

// Of a name given more than once, --export writes the value --exec keeps
// or nothing: never one that --exec replaces or leaves out.
TEST(ShellExport, ANameCarriesTheValueExecKeepsOrNone) {
  using Rows = std::vector<std::pair<qor_param, std::string>>;  // parameter, why --exec leaves it out
  const std::pair<Rows, std::vector<qorid::Exported>> cases[] = {
      {{{{"QOR_R", "1"}, ""}, {{"QOR_R", "2"}, ""}}, {{}, {"QOR_R='2'", ""}}},
      {{{{"QOR_R", "ok"}, ""}, {{"QOR_R", "\xfe"}, ""}}, {{}, {"", "QOR_R: value not UTF-8"}}},
      {{{{"QOR_R", "\xfe"}, ""}, {{"QOR_R", "ok"}, ""}}, {{}, {"QOR_R='ok'", ""}}},
      {{{{"QOR_R", "ok"}, ""}, {{"QOR_R", "long"}, "value too long"}},
       {{"QOR_R='ok'", ""}, {"", "QOR_R: value too long"}}},
      {{{{"QOR_R", "a\0x"s}, ""}, {{"QOR_R", "b"}, ""}, {{"QOR_R\0Y"s, "c"}, ""}},
       {{}, {}, {"", "QOR_R\0Y is not a shell variable name"s}}},
      {{{{"QOR_A-B", "1"}, ""}, {{"QOR_A-B", "2"}, ""}, {{"=", "3"}, ""}},
       {{}, {"", "QOR_A-B is not a shell variable name"}, {"", "= is not a shell variable name"}}},
  };
  for (const auto& [rows, expected] : cases) {
    std::vector<qor_param> params;
    std::vector<std::string> leftOut;
    for (const auto& [param, why] : rows) {
      params.push_back(param);
      leftOut.push_back(why);
    }
    const std::vector<qorid::Exported> exported = qorid::exportOf(params, leftOut);
    ASSERT_EQ(expected.size(), exported.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i].line, exported[i].line) << rows.back().first.value << " " << i;
      EXPECT_EQ(expected[i].reason, exported[i].reason) << rows.back().first.value << " " << i;
    }
  }
}

TEST_F(ToolRunTest, HelpWinsWhereverItStands) {
  const std::string help = testing_fs::readFile(QORID_HELP_TEXT_FILE);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-h"}, {"--help"}, {"--he"}, {"-l", "-h"}, {"-h", "-l"}, {"-v", "--help", "-l"},
           {"-v", "--help", "--bogus"}, {"--exec", "-h"}, {"-j", "-h"}, {"-x", "-h"},
           {"--root", "/no/such/folder", "--help"}, {"--help", "--root"}}) {
    std::vector<std::string> argv{"qorid"};
    argv.insert(argv.end(), args.begin(), args.end());
    ::testing::internal::CaptureStderr();  // getopt_long on --bogus
    EXPECT_EQ(help, run(argv)) << args.back();
    ::testing::internal::GetCapturedStderr();
  }
  EXPECT_FALSE(testing_log::contains(log_text::kAliasByDt));
}

// A standard descriptor closed at the start is held by a stand-in, so that
// no file opened later (a log file) takes its place: qorid's own lines on
// standard error never land in a log.
TEST(StandardDescriptors, AClosedOneIsHeldSoNoFileTakesItsPlace) {
  for (const int closed : {0, 1, 2}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(closed);
      const bool outputClosed = qorid::claimStandardDescriptors();
      const int next = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
      ::_exit(next > 2 && outputClosed == (closed == 1) && ::fcntl(closed, F_GETFD) != -1 ? 0 : 1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "descriptor " << closed;
  }
}

}  // namespace
