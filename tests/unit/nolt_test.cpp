// The logging library itself, linked as the tool links it.
#include "nolt/nolt.h"

#include "nolt/nolt_testing.h"
#include "tests/support/files.h"

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/StringQueueAppender.hh>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// An appender whose every line fails, as a layout asked for an impossible
// width fails.
class ThrowingAppender : public log4cpp::AppenderSkeleton {
 public:
  ThrowingAppender() : log4cpp::AppenderSkeleton("throwing") {}
  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* /*layout*/) override {}

 protected:
  void _append(const log4cpp::LoggingEvent& /*event*/) override {
    throw std::length_error("basic_string::_M_create");
  }
};

TEST(NoltTest, SecondInitWritesEachLineOnce) {
  cNolt::init(nullptr);
  cNolt::init(nullptr);
  ::testing::internal::CaptureStderr();
  cNolt("twice").error("line %d", 1);
  EXPECT_EQ("twice ERROR: line 1\n", ::testing::internal::GetCapturedStderr());
}

TEST(NoltTest, AnAppenderThatThrowsLosesTheLineAndNothingElse) {
  cNolt::init(nullptr);
  log4cpp::Category& category = log4cpp::Category::getInstance("throws");
  category.setAdditivity(false);
  category.addAppender(new ThrowingAppender());
  auto* queue = new log4cpp::StringQueueAppender("queue");
  category.addAppender(queue);
  cNolt logger("throws");
  for (int i = 0; i < 2; ++i) {
    logger.fatal("line %d", i);
  }
  ASSERT_EQ(2u, queue->queueSize());
  EXPECT_NE(std::string::npos, queue->popMessage().find("line 0"));
  EXPECT_NE(std::string::npos, queue->popMessage().find("line 1"));
}

TEST(NoltTest, ACategoryTooDeepForLog4cppLogsNothing) {
  cNolt::init(nullptr);
  std::string name = "deep";
  for (int i = 0; i < 60000; ++i) name += ".d";
  const std::string deepest = name.substr(0, 4 + 2 * 31);  // 32 levels
  ::testing::internal::CaptureStderr();
  cNolt(name.c_str()).error("lost");
  cNolt(deepest.c_str()).error("kept");
  EXPECT_EQ(deepest + " ERROR: kept\n", ::testing::internal::GetCapturedStderr());
}

// DEBUG and above to `file` through an appender "file" of `type`, one
// message a line; five lines.
std::string debugTo(const std::string& file, const std::string& type = "FileAppender") {
  return "log4cpp.rootCategory=DEBUG, file\nlog4cpp.appender.file=" + type +
         "\nlog4cpp.appender.file.fileName=" + file +
         "\nlog4cpp.appender.file.layout=PatternLayout\n"
         "log4cpp.appender.file.layout.ConversionPattern=%m%n\n";
}

// What the hook puts in place of the configuration once it has been checked.
struct Swap {
  std::string path;
  std::string text;  // empty: a FIFO
  int done = 0;
};
Swap replacement;

void swapConfiguration() {
  ++replacement.done;
  testing_fs::removePath(replacement.path);
  if (replacement.text.empty()) {
    testing_fs::makeFifo(replacement.path);
  } else {
    testing_fs::writeFile(replacement.path, replacement.text);
  }
}

// cNolt::init(path) with TMPDIR set to `tmpdir`; what it said on stderr.
std::string initWith(const std::string& path, const std::string& tmpdir) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TMPDIR", tmpdir.c_str(), 1);
  ::testing::internal::CaptureStderr();
  cNolt::init(path.c_str());
  std::string said = ::testing::internal::GetCapturedStderr();
  noltSetProcFdMissingForTesting(false);
  noltSetBeforeConfigureHookForTesting(nullptr);
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  return said;
}

TEST(NoltTest, ASecondInitClosesTheLogFilesOfTheFirst) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  const std::filesystem::path log = dir.path() + "/a.log";
  testing_fs::writeFile(conf, debugTo(log));
  cNolt::init(conf.c_str());
  cNolt("closed").debug("written");
  cNolt::init(nullptr);
  int open = 0;
  std::error_code ignored;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    open += std::filesystem::read_symlink(fd.path(), ignored) == log ? 1 : 0;
  }
  EXPECT_EQ("written\n", testing_fs::readFile(log));
  EXPECT_EQ(0, open);
}

