// Every limit of libnolt, in one place: what a logging configuration may ask
// for (checked before log4cpp sees it, config_check.h and config_file.h),
// and what a run may cost (log_files.h). A configuration past one of the
// first is refused as a whole, with the reason; an appender past one of the
// last is handed no more lines. qorid.conf(5) states them for users.
#ifndef NOLT_LOGGING_LIMITS_H_
#define NOLT_LOGGING_LIMITS_H_

#include <climits>
#include <cstddef>

namespace nolt {

// The configuration file.
inline constexpr size_t kMaxFileSize = 65536;             // bytes of the whole file
inline constexpr size_t kMaxLineLength = 4096;            // a line, and a value once substituted
inline constexpr size_t kMaxCategoryLevels = 32;          // a category name's levels (31 dots)
inline constexpr long kMaxPatternWidth = 1024;            // a width in a ConversionPattern
inline constexpr size_t kMaxPatternConversions = 32;      // conversions in one pattern
inline constexpr size_t kMaxPatternMessages = 4;          // "%m" in one pattern
inline constexpr size_t kMaxAppenders = 8;                // appenders of one configuration
inline constexpr long long kMaxBackupIndex = 100;         // a RollingFileAppender's, from 0
inline constexpr long long kMinRollingFileSize = 4096;    // its maxFileSize, from ...
inline constexpr long long kMaxRollingFileSize = INT_MAX; // ... to
inline constexpr long long kMinPort = 1;                  // a SyslogAppender's portNumber, from ...
inline constexpr long long kMaxPort = 65535;              // ... to

// What one appender is handed a run, between two configurations: the line
// that reaches a limit is the last it gets.
inline constexpr size_t kMaxAppendedLines = 10000;        // lines
inline constexpr size_t kMaxAppendedBytes = 4 << 20;      // bytes, as its file or layout has them
inline constexpr size_t kMaxRollOvers = 16;               // times its file starts anew

}  // namespace nolt

#endif  // NOLT_LOGGING_LIMITS_H_
