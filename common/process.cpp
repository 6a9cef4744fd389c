#include "common/process.h"

#include "common/descriptor.h"
#include "common/full_io.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace qorid::process {
namespace {

// The read end of a pipe whose write end is a child's stream.
struct Capture {
  Descriptor read;
  Descriptor write;
  size_t limit = 0;
  std::string* into = nullptr;
};

bool openCapture(const Redirect& redirect, std::string& into, Capture& capture) {
  if (redirect.kind != Redirect::Kind::kCapture) {
    return true;
  }
  int fds[2] = {-1, -1};
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return false;
  }
  capture.read.reset(fds[0]);
  capture.write.reset(fds[1]);
  capture.limit = redirect.limit;
  capture.into = &into;
  return true;
}

void redirect(posix_spawn_file_actions_t& actions, const Redirect& how, const Capture& capture,
              int stream) {
  switch (how.kind) {
    case Redirect::Kind::kInherit:
      break;
    case Redirect::Kind::kNull:
      posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_WRONLY, 0);
      break;
    case Redirect::Kind::kDescriptor:
      posix_spawn_file_actions_adddup2(&actions, how.fd, stream);
      break;
    case Redirect::Kind::kCapture:
      posix_spawn_file_actions_adddup2(&actions, capture.write.fd(), stream);
      break;
  }
}

// Reads both pipes until each is at its end: a child that fills one while
// the other is read would otherwise wait for ever.
void readCaptures(Capture& out, Capture& err) {
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{out.read.fd(), POLLIN, 0}, {err.read.fd(), POLLIN, 0}};
    if (!out.read.isOpen() && !err.read.isOpen()) {
      return;
    }
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (int i = 0; i < 2; ++i) {
      Capture& capture = i == 0 ? out : err;
      if (fds[i].revents == 0) {
        continue;
      }
      const ssize_t n = readSome(capture.read.fd(), buffer, sizeof buffer);
      if (n <= 0) {
        capture.read.reset();
        continue;
      }
      const size_t room = capture.limit - std::min(capture.limit, capture.into->size());
      capture.into->append(buffer, std::min(room, static_cast<size_t>(n)));
    }
  }
}

}  // namespace

std::vector<std::string> absoluteEntries(const std::string& path) {
  std::vector<std::string> dirs;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(':', start);
    std::string dir = path.substr(start, end == std::string::npos ? end : end - start);
    if (!dir.empty() && dir[0] == '/') {
      dirs.push_back(std::move(dir));
    }
    if (end == std::string::npos) {
      return dirs;
    }
    start = end + 1;
  }
}

std::string commandPath(const char* path, const std::string& after) {
  std::string given;
  if (path != nullptr) {
    given = path;
  } else if (const size_t size = ::confstr(_CS_PATH, nullptr, 0); size > 0) {
    given.resize(size);
    (void)::confstr(_CS_PATH, given.data(), size);
    given.resize(size - 1);
  }
  std::string kept;
  for (const std::string& dir : absoluteEntries(given)) {
    kept.append(dir).append(":");
  }
  if (after.empty() && !kept.empty()) {
    kept.pop_back();
  }
  return kept.append(after);
}

bool isCommandFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the command, then the folders
std::string findCommand(const std::string& name, const std::string& path) {
  if (name.empty() || name.find('/') != std::string::npos) {
    return "";
  }
  for (const std::string& dir : absoluteEntries(path)) {
    std::string candidate = dir;
    candidate.append("/").append(name);
    if (isCommandFile(candidate)) {
      return candidate;
    }
  }
  return "";
}

std::string onPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  return path != nullptr ? findCommand(name, path) : "";
}

Ran runCommand(const Command& command) {
  Ran ran;
  if (command.argv.empty()) {
    return ran;
  }
  const std::string& name = command.argv[0];
  // Started by the path found here, not by a search of the C library's.
  const std::string program = name.find('/') != std::string::npos ? name : onPath(name);
  Capture out;
  Capture err;
  if (program.empty() || !openCapture(command.out, ran.out, out) ||
      !openCapture(command.err, ran.err, err)) {
    return ran;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  redirect(actions, command.out, out, STDOUT_FILENO);
  redirect(actions, command.err, err, STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGHUP, SIGINT, SIGTERM}) {
    sigaddset(&defaults, signal);
  }
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> args(command.argv.size() + 1, nullptr);
  std::transform(command.argv.begin(), command.argv.end(), args.begin(),
                 [](const std::string& arg) { return const_cast<char*>(arg.c_str()); });
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  // The child holds the write ends now: its exit ends the reading.
  out.write.reset();
  err.write.reset();
  if (spawned != 0) {
    return ran;
  }
  if (command.watch != nullptr) {
    command.watch(pid);
  }
  ran.started = true;
  readCaptures(out, err);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (command.watch != nullptr) {
    command.watch(0);
  }
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return ran;
}

std::string chomp(std::string text) {
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace qorid::process