TEST(NoltTest, Log4cppReadsTheCheckedBytesWhateverTakesTheFilesPlace) {
  const struct {
    bool procFdMissing;
    bool fifo;
  } rows[] = {{true, false}, {true, true}, {false, false}, {false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.procFdMissing ? "without" : "with") + " /proc, swapped for " +
                 (row.fifo ? "a FIFO" : "another file"));
    const testing_fs::TempDir dir;
    const testing_fs::TempDir tmpdir;
    const std::string checked = dir.path() + "/a.log";
    const std::string swapped = dir.path() + "/b.log";
    replacement = {dir.path() + "/qorid.conf", row.fifo ? "" : debugTo(swapped), 0};
    testing_fs::writeFile(replacement.path, debugTo(checked));
    noltSetProcFdMissingForTesting(row.procFdMissing);
    noltSetBeforeConfigureHookForTesting(&swapConfiguration);
    EXPECT_EQ("", initWith(replacement.path, tmpdir.path()));
    cNolt("swapped").debug("the line");
    cNolt::init(nullptr);
    EXPECT_EQ(1, replacement.done);
    EXPECT_EQ("the line\n",
              std::filesystem::exists(checked) ? testing_fs::readFile(checked) : "(none)");
    EXPECT_FALSE(std::filesystem::exists(swapped));
    EXPECT_TRUE(std::filesystem::is_empty(tmpdir.path()));
  }
}

// A TMPDIR that does not work is passed over for /tmp; without either the
// configuration is refused (logging_test.sh, a root without /tmp).
TEST(NoltTest, WithoutProcAMissingTmpdirGivesWayToTmp) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  testing_fs::writeFile(conf, debugTo(dir.path() + "/a.log"));
  noltSetProcFdMissingForTesting(true);
  EXPECT_EQ("", initWith(conf, dir.path() + "/missing"));
  cNolt("taken").debug("kept");
  EXPECT_NE(std::string::npos, testing_fs::readFile(dir.path() + "/a.log").find("kept"));
}

// Without /proc the checked bytes reach log4cpp through a private copy: a
// file of mode 0600 in a fresh folder of mode 0700 under TMPDIR when that is
// an absolute path, under /tmp when it is relative. What the hook saw of
// the TMPDIR given, while the copy was there.
std::string gTmpdirSeen;
std::string gTmpdirLook;
void lookAtTmpdir() {
  namespace fs = std::filesystem;
  gTmpdirSeen.clear();
  for (const auto& folder : fs::directory_iterator(gTmpdirLook)) {
    gTmpdirSeen += std::to_string(static_cast<int>(folder.status().permissions())) + ":";
    for (const auto& file : fs::directory_iterator(folder.path())) {
      gTmpdirSeen += std::to_string(static_cast<int>(file.status().permissions())) + " ";
    }
  }
}

TEST(NoltTest, WithoutProcThePrivateCopyIsOwnerOnlyUnderAnAbsoluteTmpdir) {
  namespace fs = std::filesystem;
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  testing_fs::writeFile(conf, debugTo(dir.path() + "/a.log"));
  const struct {
    bool relative;
    std::string seen;  // the folder's mode, then the copy's, in octal as decimals
  } rows[] = {{false, std::to_string(0700) + ":" + std::to_string(0600) + " "}, {true, ""}};
  for (const auto& row : rows) {
    const testing_fs::TempDir tmpdir;
    gTmpdirLook = tmpdir.path();
    const std::string given =
        row.relative ? fs::relative(tmpdir.path()).string() : tmpdir.path();
    SCOPED_TRACE(given);
    noltSetProcFdMissingForTesting(true);
    noltSetBeforeConfigureHookForTesting(&lookAtTmpdir);
    EXPECT_EQ("", initWith(conf, given));
    EXPECT_EQ(row.seen, gTmpdirSeen);
    EXPECT_TRUE(fs::is_empty(tmpdir.path()));  // and gone afterwards
  }
  cNolt::init(nullptr);
}

