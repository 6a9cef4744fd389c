// Putting a folder back as it was when a run that changes it ends early: a
// list of steps, each one system call on a name in a folder (or the removal
// of a folder the run made, see armRemoveTree), undone in reverse order by
// the run itself when it fails, or when a signal ends it.
//
// SIGTERM, SIGINT and SIGHUP are handled in one of two ways (OnSignal):
// undone by the handler itself, which then writes the run's last words and
// ends the process with status 1, for a run of short steps; or only noted
// by the handler, which passes SIGTERM on to the command the run waits for,
// for a run whose steps take long: the run asks notedSignal() between its
// steps and undoes, in normal context, what a failure undoes.
//
// Signal-safe: the handler makes only system calls (fstatat, renameat2,
// unlinkat, write, kill, _exit) on what was prepared before a step was
// armed. A step must be taken and armed together, inside a SignalsHeld, so
// that a signal never finds one taken and not armed, or armed and not
// taken. One list per process; not thread-safe.
#ifndef QORID_COMMON_UNDO_H_
#define QORID_COMMON_UNDO_H_

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>

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

// Removes the folder `path` and everything in it: a run's own scratch
// folder, removed however the run ends (undoAll, completeAll). Only the run
// takes this step, in normal context, never a handler: a tree is no work for
// a signal handler. A run that arms one installs the handlers with
// OnSignal::kNote. `path` is kept as given (no limit but the system's).
bool armRemoveTree(const std::string& path, const struct stat& id);

// Undoes every armed step, the last one first, and forgets them. Returns
// "NAME (REASON)" for each step that could not be undone, joined by ", "
// (empty when all were).
std::string undoAll();
// Forgets every armed step: the run has done what it set out to do.
void forgetAll();
// The same for a run with a scratch folder: takes the armRemoveTree steps,
// the last one first, and forgets the others. Returns what undoAll returns.
std::string completeAll();

// The line the handler writes when a signal ends the run: these words, then
// "; could not put back NAME" for each step it could not undo, then a
// newline.
void setLastWords(const std::string& line);
// What the handlers of SIGTERM, SIGINT and SIGHUP do.
enum class OnSignal {
  // Undo every armed step but the armRemoveTree ones (which stay), say the
  // last words and end the process with status 1.
  kUndoAndExit,
  // Note the signal (notedSignal) and send SIGTERM to the watched child
  // (watchChild), nothing more: the run undoes at its next look.
  kNote,
};
// Installs the handlers; restoreHandlers() gives the signals their default
// action back.
void installHandlers(OnSignal what = OnSignal::kUndoAndExit);
void restoreHandlers();

// The last signal the kNote handlers noted; 0 while there has been none.
int notedSignal();
// The child process a noted signal is passed on to as SIGTERM, 0 for none:
// process::Command::watch takes this function. A child watched after a
// signal was noted is sent SIGTERM at once.
void watchChild(pid_t child);

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
