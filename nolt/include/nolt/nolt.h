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
  // Anything else that cannot be used gives one line on standard error,
  // "nolt: ignoring logging configuration PATH: REASON", then the same
  // default. Never throws, never waits.
  //
  // Only a regular file is read (a FIFO, a directory or a device is
  // refused), once: log4cpp is handed the bytes that were checked, never the
  // path, through /proc/self/fd. Where /proc is not mounted, through a
  // private copy: a file of mode 0600 in a fresh folder of mode 0700 under
  // $TMPDIR (when it is an absolute path that works, else /tmp), both
  // removed before init returns; when that copy cannot be made, the
  // configuration is refused with the reason. Before log4cpp sees them they must hold to
  // these limits:
  //   - the file is at most 65536 bytes;
  //   - a line is at most 4096 bytes, and so is a value once its ${...}
  //     variables are substituted;
  //   - a category name has at most 32 levels (31 dots);
  //   - a width in a ConversionPattern ("%-20m", "%.30m") is at most 1024,
  //     and a ConversionPattern has at most 32 conversions ("%%" is none,
  //     what "%d{...}" holds between its braces neither), at most 4 of them
  //     "%m";
  //   - there are at most 8 appenders, each of a type that can neither
  //     wait nor end the program: ConsoleAppender, FileAppender,
  //     RollingFileAppender, DailyRollingFileAppender, or SyslogAppender
  //     with a syslogHost that is an IPv4 address in dotted decimal (a name's
  //     lookup could wait) and a portNumber, where given, from 1 to 65535.
  //     Any other is refused: LocalSyslogAppender (syslog(3) waits while
  //     /dev/log is not read), AbortAppender (it ends the program), and a
  //     type not known to be safe;
  //   - a RollingFileAppender's maxBackupIndex, where given, is from 0 to
  //     100, and its maxFileSize from 4096 to 2147483647 (the numbers as
  //     written, before log4cpp's int reading could wrap them);
  //   - a file appender's file is no FIFO: log4cpp opens and writes it
  //     blocking, so the open would wait for a reader and a write for a
  //     reader that does not read. A file appender's descriptor that is a
  //     FIFO or a socket all the same (put in the file's place after it was
  //     looked at) is made non-blocking: a line it cannot take at once is
  //     lost, said as a write that failed ("Resource temporarily
  //     unavailable"). Only the open of a FIFO put in place in that instant,
  //     with nothing reading it, still waits for a reader.
  // The lines and values are judged as log4cpp reads them: the key loses a
  // leading "log4cpp." or "log4j.", ${...} variables are substituted, the
  // first value of a key counts.
  //
  // A log file that a FileAppender (or a RollingFileAppender) cannot open,
  // or cannot write, loses its lines; that is said once per appender and
  // configuration, on standard error: "nolt: cannot open log file FILE:
  // REASON" after configuring, "nolt: cannot write log file FILE: REASON"
  // at the first line that fails.
  //
  // Each appender is handed at most 10000 lines and 4194304 bytes (what its
  // log file grew by, else its lines as its layout writes them) per
  // configuration, and a
  // file appender whose file starts anew (a rolling appender's roll-over)
  // at most 16 times: the line that reaches a limit is its last, said once,
  // "nolt: dropping the later lines of appender NAME: 10000 lines (4194304
  // bytes, 16 roll-overs) since logging was configured". So whatever a
  // board holds, logging costs at most so much per run.
  //
  // Every descriptor that the configuration opens (log files, sockets) is
  // close-on-exec, also a log file reopened later: programs that this one
  // runs do not inherit them. Descriptors the process had before are left
  // as they are.
  //
  // A second call replaces the first configuration as a whole: appenders
  // of the first are removed (and their files closed) before anything else.
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
