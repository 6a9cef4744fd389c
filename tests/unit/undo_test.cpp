// What a signal leaves of a run's steps: each case runs in a child process
// of its own (the handlers and the noted signal are the process's).
#include "common/undo.h"

#include "common/descriptor.h"
#include "common/process.h"
#include "tests/support/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// A scratch tree (a folder below it, a file in that) and a file in `dir`,
// armed in that order.
void armTreeAndFile(const std::string& dir, qorid::Descriptor& dirFd) {
  testing_fs::writeFile(dir + "/tree/below/file", "x");
  testing_fs::writeFile(dir + "/file", "x");
  struct stat st;
  dirFd.reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (::lstat((dir + "/tree").c_str(), &st) != 0 || !qorid::undo::armRemoveTree(dir + "/tree", st) ||
      ::lstat((dir + "/file").c_str(), &st) != 0 || !qorid::undo::armRemove(dirFd.fd(), "file", st)) {
    std::fprintf(stderr, "cannot arm the steps in %s\n", dir.c_str());
    ::_exit(3);
  }
}

// Ends the child: 0 when the tree and the file are there, or not, as wanted.
void exitLeaving(const std::string& dir, bool tree, bool file) {
  const bool ok = exists(dir + "/tree") == tree && exists(dir + "/file") == file;
  if (!ok) {
    std::fprintf(stderr, "left: tree %d, file %d\n", exists(dir + "/tree"), exists(dir + "/file"));
  }
  ::_exit(ok ? 0 : 1);
}

TEST(Undo, EachWayOutLeavesWhatItSays) {
  struct Case {
    const char* what;
    void (*end)(const std::string& dir);  // _exit(2) when it finds what it should not
    bool tree;
    bool file;
  };
  const Case cases[] = {
      {"a signal noted, then the run undoes",
       [](const std::string& dir) {
         qorid::undo::installHandlers(qorid::undo::OnSignal::kNote);
         ::raise(SIGTERM);
         if (qorid::undo::notedSignal() != SIGTERM || !exists(dir + "/tree")) {
           ::_exit(2);  // the handler undid, or noted nothing
         }
         (void)qorid::undo::undoAll();
       },
       false, false},
      {"the run completes",
       [](const std::string&) {
         (void)qorid::undo::completeAll();
         (void)qorid::undo::undoAll();  // nothing is armed any more
       },
       false, true},
      {"the tree's name leads to another folder",
       [](const std::string& dir) {
         ::rename((dir + "/tree").c_str(), (dir + "/moved").c_str());
         testing_fs::makeDirs(dir + "/tree");
         (void)qorid::undo::undoAll();
         if (!exists(dir + "/moved/below/file")) {
           ::_exit(2);
         }
       },
       true, false},
  };
  for (const Case& c : cases) {
    const testing_fs::TempDir dir;
    EXPECT_EXIT(
        {
          qorid::Descriptor dirFd;
          armTreeAndFile(dir.path(), dirFd);
          c.end(dir.path());
          exitLeaving(dir.path(), c.tree, c.file);
        },
        ::testing::ExitedWithCode(0), "")
        << c.what;
  }
}

TEST(Undo, TheHandlerThatExitsLeavesTheTreeToTheRun) {
  const testing_fs::TempDir dir;
  EXPECT_EXIT(
      {
        qorid::Descriptor dirFd;
        armTreeAndFile(dir.path(), dirFd);
        qorid::undo::setLastWords("interrupted");
        qorid::undo::installHandlers(qorid::undo::OnSignal::kUndoAndExit);
        ::raise(SIGTERM);
      },
      ::testing::ExitedWithCode(1), "^interrupted\n$");
  EXPECT_TRUE(exists(dir.path() + "/tree"));
  EXPECT_FALSE(exists(dir.path() + "/file"));
}

// The child a signal finds running, or one started after it, is ended.
TEST(Undo, ANotedSignalEndsTheWatchedChild) {
  for (const char* script : {"kill -TERM $PPID; exec sleep 30", "exec sleep 30"}) {
    EXPECT_EXIT(
        {
          qorid::undo::installHandlers(qorid::undo::OnSignal::kNote);
          if (std::string(script) == "exec sleep 30") {
            ::raise(SIGINT);
          }
          const qorid::process::Ran ran = qorid::process::runCommand(
              {{"/bin/sh", "-c", script}, {}, {}, qorid::undo::watchChild});
          ::_exit(ran.status == 128 + SIGTERM ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << script;
  }
}

}  // namespace
