#include "dump.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board_files.h"
#include "descriptor.h"
#include "full_io.h"
#include "ip_lines.h"
#include "one_line.h"
#include "process.h"
#include "text_file.h"
#include "undo.h"

namespace qorid::dump {
namespace {

constexpr char kMe[] = "qorid-dump";
// One byte more than qorid reads: a replay stops where qorid stopped on the
// board, and a property linked to a huge or endless file does not fill the
// dump.
constexpr size_t kCopyLimit = board::kReadLimit + 1;
// Directories deeper than this below the node are left out, as the dump has
// always done.
constexpr int kMaxDepth = 990;
// What is kept of a command's output that is read back (ip's lines, qorid's
// standard error): far more than any of them writes.
constexpr size_t kOutputLimit = size_t{1} << 20;

const char kUsage[] =
    "Usage: qorid-dump [-h] [OUTPUT]\n"
    "Copies what qorid reads on this board (its device-tree node, the device\n"
    "tree's compatible and model, /proc/cpuinfo, /etc/known_qor_ids, the kernel\n"
    "release and machine type, the IPv4 interfaces and their hardware addresses)\n"
    "and what qorid prints into one tarball.\n"
    "OUTPUT defaults to qorid-dump-<hostname>-<date>.tar.gz in this directory.\n"
    "  -h, --help   print this help\n";

// The tarball and the temporary directory, which the exit path undoes
// (undo.h) unless the tarball is complete; what the messages name.
struct State {
  std::string out;
  int outFd = -1;
  Descriptor outDir;  // the folder of `out`, where its removal is armed
  std::string tmpdir;
  std::string rootHint;
};
State gState;

// One line of standard error, whatever the board's names in `text` hold: a
// newline is written as "\n", as qorid writes its own lines.
void say(const std::string& text) {
  const std::string line = std::string(kMe) + ": " + oneLine(text) + "\n";
  if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
    // Nothing is left to tell it to.
  }
}

[[noreturn]] void finish(int status) {
  // Complete, the tarball stays and only the temporary directory goes.
  (void)(status == 0 ? undo::completeAll() : undo::undoAll());
  std::exit(status);
}

void stopIfSignalled() {
  if (undo::notedSignal() != 0) {
    finish(1);
  }
}

// The temporary directory could not be written (a full or read-only TMPDIR).
// A dump with files missing for that reason would mislead: there is none.
[[noreturn]] void stagingFailed(const std::string& detail = "") {
  say("could not write into the temporary directory under " + gState.tmpdir +
      (detail.empty() ? "" : " (" + detail + ")") + ": no dump written");
  finish(1);
}

std::string writeError() { return std::string("write error: ") + std::strerror(errno); }

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): where, then what
void writeFile(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    stagingFailed(std::strerror(errno));
  }
  const bool written = writeAll(fd, text.data(), text.size());
  const int savedErrno = errno;
  if (::close(fd) != 0 || !written) {
    if (!written) {
      errno = savedErrno;
    }
    stagingFailed(writeError());
  }
}

void makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    stagingFailed();
  }
}

// --- commands -------------------------------------------------------------

// `command` run as process::runCommand runs it, its child told of a signal
// the dump is given; the dump ends once the command has.
process::Ran runCommand(process::Command command) {
  command.watch = undo::watchChild;
  process::Ran ran = process::runCommand(command);
  stopIfSignalled();
  return ran;
}

// --- the output -----------------------------------------------------------

// Why `path` could not be created, as far as can be told.
std::string whyNot(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string dir = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return "no directory " + dir;
  }
  if (::access(dir.c_str(), W_OK) != 0) {
    return dir + " is not writable";
  }
  return "cannot create it";
}

enum class Created { kYes, kExists, kCannot };

