#include "nolt/nolt.h"

#include "nolt/config_check.h"
#include "nolt/config_file.h"
#include "nolt/descriptors.h"
#include "nolt/log_files.h"
#include "nolt/nolt_testing.h"

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/Layout.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/NDC.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

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

enum class Outcome { kAbsent, kConfigured, kRefused };

// What became of a configuration, and why when it was refused.
struct Verdict {
  Outcome outcome = Outcome::kConfigured;
  std::string reason;
};

Verdict refused(std::string reason) { return {Outcome::kRefused, std::move(reason)}; }

void (*gBeforeConfigure)() = nullptr;  // noltSetBeforeConfigureHookForTesting

// log4cpp reads its configuration from a path. It is given one that leads
// to the checked bytes, so that it reads what was checked and not whatever
// the file holds by then: the checked file may have been replaced by a FIFO
// or by something past the limits.
Verdict configureFrom(const std::string& text, const std::vector<std::string>& appenders) {
  const nolt::CheckedText source(text);
  if (!source.problem().empty()) {
    return refused(source.problem());
  }
  if (gBeforeConfigure != nullptr) {
    gBeforeConfigure();
  }
  const std::vector<int> before = nolt::openDescriptors();
  std::vector<log4cpp::Appender*> earlier(appenders.size());
  std::transform(appenders.begin(), appenders.end(), earlier.begin(),
                 [](const std::string& name) { return log4cpp::Appender::getAppender(name); });
  Verdict verdict;
  try {
    log4cpp::PropertyConfigurator::configure(source.path());
  } catch (const std::exception& e) {
    verdict = refused(e.what());
  } catch (...) {
    verdict = refused("unknown error");
  }
  // Also after a failure: appenders made before it may stay open.
  nolt::keepNewFromExec(before);
  for (size_t i = 0; i < appenders.size(); ++i) {
    log4cpp::Appender* now = log4cpp::Appender::getAppender(appenders[i]);
    if (now != nullptr && now != earlier[i]) {
      madeByConfiguration().push_back(now);
    }
  }
  return verdict;
}

const char* environmentValue(const char* name) { return std::getenv(name); }

// The problems of the text come first, then those of the log files it
// names: only a text that holds to the limits is worth looking at files for.
Verdict configure(const char* path) {
  nolt::ConfigFile file = nolt::readConfigFile(path);
  if (!file.found) {
    return {Outcome::kAbsent, {}};
  }
  if (!file.problem.empty()) {
    return refused(std::move(file.problem));
  }
  nolt::ConfigVerdict checked = nolt::checkConfiguration(file.text, &environmentValue);
  if (!checked.problem.empty()) {
    return refused(std::move(checked.problem));
  }
  std::string problem = nolt::fifoProblemOf(checked.files);
  if (!problem.empty()) {
    return refused(std::move(problem));
  }
  return configureFrom(file.text, checked.appenders);
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
    const size_t configured = madeByConfiguration().size();
    if (configured != 0 && nolt::spentAppenders() >= configured) {
      return;  // every appender of the configuration has had what it may
    }
    // Only the appenders that still take lines; when none does (each has
    // had what it may, or its threshold stops the line), the line costs no
    // more than this.
    std::vector<log4cpp::Appender*> appenders;
    for (log4cpp::Category* at = category; at != nullptr;
         at = at->getAdditivity() ? at->getParent() : nullptr) {
      const log4cpp::AppenderSet all = at->getAllAppenders();
      std::copy_if(all.begin(), all.end(), std::back_inserter(appenders),
                   [priority](log4cpp::Appender* appender) {
                     return nolt::mayAppend(*appender, priority);
                   });
    }
    if (appenders.empty()) {
      return;
    }
    const log4cpp::LoggingEvent event(category->getName(), formatted(format, args),
                                      log4cpp::NDC::get(), priority);
    for (log4cpp::Appender* appender : appenders) {
      errno = 0;
      try {
        appender->doAppend(event);
      } catch (...) {
        // This appender loses the line; the others still get it.
      }
      nolt::afterAppend(*appender, event, errno);
    }
  } catch (...) {
    // Logging is optional: it must never stop the program.
  }
}

}  // namespace

void noltSetBeforeConfigureHookForTesting(void (*hook)()) { gBeforeConfigure = hook; }

void cNolt::init(const char* path) {
  try {
    // A second init starts from nothing, as the first: otherwise the first
    // one's appenders (a second stderr appender) would stay.
    resetCategories();
    nolt::forgetAppenders();
    if (path != nullptr) {
      const Verdict verdict = configure(path);
      switch (verdict.outcome) {
        case Outcome::kConfigured:
          nolt::checkLogFiles();
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
    if (nolt::categoryLevelsFit(categoryName)) {
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
