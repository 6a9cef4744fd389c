#include "undo.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qorid::undo {
namespace {

enum class Kind { kRemove, kRenameBack, kExchangeBack };

struct Step {
  Kind kind;
  int dirFd;
  char a[NAME_MAX + 1];  // the name the step touches
  char b[NAME_MAX + 1];  // the other name of a rename or an exchange
  dev_t dev;
  ino_t ino;
};

// Filled before gCount covers a step: the handler reads only what it covers.
Step gSteps[kMaxSteps];
volatile sig_atomic_t gCount = 0;
std::string gLastWords;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

bool copyName(char (&to)[NAME_MAX + 1], const std::string& name) {
  if (name.empty() || name.size() > NAME_MAX) {
    return false;
  }
  std::memcpy(to, name.c_str(), name.size() + 1);
  return true;
}

bool arm(Kind kind, int dirFd, const std::string& a, const std::string& b, const struct stat& id) {
  if (gCount >= kMaxSteps) {
    return false;
  }
  Step& step = gSteps[gCount];
  step.kind = kind;
  step.dirFd = dirFd;
  step.dev = id.st_dev;
  step.ino = id.st_ino;
  if (!copyName(step.a, a) || (kind != Kind::kRemove && !copyName(step.b, b))) {
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

// False only when the step was due and its system call failed.
bool undoStep(const Step& step) {
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
    if (!undoStep(gSteps[i])) {
      static const char kCouldNot[] = "; could not put back ";
      say(kCouldNot, sizeof kCouldNot - 1);
      say(gSteps[i].a, std::strlen(gSteps[i].a));
    }
  }
  say("\n", 1);
  ::_exit(1);
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

std::string undoAll() {
  const SignalsHeld held;
  std::string failed;
  for (int i = gCount - 1; i >= 0; --i) {
    if (!undoStep(gSteps[i])) {
      failed += (failed.empty() ? "" : ", ") + std::string(gSteps[i].a) + " (" +
                std::strerror(errno) + ")";
    }
  }
  gCount = 0;
  return failed;
}

void forgetAll() {
  const SignalsHeld held;
  gCount = 0;
}

void setLastWords(const std::string& line) {
  const SignalsHeld held;
  gLastWords = line;
}

void installHandlers() { setHandlers(onSignal); }
void restoreHandlers() { setHandlers(SIG_DFL); }

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