// The file's size limit itself is accepted; one byte more is refused.
TEST(NoltTest, AConfigurationOfExactlyTheSizeLimitIsRead) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  const std::string lines = debugTo(dir.path() + "/a.log");
  for (const size_t size : {size_t{65536}, size_t{65537}}) {
    std::string text = lines;
    while (text.size() + 1000 < size) text += "#" + std::string(998, 'c') + "\n";
    text += "#" + std::string(size - text.size() - 2, 'c') + "\n";
    ASSERT_EQ(size, text.size());
    testing_fs::writeFile(conf, text);
    EXPECT_EQ(size == 65536 ? ""
                            : "nolt: ignoring logging configuration " + conf +
                                  ": larger than 65536 bytes\n",
              initWith(conf, dir.path()));
  }
  cNolt::init(nullptr);
}

// The text is judged first (nolt_config_test.cpp), then the log files it
// names: a FIFO, which log4cpp's open would wait on when nothing reads it,
// and its writes when the reader stops reading.
TEST(NoltTest, ALogFileThatIsAFifoIsRefusedAfterTheText) {
  const struct {
    const char* settings;
    bool reader;
    const char* reason;  // empty: accepted
  } rows[] = {
      {"", false, "appender file: DIR/f.log is a FIFO: opening or writing it could wait"},
      {"", true, "appender file: DIR/f.log is a FIFO: opening or writing it could wait"},
      {"log4cpp.appender.file.maxBackupIndex=101\n", false,
       "appender file: maxBackupIndex 101 is not from 0 to 100"},
      {"log4cpp.appender.file.layout.ConversionPattern=%.2000m\n", false,
       "line 6: a width over 1024 in the pattern"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.settings);
    const testing_fs::TempDir dir;
    const std::string conf = dir.path() + "/qorid.conf";
    const std::string fifo = dir.path() + "/f.log";
    testing_fs::makeFifo(fifo);
    testing_fs::writeFile(conf, debugTo(fifo, "RollingFileAppender") + row.settings);
    const int reader = row.reader ? ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    std::string said = row.reason;
    if (const auto at = said.find("DIR"); at != std::string::npos) {
      said.replace(at, 3, dir.path());
    }
    if (!said.empty()) {
      said = "nolt: ignoring logging configuration " + conf + ": " + said + "\n";
    }
    ::testing::internal::CaptureStderr();
    cNolt::init(conf.c_str());
    EXPECT_EQ(said, ::testing::internal::GetCapturedStderr());
    cNolt::init(nullptr);
    if (reader >= 0) {
      ::close(reader);
    }
  }
}

