#include "nolt/nolt.h"

#include "nolt_testing.h"

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/FileAppender.hh>
#include <log4cpp/Layout.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/NDC.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>
#include <log4cpp/RollingFileAppender.hh>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The limits of a configuration, as nolt.h states them.
constexpr size_t kMaxFileSize = 65536;
constexpr size_t kMaxLineLength = 4096;
constexpr size_t kMaxCategoryLevels = 32;
constexpr long kMaxPatternWidth = 1024;
constexpr long long kMaxBackupIndex = 100;
constexpr long long kMinRollingFileSize = 4096;
constexpr long long kMaxRollingFileSize = INT_MAX;

// The appenders that a configuration made. log4cpp's configurator hands
// them to the categories by reference, so no category deletes them: left
// alone they would keep their files open, and one of the same name in the
// next configuration would leave the first unreachable. Never destroyed, as
// log4cpp's categories are not.
std::vector<log4cpp::Appender*>& madeByConfiguration() {
  static auto* appenders = new std::vector<log4cpp::Appender*>();
  return *appenders;
}

// Undo whatever a configuration left, so that the next one (or the
// default) is the only thing in force. Owned appenders are deleted, which
// closes their files, and so are those the configuration made.
void resetCategories() {
  std::unique_ptr<std::vector<log4cpp::Category*>> all(
      log4cpp::Category::getCurrentCategories());
  for (log4cpp::Category* category : *all) {
    category->removeAllAppenders();
    category->setAdditivity(true);
    if (category != &log4cpp::Category::getRoot()) {
      category->setPriority(log4cpp::Priority::NOTSET);
    }
  }
  for (log4cpp::Appender* appender : madeByConfiguration()) {
    delete appender;
  }
  madeByConfiguration().clear();
}

// "category PRIORITY: message": what a pattern of "%c %p: %m%n" gives,
// without parsing a pattern on every start of the program.
class DefaultLayout : public log4cpp::Layout {
 public:
  std::string format(const log4cpp::LoggingEvent& event) override {
    std::string line = event.categoryName;
    line += ' ';
    line += log4cpp::Priority::getPriorityName(event.priority);
    line += ": ";
    line += event.message;
    line += '\n';
    return line;
  }
};

void configureDefault() {
  log4cpp::Category& root = log4cpp::Category::getRoot();
  auto* appender = new log4cpp::OstreamAppender("stderr", &std::cerr);
  appender->setLayout(new DefaultLayout());
  root.addAppender(appender);  // the category owns the appender
  root.setPriority(log4cpp::Priority::ERROR);
}

size_t levelsOf(const std::string& categoryName) {
  return static_cast<size_t>(std::count(categoryName.begin(), categoryName.end(), '.')) + 1;
}

// --- descriptors ------------------------------------------------------------

void keepFromExec(int fd) {
  const int flags = ::fcntl(fd, F_GETFD);
  if (flags >= 0 && (flags & FD_CLOEXEC) == 0) {
    (void)::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
  }
}

// The open descriptors, in order. log4cpp opens its files without
// close-on-exec and does not say which: what is open after configuring and
// was not before is what it opened.
std::vector<int> openDescriptors() {
  std::vector<int> fds;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(dir);
    // readdir is safe on a stream of one's own; readdir_r is deprecated.
    // cppcheck-suppress readdirCalled
    while (const struct dirent* entry = ::readdir(dir)) {
      char* end = nullptr;
      const long fd = std::strtol(entry->d_name, &end, 10);
      if (end != entry->d_name && *end == '\0' && fd != own) {
        fds.push_back(static_cast<int>(fd));
      }
    }
    ::closedir(dir);
  } else {
    // Without /proc: as many as a process of this kind ever holds.
    for (int fd = 0; fd < 1024; ++fd) {
      if (::fcntl(fd, F_GETFD) != -1) {
        fds.push_back(fd);
      }
    }
  }
  std::sort(fds.begin(), fds.end());
  return fds;
}

void keepNewFromExec(const std::vector<int>& before) {
  for (const int fd : openDescriptors()) {
    if (!std::binary_search(before.begin(), before.end(), fd)) {
      keepFromExec(fd);
    }
  }
}

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

