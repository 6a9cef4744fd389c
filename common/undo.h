// Putting a folder back as it was when a run that changes it ends early: a
// list of steps, each one system call on a name in a folder, undone in
// reverse order, either by the run itself when it fails or by the handler of
// SIGTERM, SIGINT and SIGHUP, which then writes the run's last words and
// ends the process with status 1.
//
// Signal-safe: the handler makes only system calls (fstatat, renameat2,
// unlinkat, write) on what was prepared before a step was armed. A step
// must be taken and armed together, inside a SignalsHeld, so that a signal
// never finds one taken and not armed, or armed and not taken. One list per
// process; not thread-safe.
#ifndef QORID_COMMON_UNDO_H_
#define QORID_COMMON_UNDO_H_

#include <signal.h>
#include <sys/stat.h>

#include <string>

namespace qorid::undo {

// At most this many steps are armed at once; arming more fails.
inline constexpr int kMaxSteps = 8;

// Each arm* returns false, arming nothing, when the list is full or a name
// is longer than a file name may be. `id` is the file a step may touch
// (device and inode): a file the caller holds open, so that the numbers
// cannot have passed to another file in the meantime. A step whose name no
// longer leads to that file is passed over.

// Removes `name` in the folder `dirFd`.
bool armRemove(int dirFd, const std::string& name, const struct stat& id);
// Renames `now` back to `was`, never over a file that is there.
bool armRenameBack(int dirFd, const std::string& now, const std::string& was,
                   const struct stat& id);
// Exchanges `a` and `b` again (renameat2 RENAME_EXCHANGE); `id` is the file
// that `a` leads to.
bool armExchangeBack(int dirFd, const std::string& a, const std::string& b,
                     const struct stat& id);

// Undoes every armed step, the last one first, and forgets them. Returns
// "NAME (REASON)" for each step that could not be undone, joined by ", "
// (empty when all were).
std::string undoAll();
// Forgets every armed step: the run has done what it set out to do.
void forgetAll();

// The line the handler writes when a signal ends the run: these words, then
// "; could not put back NAME" for each step it could not undo, then a
// newline.
void setLastWords(const std::string& line);
// Has SIGTERM, SIGINT and SIGHUP undo every armed step, say the last words
// and end the process with status 1; restoreHandlers() gives them their
// default action back.
void installHandlers();
void restoreHandlers();

// SIGTERM, SIGINT and SIGHUP held back while it lives (and delivered when
// it ends): for a step and its arming, or its forgetting, to happen
// together.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t mBefore;
};

}  // namespace qorid::undo

#endif  // QORID_COMMON_UNDO_H_
