// The process runner: which folders of PATH a command is taken from, and
// what a run gives back.
#include "common/process.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using qorid::process::Redirect;

TEST(Process, CommandPathKeepsOnlyAbsoluteEntries) {
  struct Case {
    const char* path;  // null: PATH unset
    const char* after;
    const char* want;
  };
  const Case cases[] = {
      {"/usr/bin:/bin", "/usr/sbin:/sbin", "/usr/bin:/bin:/usr/sbin:/sbin"},
      {":.:bin:/usr/bin::./x:/bin:", "/sbin", "/usr/bin:/bin:/sbin"},
      {"", "/usr/sbin:/sbin", "/usr/sbin:/sbin"},
      {"relative:also/relative", "", ""},
      {"/opt/a/:/opt/b", "", "/opt/a/:/opt/b"},
      {nullptr, "/sbin", "/bin:/usr/bin:/sbin"},  // the C library's default
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, qorid::process::commandPath(c.path, c.after))
        << (c.path != nullptr ? c.path : "(unset)");
  }
}

TEST(Process, FindCommandNeverTakesTheCurrentFolderOrAFileItMayNotRun) {
  const testing_fs::TempDir dir;
  const std::string a = dir.path() + "/a";
  const std::string b = dir.path() + "/b";
  for (const std::string& file : {a + "/tool", a + "/plain", b + "/tool", b + "/only-b"}) {
    testing_fs::writeFile(file, "#!/bin/sh\n");
    ASSERT_EQ(0, ::chmod(file.c_str(), file == a + "/plain" ? 0644 : 0755)) << file;
  }
  testing_fs::makeDirs(a + "/folder");
  ASSERT_EQ(0, ::symlink("tool", (a + "/link").c_str()));
  struct Case {
    std::string name;
    std::string path;
    std::string want;
  };
  // Run in a/, which the empty, "." and relative entries name.
  const Case cases[] = {
      {"tool", a + ":" + b, a + "/tool"},
      {"tool", b + ":" + a, b + "/tool"},
      {"only-b", a + ":" + b, b + "/only-b"},
      {"tool", "/nonexistent:" + a, a + "/tool"},
      {"link", a, a + "/link"},
      {"plain", a, ""},
      {"folder", a, ""},
      {"tool", ":.:./", ""},
      {"only-b", "../b", ""},
      {"a/tool", dir.path(), ""},
      {"", a, ""},
  };
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(a);
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, qorid::process::findCommand(c.name, c.path)) << c.name << " on " << c.path;
  }
  std::filesystem::current_path(before);
}

std::vector<pid_t> gWatched;

TEST(Process, RunGivesTheStatusAsAShellDoesAndEachStreamCapturedApart) {
  struct Case {
    std::vector<std::string> argv;
    size_t limit;
    bool started;
    int status;
    size_t outSize;
    std::string err;
  };
  const Case cases[] = {
      {{"/bin/sh", "-c", "exit 3"}, 10, true, 3, 0, ""},
      {{"/bin/sh", "-c", "kill -TERM $$"}, 10, true, 128 + SIGTERM, 0, ""},
      {{"/bin/sh", "-c", "printf abcdef; printf x >&2"}, 4, true, 0, 4, "x"},
      // More than a pipe holds on both streams: neither waits for the other.
      {{"/bin/sh", "-c", "head -c 200000 /dev/zero; head -c 200000 /dev/zero >&2"}, 1 << 20,
       true, 0, 200000, std::string(200000, '\0')},
      {{"no-such-command-anywhere"}, 10, false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    gWatched.clear();
    const qorid::process::Ran ran = qorid::process::runCommand(
        {c.argv, Redirect::capture(c.limit), Redirect::capture(c.limit),
         [](pid_t child) { gWatched.push_back(child); }});
    EXPECT_EQ(c.started, ran.started) << c.argv.back();
    EXPECT_EQ(c.status, ran.status) << c.argv.back();
    EXPECT_EQ(c.outSize, ran.out.size()) << c.argv.back();
    EXPECT_EQ(c.err, ran.err) << c.argv.back();
    EXPECT_EQ(c.started ? 2U : 0U, gWatched.size()) << c.argv.back();
    if (c.started && gWatched.size() == 2) {
      EXPECT_GT(gWatched[0], 0);
      EXPECT_EQ(0, gWatched[1]);
    }
  }
}

}  // namespace
