// Checking the text of a logging configuration against nolt's limits
// (logging_limits.h), read as log4cpp will read it. The text alone is
// judged: nothing here opens, stats or reads a file. Thread-safe as long as
// the lookup given is.
#ifndef NOLT_CONFIG_CHECK_H_
#define NOLT_CONFIG_CHECK_H_

#include <string>
#include <vector>

namespace nolt {

// Whether log4cpp may be handed a category called `name`: at most 32 levels
// (31 dots). It makes and walks a category's parents by recursion, so a name
// of thousands of levels overflows the stack.
bool categoryLevelsFit(const std::string& name);

// The value of environment variable `name`, null when it has none; what
// std::getenv gives. The pointer is read before the next call.
using EnvironmentLookup = const char* (*)(const char* name);

// A file appender (FileAppender, RollingFileAppender or
// DailyRollingFileAppender) and the file it will open: its fileName, or
// "foobar" where none is given, as log4cpp takes it.
struct AppenderFile {
  std::string appender;
  std::string path;
};

struct ConfigVerdict {
  // Why log4cpp must not be handed the text: "line N ..." for a line or a
  // value past the limits, "more than 8 appenders", "appender NAME: ..." for
  // an appender's type or settings. Empty when the text may go on.
  std::string problem;
  // The appenders log4cpp will make (one for each key "appender.NAME" where
  // NAME has no dot), by name; empty when refused.
  std::vector<std::string> appenders;
  // The file appenders among them with their files, in the same order;
  // empty when refused. Whether a file can be opened is not judged here.
  std::vector<AppenderFile> files;
};

// Judges `text`, a whole configuration file, line by line as log4cpp reads
// it:
//   - a line is read in pieces of 255 bytes, each only up to its first NUL;
//     text from '#' on is a comment, a line without '=' is skipped, the key
//     and the value are trimmed, and the key loses a leading "log4cpp." or
//     "log4j.";
//   - ${NAME} in a value is the environment's NAME (through `lookup`), else
//     the value of an earlier key NAME, else nothing; "${${}" is "${"
//     itself;
//   - the first value of a key counts;
//   - an appender's type is its value after the last dot (all of it
//     without one).
// The limits (logging_limits.h): a line, and a value once substituted, of
// at most kMaxLineLength bytes; at most kMaxCategoryLevels levels in the category
// name of a "category." or "additivity." key; in a ConversionPattern,
// widths of at most kMaxPatternWidth, at most kMaxPatternConversions
// conversions, at most kMaxPatternMessages of them "%m" (none between the
// braces of "%d{...}"); at most kMaxAppenders appenders; a
// RollingFileAppender's maxBackupIndex and maxFileSize, a SyslogAppender's
// portNumber within theirs, the numbers as written (blanks, a sign, digits;
// none is 0).
// The appenders: only types that can neither wait nor end the program, a
// ConsoleAppender, a file appender, and a SyslogAppender whose syslogHost
// is an IPv4 address in dotted decimal (inet_pton's; a name is looked up).
// A LocalSyslogAppender (syslog(3) writes to /dev/log blocking), an
// AbortAppender and any other type are refused, each with its reason.
// The first problem met is the one given: the lines in order, then the
// number of appenders, then the appenders by name, each its type before its
// settings.
ConfigVerdict checkConfiguration(const std::string& text, EnvironmentLookup lookup);

}  // namespace nolt

#endif  // NOLT_CONFIG_CHECK_H_