class Descriptor {
 public:
  explicit Descriptor(int fd) : mFd(fd) {}
  ~Descriptor() {
    if (mFd >= 0) {
      ::close(mFd);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int fd() const { return mFd; }

 private:
  int mFd;
};

// --- reading and checking the configuration ----------------------------------

enum class Outcome { kAbsent, kConfigured, kRefused };

// What became of a configuration, and why when it was refused.
struct Verdict {
  Outcome outcome = Outcome::kConfigured;
  std::string reason;
};

Verdict refused(std::string reason) { return {Outcome::kRefused, std::move(reason)}; }

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a directory, not a regular file";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO, not a regular file";
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return "a device, not a regular file";
  }
  return "not a regular file";
}

// Opening never waits (a FIFO would, for a writer), and only a regular file
// is read, up to one byte past the limit to tell that it is too large.
Verdict readConfiguration(const char* path, std::string& text) {
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.fd() < 0) {
    if (errno == ENOENT) {
      return {Outcome::kAbsent, {}};
    }
    return refused(std::strerror(errno));
  }
  struct stat st;
  if (::fstat(file.fd(), &st) != 0) {
    return refused(std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    return refused(kindOf(st.st_mode));
  }
  text.resize(kMaxFileSize + 1);
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(file.fd(), &text[got], text.size() - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return refused(std::strerror(errno));
    }
    if (n == 0) {
      break;
    }
    got += static_cast<size_t>(n);
  }
  text.resize(got);
  if (got > kMaxFileSize) {
    return refused("larger than " + std::to_string(kMaxFileSize) + " bytes");
  }
  return {};
}

std::string trimmed(const std::string& text) {
  const char* const blanks = " \t\r\n";
  const std::string::size_type first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A value with its ${NAME} variables substituted as log4cpp substitutes
// them (the environment first, then the properties before it), for the
// checks to see what log4cpp will use. False when it grows past the limit:
// variables that name each other would double it line after line.
bool substituted(const std::string& value, const std::map<std::string, std::string>& earlier,
                 std::string& result) {
  result.clear();
  std::string::size_type left = 0;
  for (;;) {
    const std::string::size_type open = value.find("${", left);
    if (open == std::string::npos) {
      result.append(value, left);
      break;
    }
    result.append(value, left, open - left);
    const std::string::size_type close = value.find('}', open + 2);
    if (close == std::string::npos) {
      result.append(value, open);
      break;
    }
    const std::string name = value.substr(open + 2, close - open - 2);
    if (name == "${") {
      result += name;  // log4cpp's way of writing "${" itself
    } else if (const char* environment = std::getenv(name.c_str())) {
      result += environment;
    } else if (const auto known = earlier.find(name); known != earlier.end()) {
      result += known->second;
    }
    left = close + 1;
    if (result.size() > kMaxLineLength) {
      return false;
    }
  }
  return result.size() <= kMaxLineLength;
}

// The widths of a ConversionPattern: "%-20m" pads to 20, "%.30m" cuts at
// 30. log4cpp builds the padding for every line logged, so a width near
// INT_MAX asks for gigabytes (or throws) on each one.
bool widthsFit(const std::string& pattern) {
  const std::string::size_type size = pattern.size();
  for (std::string::size_type i = 0; i < size; ++i) {
    if (pattern[i] != '%') {
      continue;
    }
    if (++i < size && pattern[i] == '%') {
      continue;  // a percent sign
    }
    if (i < size && pattern[i] == '-') {
      ++i;
    }
    for (bool afterDot = false;; afterDot = true) {
      long width = 0;
      while (i < size && pattern[i] >= '0' && pattern[i] <= '9') {
        width = std::min(width * 10 + (pattern[i] - '0'), kMaxPatternWidth + 1);
        ++i;
      }
      if (width > kMaxPatternWidth) {
        return false;
      }
      if (afterDot || i >= size || pattern[i] != '.') {
        break;
      }
      ++i;
    }
  }
  return true;
}

// A number that log4cpp reads with atoi: blanks, a sign, digits, and 0 when
// there are none. atoi squeezes a larger number into an int ("4294967396"
// becomes 100), so the number is judged whole: `value` is exact within
// +-2^40, which no limit comes near, and `shown` is the whole number, sign
// and digits without leading zeros, for the reason given.
struct Setting {
  long long value = 0;
  std::string shown;
};

Setting settingOf(const std::string& text) {
  constexpr long long kBeyondAnyLimit = 1LL << 40;
  std::string::size_type i = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  Setting setting;
  std::string digits;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (!digits.empty() || text[i] != '0') {
      digits += text[i];
    }
    setting.value = std::min(setting.value * 10 + (text[i] - '0'), kBeyondAnyLimit);
  }
  if (digits.empty()) {
    setting.shown = "0";
  } else {
    setting.shown = (negative ? "-" : "") + digits;
  }
  if (negative) {
    setting.value = -setting.value;
  }
  return setting;
}

