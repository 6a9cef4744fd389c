#include "nolt/nolt.h"

#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/Layout.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Undo whatever a rejected configuration file left half done, so that the
// default below is the only thing in force.
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

bool fileExists(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 || errno != ENOENT;
}

void logv(log4cpp::Category* category, log4cpp::Priority::Value priority,
          const char* format, va_list args) {
  if (category == nullptr || format == nullptr) {
    return;
  }
  // logva checks the priority before it formats anything.
  category->logva(priority, format, args);
}

}  // namespace

void cNolt::init(const char* path) {
  try {
    if (path != nullptr && fileExists(path)) {
      try {
        log4cpp::PropertyConfigurator::configure(path);
        return;
      } catch (const std::exception& e) {
        (void)std::fprintf(
            stderr, "nolt: ignoring logging configuration %s: %s\n", path,
            e.what());
      } catch (...) {
        (void)std::fprintf(
            stderr, "nolt: ignoring logging configuration %s: unknown error\n",
            path);
      }
      resetCategories();
    }
    configureDefault();
  } catch (...) {
    // Logging is optional: a failure here must never stop the program.
  }
}

cNolt::cNolt(const char* name) : mCategory(nullptr) {
  try {
    mCategory = &log4cpp::Category::getInstance(name != nullptr ? name : "");
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