// Creates `path` exclusively, never through a link, as the tarball's file.
Created create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    struct stat st;
    return errno == EEXIST || ::lstat(path.c_str(), &st) == 0 ? Created::kExists
                                                               : Created::kCannot;
  }
  // Removed on the way out while its name in its folder still leads to it.
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = path.substr(slash + 1);
  struct stat st;
  struct stat named;
  const undo::SignalsHeld held;
  gState.outDir.reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (::fstat(fd, &st) != 0 || !gState.outDir.isOpen() ||
      ::fstatat(gState.outDir.fd(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino ||
      !undo::armRemove(gState.outDir.fd(), name, st)) {
    ::close(fd);
    (void)::unlink(path.c_str());
    return Created::kCannot;
  }
  gState.out = path;
  gState.outFd = fd;
  return Created::kYes;
}

// The current directory as the shell names it: $PWD when it leads here.
std::string currentDirectory() {
  const char* pwd = std::getenv("PWD");
  struct stat a;
  struct stat b;
  if (pwd != nullptr && pwd[0] == '/' && ::stat(pwd, &a) == 0 && ::stat(".", &b) == 0 &&
      a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
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
      runCommand({{"date", "+%Y%m%d-%H%M%S"}, process::Redirect::capture(kOutputLimit), {}});
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

// Creates the output file, named or by default; false, said, when it cannot
// be.
bool openOutput(const std::string& named) {
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

// The dump's directory: OUTPUT's name without .tar.gz, then without .tgz.
std::string topName(const std::string& out) {
  std::string top = out.substr(out.find_last_of('/') + 1);
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

// --- copying --------------------------------------------------------------

// SOURCE's bytes into DEST, read as qorid reads a file (TextFile): a FIFO or
// a socket gives nothing, without waiting for a writer, a device what it
// gives; past kCopyLimit the copy is cut, and that is said. Returns false
// when SOURCE could not be read; a failure to write DEST ends the dump.
// `known`, when given, is SOURCE's stat(2), which saves asking again.
bool copyFile(const std::string& source, const std::string& dest,
              const struct stat* known = nullptr) {
  struct stat st;
  if (known != nullptr) {
    st = *known;
  } else if (::stat(source.c_str(), &st) != 0) {
    st.st_mode = 0;
  }
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    writeFile(dest, "");
    return true;
  }
  TextFile file(source, kCopyLimit);
  if (!file.isOpen()) {
    return false;
  }
  const int fd = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    stagingFailed(std::strerror(errno));
  }
  std::string chunk;
  while (file.readChunk(chunk)) {
    if (!writeAll(fd, chunk.data(), chunk.size())) {
      const int savedErrno = errno;
      ::close(fd);
      errno = savedErrno;
      stagingFailed(writeError());
    }
  }
  if (::close(fd) != 0) {
    stagingFailed(writeError());
  }
  if (file.cut()) {
    say("cut " + source + " after " + std::to_string(kCopyLimit) +
        " bytes, one more than qorid reads");
  }
  return true;
}

// The node as the library's walk sees it (walkEntry, EnteredDirectories):
// links followed, a link to nothing and a directory met a second time left
// out. The order is the names' (byte order), so that of a directory and a
// link to it beside it ("ethernet", "ethernet-link") the directory keeps its
// own name in the dump.
struct NodeWalk {
  board::EnteredDirectories entered;
  std::vector<std::string> wanCopies;
};

std::vector<std::string> sortedEntries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) {
    return names;
  }
  // readdir_r is deprecated: readdir is safe on a stream of one's own.
  // cppcheck-suppress readdirCalled
  while (const struct dirent* entry = ::readdir(stream)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(stream);
  std::sort(names.begin(), names.end());
  return names;
}

// SOURCE, DEPTH levels below the node, copied to DEST.
// NOLINTNEXTLINE(misc-no-recursion): one level of the node a call, depth bounded
void copyNodeEntry(const std::string& source, const std::string& dest, int depth,
                   NodeWalk& walk) {
  stopIfSignalled();
  struct stat st;
  switch (board::walkEntry(source, st)) {
    case board::WalkEntry::kNothing:
      say("left out " + source + ": a symbolic link to nothing, which qorid skips");
      return;
    case board::WalkEntry::kDirectory:
      if (depth > kMaxDepth) {
        say("left out " + source + ": more than " + std::to_string(kMaxDepth) +
            " levels below the node, deeper than this dump goes");
        return;
      }
      if (!walk.entered.enter(st)) {
        say("left out " + source + ": a directory already copied, which qorid walks once");
        return;
      }
      if (::faccessat(AT_FDCWD, source.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
        say("could not read the directory " + source + gState.rootHint);
        return;
      }
      makeDirectory(dest);
      for (const std::string& name : sortedEntries(source)) {
        copyNodeEntry(std::string(source).append("/").append(name),
                      std::string(dest).append("/").append(name), depth + 1, walk);
      }
      return;
    case board::WalkEntry::kFile:
      break;
  }
  // Every file of the walk, `name` too: the replay must see the node as it
  // was. A device (a link to /dev/zero, say) is read by qorid like a file,
  // and copied as it reads it.
  const std::string name = source.substr(source.find_last_of('/') + 1);
  if (!copyFile(source, dest, &st)) {
    say("could not read " + source + gState.rootHint);
  } else if (board::isProperty(FTW_F, name.c_str()) &&
             board::propertyParameterName(name.c_str()) == board::kWanParameter) {
    walk.wanCopies.push_back(dest);
  }
}

// Copies the node at `node` to `dest`; returns the copies of its wan
// properties.
std::vector<std::string> copyNode(const std::string& node, const std::string& dest) {
  NodeWalk walk;
  copyNodeEntry(node, dest, 0, walk);
  return walk.wanCopies;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool existsOrLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// --- the network ----------------------------------------------------------

// What `ip -o link show dev DEV` gives as the address (linkAddress): empty
// when it gives none; none when ip fails.
std::optional<std::string> macShownByIp(const std::string& dev) {
  const process::Ran ran = runCommand({{"ip", "-o", "link", "show", "dev", dev},
                                       process::Redirect::capture(kOutputLimit),
                                       process::Redirect::null()});
  if (!ran.started || ran.status != 0) {
    return std::nullopt;
  }
  return linkAddress(process::chomp(ran.out));
}

// The interface's hardware address, "-" when it has none; "" when there is
// no such interface.
std::string linkMac(const std::string& dev, bool haveIp) {
  // A name from the node may be anything; an interface's is at most 15
  // bytes, none of them '/' or white space, and never "." or "..".
  if (dev.empty() || dev == "." || dev == ".." || dev.size() > 15 ||
      dev.find_first_of("/ \t\n\v\f\r") != std::string::npos) {
    return "";
  }
  std::string mac;
  if (haveIp) {
    const std::optional<std::string> shown = macShownByIp(dev);
    if (!shown) {
      return "";
    }
    mac = *shown;
  } else {
    const std::string path = board::interfaceAddressPath(dev);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      return "";
    }
    TextFile file(path, 64);
    std::string chunk;
    while (file.readChunk(chunk)) {
      mac += chunk;
    }
    mac = process::chomp(mac);
  }
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  const bool looksLikeOne = mac.size() >= 4 && hex(mac[0]) && hex(mac[1]) && mac[2] == ':' &&
                            mac.find(':', 3) != std::string::npos;
  return looksLikeOne ? mac : "-";
}

// The net line of one line of `ip -o -4 addr show`; "" for a line without
// an address.
std::string netLine(const std::string& line, bool haveIp) {
  const std::optional<AddressLine> parsed = parseAddressLine(line);
  if (!parsed) {
    return "";
  }
  std::string mac = linkMac(parsed->device, haveIp);
  return parsed->label + " " + parsed->address + " " + (mac.empty() ? "-" : mac) + "\n";
}

void writeNet(const std::string& dump, const std::vector<std::string>& wanCopies) {
  const bool haveIp = !process::onPath("ip").empty();
  std::string net;
  if (haveIp) {
    const process::Ran ran = runCommand(
        {{"ip", "-o", "-4", "addr", "show"}, process::Redirect::capture(kOutputLimit), {}});
    if (ran.started && ran.status == 0) {
      for (const std::string& line : process::splitLines(process::chomp(ran.out))) {
        net += netLine(line, haveIp);
      }
    } else {
      say("ip could not list the IPv4 addresses: net is empty");
    }
  } else {
    say("no ip command: net is empty");
  }
  // A wan property of the node (or of a subnode) names the interface whose
  // address qorid asks for, with or without an IPv4 address.
  for (const std::string& copy : wanCopies) {
    bool cut = false;
    const std::string wan = board::interfaceName(board::propertyValue(copy.c_str(), cut));
    if (wan.empty()) {
      continue;
    }
    bool listed = false;
    for (const std::string& line : process::splitLines(net)) {
      const std::vector<std::string> fields = words(line);
      listed = listed || (!fields.empty() && fields[0] == wan);
    }
    if (listed) {
      continue;
    }
    const std::string mac = linkMac(wan, haveIp);
    if (!mac.empty()) {
      net.append(wan).append(" - ").append(mac).append("\n");
    } else {
      say("the node's wan names " + wan + ", which is no interface here");
    }
  }
  writeFile(dump + "/net", net);
}

// --- qorid's own output ---------------------------------------------------

std::string findQorid(const char* argv0) {
  std::string qorid = process::onPath("qorid");
  if (!qorid.empty()) {
    return qorid;
  }
  std::string self = argv0 != nullptr ? argv0 : "";
  if (self.find('/') == std::string::npos) {
    self = process::onPath(self);
  }
  const size_t slash = self.find_last_of('/');
  if (slash == std::string::npos) {
    return "";
  }
  const std::string beside = self.substr(0, slash) + "/qorid";
  return process::isCommandFile(beside) ? beside : "";
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the program, then the folder
void runQorid(const std::string& qorid, const std::string& dump) {
  for (const std::string mode : {"verbose", "list"}) {
    const std::string path = std::string(dump).append("/qorid.").append(mode);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      stagingFailed(std::strerror(errno));
    }
    const process::Ran ran = runCommand(
        {{qorid, "--" + mode}, process::Redirect::to(fd), process::Redirect::capture(kOutputLimit)});
    ::close(fd);
    const std::string errors = process::chomp(ran.err);
    const std::string writeFailed = "qorid: write error: ";
    const size_t at = errors.rfind(writeFailed);
    if (at != std::string::npos) {
      stagingFailed("qorid --" + mode + ": " + errors.substr(at + writeFailed.size()));
    }
    if (!errors.empty()) {
      say("qorid --" + mode + " said on standard error:");
      std::string indented;
      for (const std::string& line : process::splitLines(errors)) {
        indented += "  " + line + "\n";
      }
      writeAll(STDERR_FILENO, indented.data(), indented.size());
    }
    const int status = ran.started ? ran.status : 127;
    if (status != 0) {
      say("qorid --" + mode + " exited with status " + std::to_string(status));
    }
  }
}

// --- the dump -------------------------------------------------------------

void copyBoard(const std::string& dump) {
  const std::string root = dump + "/root";
  makeDirectory(root);
  makeDirectory(root + "/proc");
  const std::string& hint = gState.rootHint;

  std::vector<std::string> wanCopies;
  const std::string node = board::deviceTreeNodePath();
  if (exists(node)) {
    makeDirectory(root + "/proc/device-tree");
    wanCopies = copyNode(node, root + node);
  } else if (!exists(board::procSelfPath())) {
    say("no " + node + ": /proc is not mounted");
  } else {
    say("no " + node + ": the board has no device-tree node");
  }

  // A board without the node names itself at the root of its device tree,
  // which qorid reads when nothing else identifies the board. A PC has no
  // device tree: their absence is no news.
  for (const std::string& file : {board::compatiblePath(), board::modelPath()}) {
    if (existsOrLink(file)) {
      makeDirectory(root + "/proc/device-tree");
      if (!copyFile(file, root + file)) {
        say(std::string("could not read ").append(file).append(hint));
      }
    }
  }

  const std::string cpuinfo = board::cpuinfoPath();
  if (!copyFile(cpuinfo, root + cpuinfo)) {
    say("could not read " + cpuinfo);
  }

  const std::string ids = board::knownIdsPath();
  struct stat st;
  if (::stat(ids.c_str(), &st) != 0) {
    say("no " + ids + ": qorid uses its built-in boards");
  } else if (S_ISDIR(st.st_mode)) {
    say(ids + " is a directory, which qorid cannot read: left out");
  } else {
    makeDirectory(root + "/etc");
    if (!copyFile(ids, root + ids)) {
      say("could not read " + ids + hint);
    }
  }
  stopIfSignalled();

  struct utsname uts;
  if (board::unameInfo(&uts) >= 0) {
    writeFile(dump + "/uname", std::string(uts.release) + "\n" + uts.machine + "\n");
  } else {
    say("uname failed");
  }

  writeNet(dump, wanCopies);
}

}  // namespace

int run(int argc, char** argv) {
  int first = 1;
  for (; first < argc; ++first) {
    const std::string arg = argv[first];
    if (arg == "-h" || arg == "--help") {
      (void)std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--") {
      ++first;
      break;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      say("unknown option: " + arg);
      (void)std::fputs(kUsage, stderr);
      return 2;
    }
    break;
  }
  if (argc - first > 1) {
    say("one output file at most");
    (void)std::fputs(kUsage, stderr);
    return 2;
  }

  ::setenv("PATH", process::commandPath(std::getenv("PATH"), "/usr/sbin:/sbin").c_str(), 1);
  // The children run long, and a tree is no work for a handler: a signal
  // is noted, passed on to the child, and undone at the next look.
  undo::installHandlers(undo::OnSignal::kNote);

  // The tarball is created before any other work, exclusively, and written
  // through the descriptor that created it.
  if (!openOutput(first < argc ? argv[first] : "")) {
    return 1;
  }
  const std::string top = topName(gState.out);

  const char* tmpdir = std::getenv("TMPDIR");
  gState.tmpdir = tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
  std::string stage = gState.tmpdir + "/qorid-dump.XXXXXX";
  if (::mkdtemp(stage.data()) == nullptr) {
    say("cannot make a temporary directory under " + gState.tmpdir + ": no dump written");
    finish(1);
  }
  struct stat staged;
  if (::stat(stage.c_str(), &staged) != 0 || !undo::armRemoveTree(stage, staged)) {
    std::error_code ignored;
    std::filesystem::remove_all(stage, ignored);
    say("cannot make a temporary directory under " + gState.tmpdir + ": no dump written");
    finish(1);
  }
  gState.rootHint = ::geteuid() == 0 ? "" : " (run as root to include it)";
  const std::string dump = stage + "/" + top;
  makeDirectory(dump);

  copyBoard(dump);

  const std::string qorid = findQorid(argv[0]);
  if (!qorid.empty()) {
    runQorid(qorid, dump);
  } else {
    say("qorid is not on PATH: its output is not included");
  }

  const process::Ran tar = runCommand(
      {{"tar", "-czf", "-", "-C", stage, "--", top}, process::Redirect::to(gState.outFd), {}});
  const int closed = ::close(gState.outFd);
  if (!tar.started || tar.status != 0 || closed != 0) {
    say("could not write " + gState.out);
    finish(1);
  }
  const std::string printed = gState.out + "\n";
  writeAll(STDOUT_FILENO, printed.data(), printed.size());
  finish(0);
}

}  // namespace qorid::dump
