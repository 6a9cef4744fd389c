// The files of log4cpp's file appenders, which log4cpp opens and writes
// without a word on failure: a FIFO that would hold the program, a file that
// cannot be opened or written. What is said goes to standard error, each
// file appender named at most once between two forgetNamedLogFiles(). Not
// thread-safe.
#ifndef NOLT_LOG_FILES_H_
#define NOLT_LOG_FILES_H_

#include "config_check.h"

#include <string>
#include <vector>

namespace log4cpp {
class Appender;
}

namespace nolt {

// Why the files of `files` must not be handed to log4cpp, empty when they
// may: the first that is a FIFO nothing reads, whose blocking open would
// wait for a reader, gives "appender NAME: PATH is a FIFO that nothing
// reads: opening it would wait". Looks at the files (stat, and a
// non-blocking open of a FIFO, closed again); creates nothing.
std::string fifoProblemOf(const std::vector<AppenderFile>& files);

// Starts a new configuration: every file appender may be named again.
void forgetNamedLogFiles();

// After configuring: for each file appender of a category whose file did
// not open, in the order of their names, "nolt: cannot open log file FILE:
// REASON" on standard error.
void nameUnopenedLogFiles();

// After `appender` was handed a line, with the errno it left (set to 0
// before): a file appender whose write failed is named, "nolt: cannot write
// log file FILE: REASON"; a rolling appender's descriptor, which it may have
// reopened, is made close-on-exec.
void afterAppend(const log4cpp::Appender& appender, int error);

}  // namespace nolt

#endif  // NOLT_LOG_FILES_H_