// The appenders that log4cpp makes: one for each key "appender.NAME" where
// NAME has no dot.
std::vector<std::string> appenderNamesOf(const std::map<std::string, std::string>& values) {
  const std::string prefix = "appender.";
  std::vector<std::string> names;
  for (auto it = values.lower_bound(prefix);
       it != values.end() && startsWith(it->first, prefix.c_str()); ++it) {
    if (it->first.find('.', prefix.size()) == std::string::npos) {
      names.push_back(it->first.substr(prefix.size()));
    }
  }
  return names;
}

// A rolling appender renames its backups one by one whenever the file has
// grown to maxFileSize: an index near UINT_MAX (-1 becomes that) and a tiny
// size make every logged line take hours. log4cpp takes an appender's type
// from the last dot-separated part of the value of "appender.NAME".
std::string rollingProblemOf(const std::map<std::string, std::string>& values,
                             const std::vector<std::string>& appenders) {
  for (const std::string& name : appenders) {
    const std::string key = "appender." + name;
    const std::string& type = values.at(key);
    const std::string::size_type dot = type.find_last_of('.');
    if ((dot == std::string::npos ? type : type.substr(dot + 1)) != "RollingFileAppender") {
      continue;
    }
    const std::string at = "appender " + name + ": ";
    if (const auto index = values.find(key + ".maxBackupIndex"); index != values.end()) {
      const Setting setting = settingOf(index->second);
      if (setting.value < 0 || setting.value > kMaxBackupIndex) {
        return at + "maxBackupIndex " + setting.shown + " is not from 0 to " +
               std::to_string(kMaxBackupIndex);
      }
    }
    if (const auto size = values.find(key + ".maxFileSize"); size != values.end()) {
      const Setting setting = settingOf(size->second);
      if (setting.value < kMinRollingFileSize) {
        return at + "maxFileSize " + setting.shown + " is below " +
               std::to_string(kMinRollingFileSize) + " bytes";
      }
      if (setting.value > kMaxRollingFileSize) {
        return at + "maxFileSize " + setting.shown + " is above " +
               std::to_string(kMaxRollingFileSize) + " bytes";
      }
    }
  }
  return {};
}

// A file appender opens its file for writing without O_NONBLOCK: a FIFO
// that nothing reads would hold the program there until something does.
// log4cpp takes the type as for rolling appenders and a missing fileName
// as "foobar".
std::string fileProblemOf(const std::map<std::string, std::string>& values,
                          const std::vector<std::string>& appenders) {
  for (const std::string& name : appenders) {
    const std::string key = "appender." + name;
    const std::string& type = values.at(key);
    const std::string::size_type dot = type.find_last_of('.');
    const std::string kind = dot == std::string::npos ? type : type.substr(dot + 1);
    if (kind != "FileAppender" && kind != "RollingFileAppender" &&
        kind != "DailyRollingFileAppender") {
      continue;
    }
    const auto file = values.find(key + ".fileName");
    const std::string path = file != values.end() ? file->second : "foobar";
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
      continue;
    }
    const Descriptor reader(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (reader.fd() < 0 && errno == ENXIO) {
      std::string problem = "appender " + name + ": ";
      problem += path;
      problem += " is a FIFO that nothing reads: opening it would wait";
      return problem;
    }
  }
  return {};
}

