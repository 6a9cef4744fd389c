#include "nolt/log_files.h"

#include "nolt/descriptors.h"

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/FileAppender.hh>
#include <log4cpp/Layout.hh>
#include <log4cpp/LayoutAppender.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/RollingFileAppender.hh>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>

namespace nolt {

namespace {

// The descriptor and file of a file appender, which log4cpp keeps to
// itself: a rolling appender reopens its file while logging, again without
// close-on-exec (a plain file appender keeps the descriptor that init
// marked), and a file that could not be opened is a descriptor of -1.
struct FileAppenderAccess : log4cpp::FileAppender {
  static int fd(const log4cpp::FileAppender& appender) {
    return appender.*(&FileAppenderAccess::_fd);
  }
  static const std::string& fileName(const log4cpp::FileAppender& appender) {
    return appender.*(&FileAppenderAccess::_fileName);
  }
};

// log4cpp gives an appender's layout to its own subclasses only.
struct LayoutAccess : log4cpp::LayoutAppender {
  static log4cpp::Layout& of(log4cpp::LayoutAppender& appender) {
    return (appender.*(&LayoutAccess::_getLayout))();
  }
};

// The bytes of the line `appender` was handed, as its layout writes it: a
// pattern's widths pad a short message to many times its size, and that is
// what a console or a syslog server gets. The message's bytes for an
// appender without a layout.
size_t lineBytes(log4cpp::Appender& appender, const log4cpp::LoggingEvent& event) {
  auto* withLayout = dynamic_cast<log4cpp::LayoutAppender*>(&appender);
  return withLayout != nullptr ? LayoutAccess::of(*withLayout).format(event).size()
                               : event.message.size();
}

// A descriptor that log4cpp's blocking writes could wait on for ever: a FIFO
// whose reader does not read, a socket. Made non-blocking: a line it cannot
// take at once is lost, and said as a failed write.
void neverWaitOn(int fd) {
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
    return;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) == 0) {
    (void)::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  }
}

// What an appender was handed since the configuration was made. A log file
// that is the same file as before grew by what was written; one that is
// another file (a rolling appender made it anew) rolled over.
struct Budget {
  size_t lines = 0;
  size_t bytes = 0;
  size_t rollOvers = 0;
  struct stat file {};  // the log file after the last line; st_nlink 0 while unknown
  bool spent = false;
};

// Never destroyed, as log4cpp's categories are not.
std::unordered_map<const log4cpp::Appender*, Budget>& budgets() {
  static auto* all = new std::unordered_map<const log4cpp::Appender*, Budget>();
  return *all;
}

// The log file of a file appender as it is now; st_nlink 0 where there is
// no regular file to count by.
struct stat fileOf(const log4cpp::FileAppender* file) {
  struct stat st {};
  const int fd = file != nullptr ? FileAppenderAccess::fd(*file) : -1;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    st = {};
  }
  return st;
}

// log4cpp loses every line of a log file it cannot open or write, without a
// word. It is said once per file appender and configuration: these have
// been named since the last init. Never destroyed, as log4cpp's categories
// are not: a line may be logged while the program's statics go.
std::set<const log4cpp::Appender*>& named() {
  static auto* appenders = new std::set<const log4cpp::Appender*>();
  return *appenders;
}

void nameOnce(const log4cpp::FileAppender& file, const char* failed, const std::string& why) {
  if (named().insert(&file).second) {
    (void)std::fprintf(stderr, "nolt: cannot %s log file %s: %s\n", failed,
                       FileAppenderAccess::fileName(file).c_str(), why.c_str());
  }
}

