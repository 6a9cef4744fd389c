#include "log_files.h"

#include "descriptors.h"

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/FileAppender.hh>
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
bool isWriteError(int error) {
  switch (error) {
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

// A file appender opens its file for writing without O_NONBLOCK: a FIFO
// that nothing reads would hold the program there until something does.
std::string fifoProblemOf(const std::vector<AppenderFile>& files) {
  for (const AppenderFile& file : files) {
    struct stat st;
    if (::stat(file.path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
      continue;
    }
    const Descriptor reader(::open(file.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (reader.fd() < 0 && errno == ENXIO) {
      return "appender " + file.appender + ": " + file.path +
             " is a FIFO that nothing reads: opening it would wait";
    }
  }
  return {};
}

void forgetNamedLogFiles() { named().clear(); }

void nameUnopenedLogFiles() {
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
    if (FileAppenderAccess::fd(*file) < 0 && !name.empty()) {
      nameOnce(*file, "open", whyNotOpened(name));
    }
  }
}

void afterAppend(const log4cpp::Appender& appender, int error) {
  const auto* file = dynamic_cast<const log4cpp::FileAppender*>(&appender);
  if (file == nullptr) {
    return;
  }
  if (isWriteError(error)) {
    nameOnce(*file, "write", std::strerror(error));
  }
  if (dynamic_cast<const log4cpp::RollingFileAppender*>(file) != nullptr) {
    keepFromExec(FileAppenderAccess::fd(*file));
  }
}

}  // namespace nolt
