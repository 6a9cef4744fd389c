// Publishing the board for the services of the boot (qorid-publish, which
// qorid.service runs): DIR/parameters.env, what qorid --export prints, and
// DIR/board.json, what qorid --json prints, both from one determination and
// one collection.
#ifndef QORID_TOOL_PUBLISH_H_
#define QORID_TOOL_PUBLISH_H_

#include <string>

class QorIdentifier;

namespace qorid {

// Determines the identity, collects the parameters and publishes both files
// in `dir`, a folder that is made (mode 0755, its missing parents too) when
// it does not exist; the mode of a folder that exists is never changed.
// Each file is written to a temporary file in `dir`, mode 0644, and renamed
// into place once both are complete. Which two files it published is kept in
// `dir`/.qorid-publish (their device and inode numbers): a file of those
// names is its own only when that record names it.
//
// Returns 0 when both files are in place. Otherwise 1, after one line on
// standard error, "qorid-publish: REASON; WHAT IS LEFT": its temporary files
// are removed, and so are the two files where they are its own, from this
// run or an earlier one, so that a service never reads a half or an old
// pair; "nothing is published in DIR", or the files that stay and why. A
// termination signal (SIGTERM, SIGINT, SIGHUP) while it works is such a
// failure. Not thread-safe; installs handlers for those signals.
int publish(QorIdentifier& identifier, const std::string& dir);

}  // namespace qorid

#endif  // QORID_TOOL_PUBLISH_H_
