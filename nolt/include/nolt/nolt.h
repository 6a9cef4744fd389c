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
  // Configures logging for the whole process from a log4cpp properties file;
  // its format, the appenders it may name and every limit are qorid.conf(5)'s
  // (in the source, nolt/logging_limits.h). Never throws, never waits. A
  // missing file gives the default, ERROR and above to standard error. A file
  // that cannot be used (no regular file, past a limit, an appender that
  // could wait or end the program, refused by log4cpp) gives one line, "nolt:
  // ignoring logging configuration PATH: REASON", then the default. The file
  // is read once, and log4cpp is handed those bytes, never the path. A log
  // file that cannot be opened or written is named once on standard error;
  // an appender past its lines or bytes of a run is named once and handed no
  // more. Descriptors it opens are close-on-exec. A second call replaces the
  // first configuration as a whole.
  static void init(const char* path);

  // Selects the category called `name` (created on first use). A name of
  // more than 32 levels selects nothing: such a logger logs nothing.
  explicit cNolt(const char* name);

  // One method per log4cpp priority: DEBUG, INFO, WARN, ERROR, FATAL.
  // The text is formatted only when the category lets the priority through.
  // Never throws: a line that an appender or its layout fails on (an
  // exception) is lost for that appender, the others still get it. errno is
  // as it was before the call.
  void debug(const char* format, ...) NOLT_PRINTF(2, 3);
  void info(const char* format, ...) NOLT_PRINTF(2, 3);
  void warn(const char* format, ...) NOLT_PRINTF(2, 3);
  void error(const char* format, ...) NOLT_PRINTF(2, 3);
  void fatal(const char* format, ...) NOLT_PRINTF(2, 3);

 private:
  log4cpp::Category* mCategory;
};

#endif  // NOLT_NOLT_H_
