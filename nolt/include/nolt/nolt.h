// cNolt: a named logger with printf-style level methods, built on log4cpp.
#ifndef NOLT_NOLT_H_
#define NOLT_NOLT_H_

#define NOLT_EXPORT __attribute__((visibility("default")))
#define NOLT_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

namespace log4cpp {
class Category;
}

// A cNolt writes to the log4cpp category of its name. Objects are cheap
// handles: copying one copies the handle, and the category lives until the
// process ends. Not thread-safe with respect to a concurrent init().
class NOLT_EXPORT cNolt {
 public:
  // Configures logging for the whole process from a log4cpp properties file.
  // A missing file gives the default: ERROR and above to standard error.
  // A file that log4cpp rejects gives one line on standard error naming the
  // file and the reason, then the same default. Never throws.
  static void init(const char* path);

  // Selects the category called `name` (created on first use).
  explicit cNolt(const char* name);

  // One method per log4cpp priority: DEBUG, INFO, WARN, ERROR, FATAL.
  // The text is formatted only when the category lets the priority through.
  void debug(const char* format, ...) NOLT_PRINTF(2, 3);
  void info(const char* format, ...) NOLT_PRINTF(2, 3);
  void warn(const char* format, ...) NOLT_PRINTF(2, 3);
  void error(const char* format, ...) NOLT_PRINTF(2, 3);
  void fatal(const char* format, ...) NOLT_PRINTF(2, 3);

 private:
  log4cpp::Category* mCategory;
};

#endif  // NOLT_NOLT_H_
