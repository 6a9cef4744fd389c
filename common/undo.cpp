#include "common/undo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qorid::undo {
namespace {

// kRemoveTree is taken in normal context only: the handlers pass it over.
enum class Kind { kRemove, kRenameBack, kExchangeBack, kRemoveTree };

struct Step {
  Kind kind;
  int dirFd;
  char a[NAME_MAX + 1];  // the name the step touches
  char b[NAME_MAX + 1];  // the other name of a rename or an exchange
  dev_t dev;
  ino_t ino;
  std::string tree;  // kRemoveTree: the folder's path (a handler never reads it)
};

// Filled before gCount covers a step: the handler reads only what it covers.
Step gSteps[kMaxSteps];
volatile sig_atomic_t gCount = 0;
std::string gLastWords;
volatile sig_atomic_t gNoted = 0;
static_assert(sizeof(pid_t) <= sizeof(sig_atomic_t), "a child's id fits a sig_atomic_t");
volatile sig_atomic_t gChild = 0;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

bool copyName(char (&to)[NAME_MAX + 1], const std::string& name) {
  if (name.empty() || name.size() > NAME_MAX) {
    return false;
  }
  std::memcpy(to, name.c_str(), name.size() + 1);
  return true;
}

// The next free step, with what every step holds filled in; null when the
// list is full. gCount covers it once the caller has filled in the rest.
Step* nextStep(Kind kind, int dirFd, const struct stat& id) {
  if (gCount >= kMaxSteps) {
    return nullptr;
  }
  Step& step = gSteps[gCount];
  step.kind = kind;
  step.dirFd = dirFd;
  step.dev = id.st_dev;
  step.ino = id.st_ino;
  return &step;
}

bool arm(Kind kind, int dirFd, const std::string& a, const std::string& b, const struct stat& id) {
  Step* step = nextStep(kind, dirFd, id);
  if (step == nullptr || !copyName(step->a, a) || (kind != Kind::kRemove && !copyName(step->b, b))) {
    return false;
  }
  gCount = gCount + 1;
  return true;
}

// Whether `name` in the step's folder still leads to the step's file.
bool stillLeads(const Step& step, const char* name) {
  struct stat st;
  return ::fstatat(step.dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == step.dev &&
         st.st_ino == step.ino;
}

// The folder of a kRemoveTree step, in normal context: false, errno set,
// when something of it could not be removed.
bool removeTree(const Step& step) {
  struct stat st;
  if (::lstat(step.tree.c_str(), &st) != 0 || st.st_dev != step.dev || st.st_ino != step.ino) {
    return true;  // not ours any more (or gone)
  }
  std::error_code error;
  std::filesystem::remove_all(step.tree, error);
  errno = error.value();
  return !error;
}

// What a failure message calls the step.
std::string nameOf(const Step& step) { return step.kind == Kind::kRemoveTree ? step.tree : step.a; }

// False only when the step was due and its system call failed.
bool undoStep(const Step& step) {
  if (step.kind == Kind::kRemoveTree) {
    return removeTree(step);
  }
  if (!stillLeads(step, step.a)) {
    return true;  // not ours any more (or gone): nothing to put back
  }
  switch (step.kind) {
    case Kind::kRemove:
      return ::unlinkat(step.dirFd, step.a, 0) == 0 || errno == ENOENT;
    case Kind::kRenameBack:
      return ::renameat2(step.dirFd, step.a, step.dirFd, step.b, RENAME_NOREPLACE) == 0;
    case Kind::kExchangeBack:
      return ::renameat2(step.dirFd, step.a, step.dirFd, step.b, RENAME_EXCHANGE) == 0;
    case Kind::kRemoveTree:
      break;
  }
  return false;
}

void say(const char* text, size_t size) {
  const ssize_t said = ::write(STDERR_FILENO, text, size);
  (void)said;  // nothing more can be done on the way out
}

extern "C" void onSignal(int /*signal*/) {
  say(gLastWords.data(), gLastWords.size());
  for (int i = gCount - 1; i >= 0; --i) {
    if (gSteps[i].kind != Kind::kRemoveTree && !undoStep(gSteps[i])) {
      static const char kCouldNot[] = "; could not put back ";
      say(kCouldNot, sizeof kCouldNot - 1);
      say(gSteps[i].a, std::strlen(gSteps[i].a));
    }
  }
  say("\n", 1);
  ::_exit(1);
}

extern "C" void noteSignal(int signal) {
  gNoted = signal;
  const pid_t child = gChild;
  if (child > 0) {
    (void)::kill(child, SIGTERM);
  }
}

void setHandlers(void (*handler)(int)) {
  for (const int signal : kSignals) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) {
      sigaddset(&action.sa_mask, other);
    }
    (void)::sigaction(signal, &action, nullptr);
  }
}

// Takes the armed steps that `due` picks, the last one first, and forgets
// them all.
template <typename Due>
std::string takeSteps(Due due) {
  const SignalsHeld held;
  std::string failed;
  for (int i = gCount - 1; i >= 0; --i) {
    if (due(gSteps[i]) && !undoStep(gSteps[i])) {
      failed += (failed.empty() ? "" : ", ") + nameOf(gSteps[i]) + " (" + std::strerror(errno) + ")";
    }
  }
  gCount = 0;
  return failed;
}

}  // namespace

bool armRemove(int dirFd, const std::string& name, const struct stat& id) {
  return arm(Kind::kRemove, dirFd, name, {}, id);
}

bool armRenameBack(int dirFd, const std::string& now, const std::string& was,
                   const struct stat& id) {
  return arm(Kind::kRenameBack, dirFd, now, was, id);
}

bool armExchangeBack(int dirFd, const std::string& a, const std::string& b,
                     const struct stat& id) {
  return arm(Kind::kExchangeBack, dirFd, a, b, id);
}

bool armRemoveTree(const std::string& path, const struct stat& id) {
  Step* step = nextStep(Kind::kRemoveTree, AT_FDCWD, id);
  if (step == nullptr || path.empty()) {
    return false;
  }
  step->a[0] = '\0';
  step->tree = path;
  gCount = gCount + 1;
  return true;
}

std::string undoAll() {
  return takeSteps([](const Step&) { return true; });
}

std::string completeAll() {
  return takeSteps([](const Step& step) { return step.kind == Kind::kRemoveTree; });
}

void forgetAll() {
  const SignalsHeld held;
  gCount = 0;
}

void setLastWords(const std::string& line) {
  const SignalsHeld held;
  gLastWords = line;
}

void installHandlers(OnSignal what) {
  setHandlers(what == OnSignal::kNote ? noteSignal : onSignal);
}
void restoreHandlers() { setHandlers(SIG_DFL); }

int notedSignal() { return gNoted; }

void watchChild(pid_t child) {
  gChild = child;
  if (child > 0 && gNoted != 0) {
    (void)::kill(child, SIGTERM);
  }
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : kSignals) {
    sigaddset(&held, signal);
  }
  (void)::sigprocmask(SIG_BLOCK, &held, &mBefore);
}

SignalsHeld::~SignalsHeld() { (void)::sigprocmask(SIG_SETMASK, &mBefore, nullptr); }

}  // namespace qorid::undo
