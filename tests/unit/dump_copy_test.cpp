// qorid-dump's copy of the node: how deep it goes.
#include "tool/dump_copy.h"

#include "common/undo.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

namespace {

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// `levels` folders "d", one in the other, below `top`.
std::string below(const std::string& top, int levels) {
  std::string path = top;
  for (int level = 0; level < levels; ++level) {
    path += "/d";
  }
  return path;
}

TEST(DumpCopy, AFolder990LevelsBelowTheNodeIsCopiedOneAt991LeftOutAndSaid) {
  const testing_fs::TempDir dir;
  const std::string node = dir.path() + "/node";
  testing_fs::makeDirs(below(node, qorid::dump::kMaxDepth + 1));
  qorid::dump::Staging staging;
  const qorid::dump::Stopped made = staging.make(dir.path().c_str());
  ASSERT_FALSE(made) << made.line();
  qorid::dump::Copier copier(staging, "");

  ::testing::internal::CaptureStderr();
  const qorid::dump::Stopped stopped = copier.copyNode(node, staging.path() + "/node");
  const std::string said = ::testing::internal::GetCapturedStderr();

  EXPECT_FALSE(stopped) << stopped.line();
  const std::string copy = staging.path() + "/node";
  EXPECT_TRUE(isDirectory(below(copy, 990)));
  EXPECT_FALSE(isDirectory(below(copy, 991)));
  EXPECT_EQ("qorid-dump: left out " + below(node, 991) +
                ": more than 990 levels below the node, deeper than this dump goes\n",
            said);
  (void)qorid::undo::completeAll();
  EXPECT_FALSE(isDirectory(staging.path())) << "the temporary directory stays";
}

}  // namespace
