#include "tool/dump_output.h"

#include "common/process.h"
#include "common/undo.h"
#include "tool/dump_staging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <vector>

namespace qorid::dump {
namespace {

// `path`'s folder and its last name.
std::pair<std::string, std::string> folderAndName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why `path` could not be created, as far as can be told.
std::string whyNot(const std::string& path) {
  const std::string dir = folderAndName(path).first;
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return "no directory " + dir;
  }
  if (::access(dir.c_str(), W_OK) != 0) {
    return dir + " is not writable";
  }
  return "cannot create it";
}

// The current directory as the shell names it: $PWD when it leads here.
std::string currentDirectory() {
  const char* pwd = std::getenv("PWD");
  struct stat a;
  struct stat b;
  if (pwd != nullptr && pwd[0] == '/' && ::stat(pwd, &a) == 0 && ::stat(".", &b) == 0 &&
      sameFile(a, b)) {
    return pwd;
  }
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return ".";
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string hostName() {
  struct utsname uts;
  if (::uname(&uts) != 0) {
    return "";
  }
  std::string host = uts.nodename;
  for (char& c : host) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
    if (!keep) {
      c = '_';
    }
  }
  return host;
}

// The time in the default name: asked of date(1), as the dump always has (a
// clock stopped there stops the name); the C library's when date cannot run.
std::string timeStamp() {
  const process::Ran ran =
      runWatched({{"date", "+%Y%m%d-%H%M%S"}, process::Redirect::capture(kOutputLimit), {}});
  if (ran.started && ran.status == 0) {
    return process::chomp(ran.out);
  }
  char text[32] = "";
  const std::time_t now = std::time(nullptr);
  struct tm local;
  if (::localtime_r(&now, &local) != nullptr) {
    (void)std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  }
  return text;
}

}  // namespace

// Created, and its removal armed, with the signals held: none finds the
// file made and not armed.
Output::Created Output::create(const std::string& path) {
  const undo::SignalsHeld held;
  const int opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (opened < 0) {
    struct stat st;
    return errno == EEXIST || ::lstat(path.c_str(), &st) == 0 ? Created::kExists
                                                               : Created::kCannot;
  }
  mFile.reset(opened);
  const auto [dir, name] = folderAndName(path);
  mDir.reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  struct stat named;
  const bool made = ::fstat(mFile.fd(), &st) == 0;
  if (!made || !mDir.isOpen() ||
      ::fstatat(mDir.fd(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      !sameFile(named, st) || !undo::armRemove(mDir.fd(), name, st)) {
    struct stat now;
    if (made && ::lstat(path.c_str(), &now) == 0 && sameFile(now, st)) {
      (void)::unlink(path.c_str());
    }
    mFile.reset();
    return Created::kCannot;
  }
  mPath = path;
  return Created::kYes;
}

bool Output::open(const std::string& named) {
  const std::string here = currentDirectory();
  if (!named.empty()) {
    const std::string out = named[0] == '/' ? named : here + "/" + named;
    switch (create(out)) {
      case Created::kYes:
        return true;
      case Created::kExists:
        say(out + " exists already; name another file");
        return false;
      case Created::kCannot:
        say("cannot write " + out + ": " + whyNot(out));
        return false;
    }
  }
  // Dumps made in the same second each get a name of their own.
  const std::string base = here + "/qorid-dump-" + hostName() + "-" + timeStamp();
  std::string out = base + ".tar.gz";
  for (int n = 1;;) {
    switch (create(out)) {
      case Created::kYes:
        return true;
      case Created::kCannot:
        say("cannot write " + out + ": " + whyNot(out));
        return false;
      case Created::kExists:
        break;
    }
    if (++n > 100) {
      say(base + ".tar.gz and 99 names after it exist already; name a file");
      return false;
    }
    out = base + "-" + std::to_string(n) + ".tar.gz";
  }
}

std::string Output::topName() const {
  std::string top = folderAndName(mPath).second;
  for (const std::string suffix : {".tar.gz", ".tgz"}) {
    if (top.size() >= suffix.size() &&
        top.compare(top.size() - suffix.size(), suffix.size(), suffix) == 0) {
      top.erase(top.size() - suffix.size());
    }
  }
  if (top.empty() || top == "." || top == "..") {
    top = kMe;
  }
  return top;
}

}  // namespace qorid::dump
