#include "tool/dump.h"

#include "common/descriptor.h"
#include "common/full_io.h"
#include "common/process.h"
#include "common/undo.h"
#include "lib/board_files.h"
#include "tool/dump_copy.h"
#include "tool/dump_net.h"
#include "tool/dump_output.h"
#include "tool/dump_staging.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace qorid::dump {
namespace {

const char kUsage[] =
    "Usage: qorid-dump [-h] [OUTPUT]\n"
    "Copies what qorid reads on this board (its device-tree node, the device\n"
    "tree's compatible and model, /proc/cpuinfo, /etc/known_qor_ids, the kernel\n"
    "release and machine type, the IPv4 interfaces and their hardware addresses)\n"
    "and what qorid prints into one tarball.\n"
    "OUTPUT defaults to qorid-dump-<hostname>-<date>.tar.gz in this directory.\n"
    "  -h, --help   print this help\n";

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool existsOrLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The board's node and the device tree's own names into ROOT.
Stopped copyDeviceTree(const Staging& staging, Copier& copier, const std::string& root) {
  const std::string node = board::deviceTreeNodePath();
  if (exists(node)) {
    Stopped stopped = staging.makeDirectory(root + "/proc/device-tree");
    if (stopped || (stopped = copier.copyNode(node, root + node))) {
      return stopped;
    }
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
      Stopped stopped = staging.makeDirectory(root + "/proc/device-tree");
      if (stopped || (stopped = copier.copyFile(file, root + file))) {
        return stopped;
      }
    }
  }
  return {};
}

// The files qorid reads into DUMP/root, where qorid reads them, then the
// uname and net files.
Stopped copyBoard(const Staging& staging, Copier& copier, const std::string& dump) {
  const std::string root = dump + "/root";
  Stopped stopped = staging.makeDirectory(root);
  if (stopped || (stopped = staging.makeDirectory(root + "/proc")) ||
      (stopped = copyDeviceTree(staging, copier, root))) {
    return stopped;
  }

  // Anyone may read cpuinfo: running as root would bring nothing more.
  const std::string cpuinfo = board::cpuinfoPath();
  if ((stopped = copier.copyFile(cpuinfo, root + cpuinfo, false))) {
    return stopped;
  }

  const std::string ids = board::knownIdsPath();
  struct stat st;
  if (::stat(ids.c_str(), &st) != 0) {
    say("no " + ids + ": qorid uses its built-in boards");
  } else if (S_ISDIR(st.st_mode)) {
    say(ids + " is a directory, which qorid cannot read: left out");
  } else if ((stopped = staging.makeDirectory(root + "/etc")) ||
             (stopped = copier.copyFile(ids, root + ids))) {
    return stopped;
  }
  if ((stopped = checkSignals())) {
    return stopped;
  }

  // The release and machine also where a board root has them, both from
  // uname: a kernel before 6.1 has no arch file to copy.
  struct utsname uts;
  if (board::unameInfo(&uts) < 0) {
    say("uname failed");
  } else if ((stopped = staging.writeFile(
                  dump + "/uname", std::string(uts.release) + "\n" + uts.machine + "\n")) ||
             (stopped = staging.makeDirectories(root, "proc/sys/kernel")) ||
             (stopped = staging.writeFile(root + board::kernelReleasePath(),
                                          std::string(uts.release) + "\n")) ||
             (stopped = staging.writeFile(root + board::machinePath(),
                                          std::string(uts.machine) + "\n"))) {
    return stopped;
  }
  return writeNet(staging, dump, copier.wanCopies());
}

// qorid on PATH, or else beside this program (argv[0], or where PATH finds
// it); "" when neither has it.
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

// What `qorid --verbose` and `qorid --list` print, into DUMP/qorid.MODE;
// what qorid says on standard error is said again, indented. qorid failing
// to write its output is the staging directory failing.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the program, then the folder
Stopped runQorid(const Staging& staging, const std::string& qorid, const std::string& dump) {
  for (const std::string mode : {"verbose", "list"}) {
    Descriptor fd;
    if (Stopped stopped = staging.create(std::string(dump).append("/qorid.").append(mode), fd)) {
      return stopped;
    }
    const process::Ran ran = runWatched({{qorid, "--" + mode}, process::Redirect::to(fd.fd()),
                                         process::Redirect::capture(kOutputLimit)});
    if (Stopped stopped = checkSignals()) {
      return stopped;
    }
    fd.reset();  // what qorid wrote is qorid's to report, below
    const std::string errors = process::chomp(ran.err);
    const std::string writeFailed = "qorid: write error: ";
    const size_t at = errors.rfind(writeFailed);
    if (at != std::string::npos) {
      return staging.failed("qorid --" + mode + ": " + errors.substr(at + writeFailed.size()));
    }
    if (!errors.empty()) {
      say("qorid --" + mode + " said on standard error:");
      std::string indented;
      for (const std::string& line : process::splitLines(errors)) {
        indented += "  " + line + "\n";
      }
      (void)writeAll(STDERR_FILENO, indented);
    }
    const int status = ran.started ? ran.status : 127;
    if (status != 0) {
      say("qorid --" + mode + " exited with status " + std::to_string(status));
    }
  }
  return {};
}

// The dump put together in `staging` and packed into `output` by tar.
Stopped makeDump(Staging& staging, Output& output, const char* argv0) {
  if (Stopped stopped = staging.make(std::getenv("TMPDIR"))) {
    return stopped;
  }
  const std::string top = output.topName();
  const std::string dump = staging.path() + "/" + top;
  Copier copier(staging, ::geteuid() == 0 ? "" : " (run as root to include it)");
  Stopped stopped = staging.makeDirectory(dump);
  if (stopped || (stopped = copyBoard(staging, copier, dump))) {
    return stopped;
  }
  const std::string qorid = findQorid(argv0);
  if (qorid.empty()) {
    say("qorid is not on PATH: its output is not included");
  } else if ((stopped = runQorid(staging, qorid, dump))) {
    return stopped;
  }
  const process::Ran tar = runWatched(
      {{"tar", "-czf", "-", "-C", staging.path(), "--", top}, process::Redirect::to(output.fd()), {}});
  if ((stopped = checkSignals())) {
    return stopped;
  }
  const int closed = output.close();
  if (!tar.started || tar.status != 0 || closed != 0) {
    return Stopped::because("could not write " + output.path());
  }
  return {};
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

  // The tarball is created before any other work.
  Output output;
  if (!output.open(first < argc ? argv[first] : "")) {
    return 1;
  }
  Staging staging;
  Stopped stopped = checkSignals();  // one may have come while date ran
  if (stopped || (stopped = makeDump(staging, output, argv[0]))) {
    if (!stopped.line().empty()) {
      say(stopped.line());
    }
    (void)undo::undoAll();  // the temporary directory, then the tarball
    return 1;
  }
  (void)writeAll(STDOUT_FILENO, output.path() + "\n");
  (void)undo::completeAll();  // the temporary directory; the tarball stays
  return 0;
}

}  // namespace qorid::dump
