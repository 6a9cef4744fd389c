#include "tests/support/fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

using namespace std::string_literals;

namespace {

class ParametersTest : public SystemTest {
 protected:
  // Runs execute() in a child process and returns its exit status; what the
  // command writes to $OUT is in out().
  int executeInChild(QorIdentifier& id, std::vector<std::string> args, bool script) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    ::setenv("OUT", outPath().c_str(), 1);
    const pid_t pid = ::fork();
    if (pid == 0) {
      id.execute(static_cast<int>(args.size()), argv.data(), script);
      ::_exit(111);  // only a failed exec gets here
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::unsetenv("OUT");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string outPath() const { return root() + "/out"; }
  std::string out() const { return testing_fs::readFile(outPath()); }
  std::string script(const std::string& name, const std::string& body) {
    const std::string path = root() + "/" + name;
    testing_fs::writeFile(path, body);
    ::chmod(path.c_str(), 0755);
    return path;
  }
};

TEST_F(ParametersTest, ListKeepsOrderDuplicatesAndEveryByte) {
  QorIdentifier id(nullptr);
  std::ostringstream empty;
  id.listParams(empty);
  EXPECT_EQ("", empty.str());
  EXPECT_TRUE(id.getParams().empty());

  id.addParameter("QOR_A", "1");
  id.addParameter("QOR_B", "x=y");
  id.addParameter("QOR_A", "two\nlines");
  id.addParameter("QOR_NUL", std::string("eth0\0", 5));
  id.addParameter("", "");
  std::ostringstream out;
  EXPECT_EQ(&out, &id.listParams(out));
  EXPECT_EQ("QOR_A=1\nQOR_B=x=y\nQOR_A=two\nlines\nQOR_NUL=eth0\0\n=\n"s, out.str());
  // The getter gives the same list, in the same order.
  std::string fromGetter;
  for (const qor_param& p : id.getParams()) fromGetter += p.name + "=" + p.value + "\n";
  EXPECT_EQ(out.str(), fromGetter);
  EXPECT_TRUE(testing_log::entries().empty());
}

TEST_F(ParametersTest, ExecExportsEveryParameterLaterDuplicateWinning) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_X", "first");
  id.addParameter("QOR_Y", "a=b c");
  id.addParameter("QOR_X", "second");
  id.addParameter("BAD=NAME", "dropped");
  id.addParameter("QOR_NUL", "eth1\0junk"s);  // the value ends at its NUL
  ::setenv("QOR_Y", "from the caller", 1);    // overwritten where it stands
  const std::string cmd = script("show", "#!/bin/sh\n"
                                         "printf '%s|%s|%s|%s|%s\\n' \"$0\" \"$1\" \"$QOR_X\" \"$QOR_Y\" \"$QOR_NUL\" > \"$OUT\"\n"
                                         "env | grep -c '^BAD\\|^QOR_Y=' >> \"$OUT\"\n"
                                         "exit 0\n");
  EXPECT_EQ(0, executeInChild(id, {cmd, "arg1"}, false));
  ::unsetenv("QOR_Y");
  EXPECT_EQ(cmd + "|arg1|second|a=b c|eth1\n1\n", out());
}

TEST_F(ParametersTest, ExecFindsCommandOnSearchPath) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_ID", "5");
  EXPECT_EQ(0, executeInChild(id, {"sh", "-c", "echo $QOR_ID > \"$OUT\""}, false));
  EXPECT_EQ("5\n", out());
}

TEST_F(ParametersTest, ScriptRunsUnderShellOrBinBash) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_ID", "9");
  const std::string body = script("body.sh", "echo \"$QOR_ID:$1:$2:$BASH_VERSION\" > \"$OUT\"\n");
  const char* savedShell = std::getenv("SHELL");
  const std::string saved = savedShell != nullptr ? savedShell : "";

  ::unsetenv("SHELL");
  EXPECT_EQ(0, executeInChild(id, {body, "a", "b"}, true));
  const std::string viaBash = out();
  EXPECT_EQ("9:a:b:", viaBash.substr(0, 6));
  EXPECT_GT(viaBash.size(), 7u) << "bash sets BASH_VERSION";

  const std::string wrapper = script("wrapper", "#!/bin/sh\nprintf '[%s]' \"$0\" \"$@\" > \"$OUT\"\n");
  ::setenv("SHELL", wrapper.c_str(), 1);
  EXPECT_EQ(0, executeInChild(id, {body, "a", "b c"}, true));
  EXPECT_EQ("[" + wrapper + "][" + body + "][a][b c]", out());

  ::setenv("SHELL", "", 1);  // used as it is: nothing to run
  EXPECT_EQ(111, executeInChild(id, {body}, true));
  if (savedShell != nullptr) ::setenv("SHELL", saved.c_str(), 1); else ::unsetenv("SHELL");
}

TEST_F(ParametersTest, FailedExecReturnsMinusOneAndLeavesVariablesSet) {
  QorIdentifier id(nullptr);
  id.addParameter("QOR_LEFT_BEHIND", "yes");
  char command[] = "/nonexistent/qorid-no-such-command";
  char* argv[] = {command, nullptr};
  EXPECT_EQ(-1, id.execute(1, argv, false));
  ASSERT_NE(nullptr, std::getenv("QOR_LEFT_BEHIND"));
  EXPECT_STREQ("yes", std::getenv("QOR_LEFT_BEHIND"));
  ::unsetenv("QOR_LEFT_BEHIND");
  char* none[] = {nullptr};
  EXPECT_EQ(-1, id.execute(0, none, false));  // nothing to run is refused
}

}  // namespace

// The one rule for what a program run with the parameters gets: the per
// string limit (131,071 with 4 KiB pages), then what all may take together
// (1 MiB, each counted as NAME=VALUE, its NUL and a pointer), in list order.
TEST(EnvironmentRule, LeftOutOnlyPastTheStringLimitOrTheBudget) {
  const size_t longest = static_cast<size_t>(::sysconf(_SC_PAGESIZE)) * 32 - 1;
  const size_t entry = sizeof(char*) + 1;  // besides NAME=VALUE
  const size_t filling = 1048576 - 7 * (longest + entry) - entry;  // the last byte of 1 MiB
  const std::string tooLong = "value too long";
  const std::string past = "over the 1048576 bytes all parameters may take";
  const struct {
    std::vector<size_t> sizes;  // of each NAME=VALUE
    std::vector<std::string> reasons;
  } cases[] = {
      {{longest, longest + 1, 131072}, {"", tooLong, tooLong}},
      {{longest, longest, longest, longest, longest, longest, longest, filling, 4},
       {"", "", "", "", "", "", "", "", past}},
      {{longest, longest, longest, longest, longest, longest, longest, filling + 1, 4},
       {"", "", "", "", "", "", "", past, ""}},
  };
  for (const auto& c : cases) {
    QorIdentifier id(nullptr);
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      id.addParameter("Q" + std::to_string(i), std::string(c.sizes[i] - 3, 'v'));
    }
    EXPECT_EQ(c.reasons, id.whyLeftOutOfEnvironment()) << c.sizes.size();
  }
}