// A FIFO put in the log file's place after it was looked at, whose reader
// never reads: the lines it cannot take are lost, said once, instead of
// holding the program once the pipe is full.
int gFifoReader = -1;
std::string gFifoPath;
void swapLogFileForFifo() {
  testing_fs::removePath(gFifoPath);
  testing_fs::makeFifo(gFifoPath);
  gFifoReader = ::open(gFifoPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

TEST(NoltTest, AFifoSwappedInForTheLogFileNeverHoldsALine) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  gFifoPath = dir.path() + "/f.log";
  testing_fs::writeFile(gFifoPath, "");
  testing_fs::writeFile(conf, debugTo(gFifoPath));
  noltSetBeforeConfigureHookForTesting(&swapLogFileForFifo);
  EXPECT_EQ("", initWith(conf, dir.path()));
  ::testing::internal::CaptureStderr();
  const std::string line(2000, 'x');
  for (int i = 0; i < 100; ++i) {  // 200 KB: past what a pipe holds
    cNolt("fifo").debug("%s", line.c_str());
  }
  EXPECT_EQ("nolt: cannot write log file " + gFifoPath + ": Resource temporarily unavailable\n",
            ::testing::internal::GetCapturedStderr());
  cNolt::init(nullptr);
  ::close(gFifoReader);
}

// Each appender is handed at most so many lines, bytes and roll-overs per
// configuration; the one that reaches a limit is named once.
TEST(NoltTest, AnAppenderPastItsLimitsIsHandedNoMoreLines) {
  const struct {
    const char* type;
    const char* settings;
    int lines;  // of `size` bytes, the newline included
    int size;
    int kept;
    const char* reached;  // empty: nothing said
  } rows[] = {
      {"FileAppender", "", 10000, 10, 10000, "10000 lines"},
      {"FileAppender", "", 10001, 10, 10000, "10000 lines"},
      {"FileAppender", "", 9999, 10, 9999, ""},
      {"FileAppender", "", 4, 1 << 20, 4, "4194304 bytes"},
      {"FileAppender", "", 5, (1 << 20) - 1, 5, "4194304 bytes"},
      {"RollingFileAppender", "maxFileSize=4096\nlog4cpp.appender.file.maxBackupIndex=100", 40,
       4096, 16, "16 roll-overs"},
      {"RollingFileAppender", "maxFileSize=4096\nlog4cpp.appender.file.maxBackupIndex=100", 15,
       4096, 15, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.type) + " " + std::to_string(row.lines) + " lines of " +
                 std::to_string(row.size));
    const testing_fs::TempDir dir;
    const std::string conf = dir.path() + "/qorid.conf";
    const std::string log = dir.path() + "/a.log";
    testing_fs::writeFile(conf, debugTo(log, row.type) + "log4cpp.appender.file." + row.settings);
    const std::string line(static_cast<size_t>(row.size - 1), 'x');
    for (int init = 0; init < 2; ++init) {  // a second configuration starts anew
      for (const auto& file : std::filesystem::directory_iterator(dir.path())) {
        if (file.path().filename().string().rfind("a.log", 0) == 0) {
          std::filesystem::remove(file.path());
        }
      }
      ::testing::internal::CaptureStderr();
      cNolt::init(conf.c_str());
      for (int i = 0; i < row.lines; ++i) {
        cNolt("budget").debug("%s", line.c_str());
      }
      int kept = 0;
      for (const auto& file : std::filesystem::directory_iterator(dir.path())) {
        if (file.path().filename().string().rfind("a.log", 0) == 0) {
          kept += static_cast<int>(std::filesystem::file_size(file.path()) / row.size);
        }
      }
      EXPECT_EQ(row.kept, kept);
      EXPECT_EQ(*row.reached == '\0' ? ""
                                     : std::string("nolt: dropping the later lines of appender "
                                                   "file: ") + row.reached +
                                           " since logging was configured\n",
                ::testing::internal::GetCapturedStderr());
    }
    cNolt::init(nullptr);
  }
}

// An appender without a file of its own (a console, a syslog server) is
// counted by what its layout writes: a pattern that pads each short message
// to 1024 bytes (1025 with its newline) reaches the 4 MiB with its 4093rd
// line, not after 466,000.
TEST(NoltTest, AConsoleIsCountedByItsPaddedLines) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  testing_fs::writeFile(conf,
                        "log4cpp.rootCategory=DEBUG, console\n"
                        "log4cpp.appender.console=ConsoleAppender\n"
                        "log4cpp.appender.console.layout=PatternLayout\n"
                        "log4cpp.appender.console.layout.ConversionPattern=%-1024m%n\n");
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  cNolt::init(conf.c_str());
  for (int i = 0; i < 5000; ++i) {
    cNolt("padded").debug("%s", "short");
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("nolt: dropping the later lines of appender console: 4194304 bytes since logging "
            "was configured\n",
            ::testing::internal::GetCapturedStderr());
  EXPECT_EQ(4093, std::count(out.begin(), out.end(), '\n'));  // the 4093rd reaches it
  cNolt::init(nullptr);
}

TEST(NoltTest, ALogFileThatCannotBeWrittenIsNamedOncePerConfiguration) {
  const testing_fs::TempDir dir;
  const std::string conf = dir.path() + "/qorid.conf";
  testing_fs::writeFile(conf, debugTo("/dev/full"));
  for (int init = 0; init < 2; ++init) {
    ::testing::internal::CaptureStderr();
    cNolt::init(conf.c_str());
    errno = EACCES;
    cNolt("full").debug("one");
    cNolt("full").debug("two");
    EXPECT_EQ(EACCES, errno) << "the caller's errno";
    EXPECT_EQ("nolt: cannot write log file /dev/full: No space left on device\n",
              ::testing::internal::GetCapturedStderr());
  }
  cNolt::init(nullptr);
}

}  // namespace
