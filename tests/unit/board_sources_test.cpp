// The pure rules of what the identification reads, and the kernel's files
// of a board root; the reading of the node, uname and /proc/cpuinfo is
// tested through the determination (determination_test.cpp).
#include "lib/board_sources.h"
#include "lib/system.h"
#include "tests/support/fixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::string_literals;

namespace {

TEST(BoardSources, ReleaseAliasIsTheTextAfterTheLastDash) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"5.10.0-qvk", "qvk"},
      {"4.19.1-a-b", "b"},
      {"6.1.0-27-amd64", "amd64"},
      {"5.10.0-", ""},
      {"-", ""},
      {"5.10.0", std::nullopt},
      {"", std::nullopt},
      {"5.10.0-QVK", "QVK"},
  };
  for (const auto& [release, alias] : cases) {
    EXPECT_EQ(alias, qorid::releaseAlias(release)) << release;
  }
}

TEST(BoardSources, HardwareValueStartsTwoBytesAfterTheFirstColon) {
  const std::pair<std::string, std::string> cases[] = {
      {"Hardware\t: Tessaron QVK", "Tessaron QVK"},
      {"Hardware : a: b ", "a: b "},
      {"Hardware\t:  two blanks", " two blanks"},
      {"Hardware:xvalue", "value"},
      {"Hardware\t: ", ""},
      {"Hardware:", ""},
      {"Hardware", ""},
      {"Hardware\t: QVK\0x"s, "QVK\0x"s},
  };
  for (const auto& [line, value] : cases) {
    EXPECT_EQ(value, qorid::hardwareValue(line)) << line;
  }
}

// Under a board root the release and the machine each come from their own
// file: its first line, at most 64 bytes. One that is not there, cannot be
// read (a folder) or is empty gives uname's value, and is named; uname is
// not asked when both files give one.
class KernelFilesTest : public SystemTest {};

TEST_F(KernelFilesTest, EachFileGivesItsValueOrUnamesStandsIn) {
  struct Case {
    std::optional<std::string> osrelease, arch;  // none: no file; "/": a folder
    std::string release, machine;
    size_t fromUname;
  };
  const Case cases[] = {
      {"6.1.0-qvk\n", "aarch64\n", "6.1.0-qvk", "aarch64", 0},
      {std::nullopt, "aarch64\n", "5.10.0", "aarch64", 1},
      {"6.1.0-qvk\n", std::nullopt, "6.1.0-qvk", "armv7l", 1},
      {"", "\n", "5.10.0", "armv7l", 2},
      {"/", "x86_64", "5.10.0", "x86_64", 1},
      {"6.1.0-qvk\nsecond\n", "riscv64\r\n", "6.1.0-qvk", "riscv64\r", 0},
      {std::string(80, 'r') + "\n", std::string(64, 'm'), std::string(64, 'r'),
       std::string(64, 'm'), 0},
  };
  ASSERT_EQ("", qorid::sys::setBoardRoot(root()));
  for (const Case& c : cases) {
    for (const auto& [file, content] : {std::pair{"osrelease", c.osrelease}, {"arch", c.arch}}) {
      const std::string path = root() + "/proc/sys/kernel/" + file;
      testing_fs::removePath(path);
      if (content == "/") {
        testing_fs::makeDirs(path);
      } else if (content) {
        testing_fs::writeFile(path, *content);
      }
    }
    const std::optional<qorid::KernelInfo> info = qorid::kernelInfo();
    ASSERT_TRUE(info) << c.release;
    EXPECT_EQ(c.release, info->release);
    EXPECT_EQ(c.machine, info->machine);
    EXPECT_EQ(c.fromUname, info->fromUname.size()) << c.release << " " << c.machine;
  }
  failUname();
  EXPECT_EQ(std::string(64, 'm'), qorid::kernelInfo().value().machine);
  testing_fs::removePath(root() + "/proc/sys/kernel/arch");
  EXPECT_FALSE(qorid::kernelInfo());
  // Without a board root the files are not read, wherever the paths lead.
  qorid::sys::setRootForTesting(root());
  setUname("5.10.0", "armv7l");
  EXPECT_EQ("5.10.0", qorid::kernelInfo().value().release);
}

}  // namespace
