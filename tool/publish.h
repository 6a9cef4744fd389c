// Publishing the board for the services of the boot (qorid-publish, which
// qorid.service runs): DIR/parameters.env, what qorid --export prints after
// a first comment line, and DIR/board.json, what qorid --json prints with a
// first member "publisher":"qorid-publish" (the marks: publish_folder.h),
// both from one determination and one collection.
#ifndef QORID_TOOL_PUBLISH_H_
#define QORID_TOOL_PUBLISH_H_

#include <string>

class QorIdentifier;

namespace qorid {

// Determines the identity, collects the parameters and publishes both files
// in `dir`, a folder that is made (mode 0755, its missing parents too) when
// it does not exist; the mode of a folder that exists is never changed.
//
// One publication at a time in a folder: a run waits up to 10 seconds for
// another one in `dir` to end (flock on the folder itself, which leaves
// nothing in it), and fails after that.
//
// Both files or neither: each is written to a temporary file in `dir`, mode
// 0644, on disk, and renamed into place; an earlier pair is replaced only
// as a whole. Returns 0 when both files are in place. Otherwise `dir` holds
// what it held before (the earlier pair, or nothing) and it returns 1 after
// one line on standard error, "qorid-publish: REASON; nothing is published
// in DIR" or "...; nothing new is published in DIR; left there: NAME
// (WHOSE), ...", which looks at the folder to say so. A name that holds
// anything but a file with the mark fails the run before anything is
// written, and is named. It removes only this run's own temporary files
// and, on success, the earlier pair it replaced; never a file it did not
// write.
//
// SIGTERM, SIGINT or SIGHUP at any step is such a failure: the handler puts
// the folder back as it was and says so. (SIGKILL cannot be handled: it
// may leave a temporary file .NAME.XXXXXX, or the new parameters.env beside
// the earlier board.json.) Not thread-safe; installs handlers for those
// signals.
int publish(QorIdentifier& identifier, const std::string& dir);

}  // namespace qorid

#endif  // QORID_TOOL_PUBLISH_H_
