// The appenders of a configuration while it is in force: the files of
// log4cpp's file appenders, which log4cpp opens and writes without a word on
// failure (a FIFO that would hold the program, a file that cannot be opened
// or written), and what each appender may still be handed. What is said goes
// to standard error, each appender named at most once for each reason
// between two forgetAppenders(). Not thread-safe.
#ifndef NOLT_LOG_FILES_H_
#define NOLT_LOG_FILES_H_

#include "nolt/config_check.h"
#include "nolt/logging_limits.h"

#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>

#include <cstddef>
#include <string>
#include <vector>

namespace log4cpp {
class Appender;
}

namespace nolt {

// Why the files of `files` must not be handed to log4cpp, empty when they
// may: the first that is a FIFO gives "appender NAME: PATH is a FIFO:
// opening or writing it could wait" (log4cpp opens and writes it blocking:
// the open waits for a reader, a write for one that reads). Looks at the
// files (stat); opens and creates nothing.
std::string fifoProblemOf(const std::vector<AppenderFile>& files);

// Starts a new configuration: every appender may be named again, and may be
// handed lines again.
void forgetAppenders();

// After configuring, for the file appenders of the categories, in the order
// of their names: a file that did not open gives "nolt: cannot open log file
// FILE: REASON" on standard error; a descriptor that is a FIFO or a socket
// all the same (put in the file's place after fifoProblemOf looked) is made
// non-blocking, so that a line it cannot take at once is lost instead of
// waiting.
void checkLogFiles();

// How many appenders have reached a limit since forgetAppenders().
size_t spentAppenders();

// Whether `appender` is to be handed a line of `priority`: its threshold lets
// the line through, and it has not reached a limit since forgetAppenders().
bool mayAppend(log4cpp::Appender& appender, log4cpp::Priority::Value priority);

// After `appender` was handed `event`, with the errno it left (set to 0
// before):
//   - a file appender whose write failed is named, "nolt: cannot write log
//     file FILE: REASON" (a non-blocking one that could not take the line at
//     once: "Resource temporarily unavailable");
//   - a rolling appender's descriptor, which it may have reopened, is made
//     close-on-exec (and non-blocking as checkLogFiles says);
//   - the line is counted: kMaxAppendedLines lines, kMaxAppendedBytes bytes
//     (what a log file grew by, else the line's bytes as the appender's
//     layout writes it: what a console or a syslog server gets) or kMaxRollOvers
//     times that a log file started anew are the most an appender is handed;
//     the one that reaches a limit is named, "nolt: dropping the later lines
//     of appender NAME: N lines (N bytes, N roll-overs) since logging was
//     configured".
void afterAppend(log4cpp::Appender& appender, const log4cpp::LoggingEvent& event, int error);

}  // namespace nolt

#endif  // NOLT_LOG_FILES_H_