// A line as log4cpp's reader puts it together: it takes up to 255 bytes
// at a time into a C string, so each piece ends at its first NUL. Bytes after
// a NUL in a piece are never seen; the next piece is.
std::string asLog4cppReadsIt(const std::string& text, std::string::size_type start,
                             std::string::size_type end) {
  constexpr std::string::size_type kPiece = 255;
  std::string line;
  for (std::string::size_type at = start; at < end; at += kPiece) {
    const std::string::size_type piece = std::min(kPiece, end - at);
    const void* nul = std::memchr(text.data() + at, '\0', piece);
    line.append(text, at,
                nul != nullptr ? static_cast<std::string::size_type>(
                                     static_cast<const char*>(nul) - (text.data() + at))
                               : piece);
  }
  return line;
}

// What log4cpp would choke on, read line by line as log4cpp reads the
// file: text from '#' on is a comment, a line without '=' is skipped, the
// key and the value are trimmed and the key loses a leading "log4cpp." or
// "log4j.". Returns the reason to refuse the text, empty when it may go on;
// `appenders` gets the names of the appenders log4cpp will make.
std::string problemOf(const std::string& text, std::vector<std::string>& appenders) {
  std::map<std::string, std::string> values;
  size_t number = 0;
  for (std::string::size_type start = 0; start < text.size();) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    ++number;
    const std::string at = "line " + std::to_string(number);
    if (end - start > kMaxLineLength) {
      return at + " is longer than " + std::to_string(kMaxLineLength) + " bytes";
    }
    std::string line = asLog4cppReadsIt(text, start, end);
    line.erase(std::min(line.find('#'), line.size()));
    start = end + 1;
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos) {
      continue;
    }
    std::string key = trimmed(line.substr(0, equals));
    if (startsWith(key, "log4cpp.") || startsWith(key, "log4j.")) {
      key.erase(0, key.find('.') + 1);
    }
    std::string value;
    if (!substituted(trimmed(line.substr(equals + 1)), values, value)) {
      return at + ": the value is longer than " + std::to_string(kMaxLineLength) +
             " bytes with its variables substituted";
    }
    for (const char* prefix : {"category.", "additivity."}) {
      if (startsWith(key, prefix) &&
          levelsOf(key.substr(std::strlen(prefix))) > kMaxCategoryLevels) {
        return at + ": a category name of more than " + std::to_string(kMaxCategoryLevels) +
               " levels";
      }
    }
    const std::string pattern = "ConversionPattern";
    if (key.size() >= pattern.size() &&
        key.compare(key.size() - pattern.size(), pattern.size(), pattern) == 0 &&
        !widthsFit(value)) {
      return at + ": a width over " + std::to_string(kMaxPatternWidth) + " in the pattern";
    }
    values.emplace(key, value);  // the first value of a key counts, as in log4cpp
  }
  appenders = appenderNamesOf(values);
  std::string problem = rollingProblemOf(values, appenders);
  return problem.empty() ? fileProblemOf(values, appenders) : problem;
}