// log4cpp does not keep why its open failed. Opening again, without
// creating anything, gives the reason; a file that does not exist was not
// made for a reason its folder tells.
std::string whyNotOpened(const std::string& name) {
  const Descriptor probe(
      ::open(name.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (probe.fd() >= 0) {
    return "it could not be opened while logging was configured";
  }
  if (errno != ENOENT) {
    return std::strerror(errno);
  }
  const std::string::size_type slash = name.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  return std::strerror(::access(folder.c_str(), W_OK | X_OK) != 0 ? errno : ENOENT);
}

// log4cpp ignores what write returns, so a failed write shows only in
// errno. A layout can leave other values there on a line that was written
// (a date without /etc/localtime leaves ENOENT): only these count.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): an errno, then a descriptor
bool isWriteError(int error, int fd) {
  switch (error) {
    case EAGAIN:
      return fd >= 0 && (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EBADF:
    case EROFS:
    case EPIPE:
    case ENXIO:
      return true;
    default:
      return false;
  }
}

}  // namespace

// A file appender opens and writes its file without O_NONBLOCK: a FIFO would
// hold the program in the open until something reads it, and in every write
// once the reader stops reading.
std::string fifoProblemOf(const std::vector<AppenderFile>& files) {
  for (const AppenderFile& file : files) {
    struct stat st;
    if (::stat(file.path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
      return "appender " + file.appender + ": " + file.path +
             " is a FIFO: opening or writing it could wait";
    }
  }
  return {};
}

size_t gSpent = 0;  // appenders that reached a limit

void forgetAppenders() {
  named().clear();
  budgets().clear();
  gSpent = 0;
}

size_t spentAppenders() { return gSpent; }

void checkLogFiles() {
  std::unique_ptr<std::vector<log4cpp::Category*>> all(
      log4cpp::Category::getCurrentCategories());
  std::vector<const log4cpp::FileAppender*> files;
  for (const log4cpp::Category* category : *all) {
    for (log4cpp::Appender* appender : category->getAllAppenders()) {
      if (const auto* file = dynamic_cast<const log4cpp::FileAppender*>(appender)) {
        files.push_back(file);
      }
    }
  }
  // One line for each, the same order every time.
  std::sort(files.begin(), files.end(), [](const auto* a, const auto* b) {
    return std::make_pair(a->getName(), a) < std::make_pair(b->getName(), b);
  });
  for (const log4cpp::FileAppender* file : files) {
    const std::string& name = FileAppenderAccess::fileName(*file);
    const int fd = FileAppenderAccess::fd(*file);
    if (fd < 0 && !name.empty()) {
      nameOnce(*file, "open", whyNotOpened(name));
    }
    neverWaitOn(fd);
  }
}

bool mayAppend(log4cpp::Appender& appender, log4cpp::Priority::Value priority) {
  const log4cpp::Priority::Value threshold = appender.getThreshold();
  if (threshold != log4cpp::Priority::NOTSET && priority > threshold) {
    return false;  // log4cpp would not write it
  }
  Budget& budget = budgets()[&appender];
  if (budget.lines == 0) {
    budget.file = fileOf(dynamic_cast<const log4cpp::FileAppender*>(&appender));
  }
  return !budget.spent;
}

void afterAppend(log4cpp::Appender& appender, const log4cpp::LoggingEvent& event, int error) {
  const auto* file = dynamic_cast<const log4cpp::FileAppender*>(&appender);
  if (file != nullptr && isWriteError(error, FileAppenderAccess::fd(*file))) {
    nameOnce(*file, "write", std::strerror(error));
  }
  const bool rolling = dynamic_cast<const log4cpp::RollingFileAppender*>(file) != nullptr;
  if (rolling) {
    keepFromExec(FileAppenderAccess::fd(*file));
  }
  Budget& budget = budgets()[&appender];
  const struct stat now = fileOf(file);
  const bool same = now.st_nlink != 0 && budget.file.st_nlink != 0 &&
                    now.st_dev == budget.file.st_dev && now.st_ino == budget.file.st_ino;
  if (same && now.st_size >= budget.file.st_size) {
    budget.bytes += static_cast<size_t>(now.st_size - budget.file.st_size);
  } else {
    budget.bytes += lineBytes(appender, event);
    budget.rollOvers += now.st_nlink != 0 && budget.file.st_nlink != 0 ? 1 : 0;
    if (rolling && now.st_nlink == 0) {
      neverWaitOn(FileAppenderAccess::fd(*file));  // reopened as something else
    }
  }
  budget.file = now;
  ++budget.lines;
  std::string reached;
  if (budget.lines >= kMaxAppendedLines) {
    reached = std::to_string(kMaxAppendedLines) + " lines";
  } else if (budget.bytes >= kMaxAppendedBytes) {
    reached = std::to_string(kMaxAppendedBytes) + " bytes";
  } else if (budget.rollOvers >= kMaxRollOvers) {
    reached = std::to_string(kMaxRollOvers) + " roll-overs";
  }
  if (!reached.empty() && !budget.spent) {
    budget.spent = true;
    ++gSpent;
    (void)std::fprintf(stderr,
                       "nolt: dropping the later lines of appender %s: %s since logging was "
                       "configured\n",
                       appender.getName().c_str(), reached.c_str());
  }
}

}  // namespace nolt