// All of `text` to `fd`; false with errno set when that cannot be done.
bool writeAll(int fd, const std::string& text) {
  for (size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (n == 0) {
        errno = EIO;  // no progress and no error: it would never end
      }
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return true;
}

// The checked bytes as a file of their own, for when log4cpp cannot reach
// them through /proc. The folder is made fresh and only its owner may enter
// it, so nothing can be put in the file's place; file and folder go with
// the object, whatever became of the configuring.
class PrivateCopy {
 public:
  PrivateCopy() = default;
  ~PrivateCopy() {
    if (!mFile.empty()) {
      (void)::unlink(mFile.c_str());
    }
    if (!mFolder.empty()) {
      (void)::rmdir(mFolder.c_str());
    }
  }
  PrivateCopy(const PrivateCopy&) = delete;
  PrivateCopy& operator=(const PrivateCopy&) = delete;

  // Why the copy could not be made; empty when it was.
  std::string make(const std::string& text) {
    // TMPDIR where it is an absolute path that works, else /tmp: a TMPDIR
    // inherited from elsewhere (a chroot's caller) must not cost the
    // configuration.
    const char* tmpdir = std::getenv("TMPDIR");
    std::vector<std::string> bases;
    if (tmpdir != nullptr && tmpdir[0] == '/' && std::strcmp(tmpdir, "/tmp") != 0) {
      bases.emplace_back(tmpdir);
    }
    bases.emplace_back("/tmp");
    std::string folder;
    for (const std::string& base : bases) {
      folder = base + "/nolt-XXXXXX";
      if (::mkdtemp(folder.data()) != nullptr) {
        break;
      }
      if (&base == &bases.back()) {
        return "mkdtemp " + base + ": " + std::strerror(errno);
      }
    }
    mFolder = folder;
    const std::string file = folder + "/configuration";
    const Descriptor copy(
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (copy.fd() < 0) {
      return "open " + file + ": " + std::strerror(errno);
    }
    mFile = file;
    if (!writeAll(copy.fd(), text)) {
      return "write " + file + ": " + std::strerror(errno);
    }
    return {};
  }

  [[nodiscard]] const std::string& path() const { return mFile; }

 private:
  std::string mFolder;
  std::string mFile;
};

// Test seams (nolt_testing.h).
bool gProcFdMissing = false;
void (*gBeforeConfigure)() = nullptr;

// log4cpp reads its configuration from a path. It is given one that leads
// to the checked bytes, so that it reads what was checked and not whatever
// the file holds by then: the checked file may have been replaced by a FIFO
// or by something past the limits. Where /proc/self/fd cannot be read (a
// root whose /proc is a plain folder), the path is that of a private copy.
Verdict configureFrom(const std::string& text, const std::vector<std::string>& appenders) {
  const Descriptor memory(::memfd_create("nolt-configuration", MFD_CLOEXEC));
  if (memory.fd() < 0 || !writeAll(memory.fd(), text)) {
    return refused(std::string("cannot hold it in memory: ") + std::strerror(errno));
  }
  std::string source = "/proc/self/fd/" + std::to_string(memory.fd());
  PrivateCopy copy;
  if (gProcFdMissing || ::access(source.c_str(), R_OK) != 0) {
    const std::string why = copy.make(text);
    if (!why.empty()) {
      return refused("cannot hand it to log4cpp without /proc: " + why);
    }
    source = copy.path();
  }
  if (gBeforeConfigure != nullptr) {
    gBeforeConfigure();
  }
  const std::vector<int> before = openDescriptors();
  std::vector<log4cpp::Appender*> earlier(appenders.size());
  std::transform(appenders.begin(), appenders.end(), earlier.begin(),
                 [](const std::string& name) { return log4cpp::Appender::getAppender(name); });
  Verdict verdict;
  try {
    log4cpp::PropertyConfigurator::configure(source);
  } catch (const std::exception& e) {
    verdict = refused(e.what());
  } catch (...) {
    verdict = refused("unknown error");
  }
  // Also after a failure: appenders made before it may stay open.
  keepNewFromExec(before);
  for (size_t i = 0; i < appenders.size(); ++i) {
    log4cpp::Appender* now = log4cpp::Appender::getAppender(appenders[i]);
    if (now != nullptr && now != earlier[i]) {
      madeByConfiguration().push_back(now);
    }
  }
  return verdict;
}

Verdict configure(const char* path) {
  std::string text;
  Verdict read = readConfiguration(path, text);
  if (read.outcome != Outcome::kConfigured) {
    return read;
  }
  std::vector<std::string> appenders;
  std::string problem = problemOf(text, appenders);
  if (!problem.empty()) {
    return refused(std::move(problem));
  }
  return configureFrom(text, appenders);
}

// --- log files that cannot be used ---------------------------------------------

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

void nameUnopenedFiles() {
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

// The caller's errno is the caller's: logging between a failing call and
// the use of its errno must not change it.
class ErrnoKept {
 public:
  ErrnoKept() : mErrno(errno) {}
  ~ErrnoKept() { errno = mErrno; }
  ErrnoKept(const ErrnoKept&) = delete;
  ErrnoKept& operator=(const ErrnoKept&) = delete;

 private:
  int mErrno;
};

// --- logging -------------------------------------------------------------------

std::string formatted(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  char small[512];
  const int length = std::vsnprintf(small, sizeof small, format, again);
  va_end(again);
  if (length < 0) {
    return {};
  }
  if (static_cast<size_t>(length) < sizeof small) {
    return {small, static_cast<size_t>(length)};
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  (void)std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

// What log4cpp's own level methods do, with every exception caught: they
// are declared not to throw, so an exception from a layout (a width that
// cannot be allocated) ends the program inside them.
void logv(log4cpp::Category* category, log4cpp::Priority::Value priority,
          const char* format, va_list args) {
  if (category == nullptr || format == nullptr) {
    return;
  }
  const ErrnoKept callers;
  try {
    if (!category->isPriorityEnabled(priority)) {
      return;  // formatted only when it goes somewhere
    }
    const log4cpp::LoggingEvent event(category->getName(), formatted(format, args),
                                      log4cpp::NDC::get(), priority);
    for (log4cpp::Category* at = category; at != nullptr;
         at = at->getAdditivity() ? at->getParent() : nullptr) {
      for (log4cpp::Appender* appender : at->getAllAppenders()) {
        errno = 0;
        try {
          appender->doAppend(event);
        } catch (...) {
          // This appender loses the line; the others still get it.
        }
        const int error = errno;
        const auto* file = dynamic_cast<const log4cpp::FileAppender*>(appender);
        if (file != nullptr && isWriteError(error)) {
          nameOnce(*file, "write", std::strerror(error));
        }
        if (dynamic_cast<const log4cpp::RollingFileAppender*>(appender) != nullptr) {
          keepFromExec(FileAppenderAccess::fd(*file));
        }
      }
    }
  } catch (...) {
    // Logging is optional: it must never stop the program.
  }
}

}  // namespace

void noltSetProcFdMissingForTesting(bool missing) { gProcFdMissing = missing; }

void noltSetBeforeConfigureHookForTesting(void (*hook)()) { gBeforeConfigure = hook; }

void cNolt::init(const char* path) {
  try {
    // A second init starts from nothing, as the first: otherwise the first
    // one's appenders (a second stderr appender) would stay.
    resetCategories();
    named().clear();
    if (path != nullptr) {
      const Verdict verdict = configure(path);
      switch (verdict.outcome) {
        case Outcome::kConfigured:
          nameUnopenedFiles();
          return;
        case Outcome::kRefused:
          (void)std::fprintf(stderr, "nolt: ignoring logging configuration %s: %s\n", path,
                             verdict.reason.c_str());
          resetCategories();
          break;
        case Outcome::kAbsent:
          break;
      }
    }
    configureDefault();
  } catch (...) {
    // Logging is optional: a failure here must never stop the program.
  }
}

cNolt::cNolt(const char* name) : mCategory(nullptr) {
  try {
    const std::string categoryName = name != nullptr ? name : "";
    // log4cpp makes and walks a category's parents by recursion.
    if (levelsOf(categoryName) <= kMaxCategoryLevels) {
      mCategory = &log4cpp::Category::getInstance(categoryName);
    }
  } catch (...) {
    mCategory = nullptr;
  }
}

#define NOLT_LEVEL_METHOD(method, priority)              \
  void cNolt::method(const char* format, ...) {          \
    va_list args;                                        \
    va_start(args, format);                              \
    logv(mCategory, log4cpp::Priority::priority, format, args); \
    va_end(args);                                        \
  }

// NOLINTBEGIN(cert-dcl50-cpp): printf-style C varargs are cNolt's interface
NOLT_LEVEL_METHOD(debug, DEBUG)
NOLT_LEVEL_METHOD(info, INFO)
NOLT_LEVEL_METHOD(warn, WARN)
NOLT_LEVEL_METHOD(error, ERROR)
NOLT_LEVEL_METHOD(fatal, FATAL)
// NOLINTEND(cert-dcl50-cpp)
