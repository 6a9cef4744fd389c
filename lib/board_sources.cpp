#include "lib/board_sources.h"

#include "common/text_file.h"
#include "lib/system.h"

#include <sys/utsname.h>

#include <utility>

namespace qorid {

BoardNode readBoardNode() {
  BoardNode node;
  {
    TextFile boardId(sys::boardIdPath(), kReadLimit, sys::openForReading);
    if (boardId.isOpen()) {
      node.hasBoardId = true;
      int number = 0;
      // Read as it streams in: a boardid that never ends (a link to
      // /dev/zero, a FIFO fed without end) costs no more than a short one.
      if (boardId.readInt(number)) {
        node.number = number;
      }
      if (boardId.cut()) {
        node.cut.push_back(boardId.path());
      }
    }
  }
  TextFile description(sys::descriptionPath(), kReadLimit, sys::openForReading);
  if (description.isOpen()) {
    std::string line;
    description.readLine(line);
    node.description = std::move(line);
    if (description.cut()) {
      node.cut.push_back(description.path());
    }
  }
  return node;
}

namespace {

// What uname's fields hold, without their NUL.
constexpr size_t kKernelFieldLimit = 64;

// The first line of the board root's kernel file at `path` into `value`;
// false, and the path noted in `fromUname`, when it gives nothing.
bool readKernelFile(const std::string& path, std::string& value,
                    std::vector<std::string>& fromUname) {
  TextFile file(path, kKernelFieldLimit, sys::openForReading);
  if (file.readLine(value) && !value.empty()) {
    return true;
  }
  fromUname.push_back(path);
  return false;
}

}  // namespace

std::optional<KernelInfo> kernelInfo() {
  KernelInfo info;
  bool haveRelease = false;
  bool haveMachine = false;
  if (sys::underBoardRoot()) {
    haveRelease = readKernelFile(sys::kernelReleasePath(), info.release, info.fromUname);
    haveMachine = readKernelFile(sys::machinePath(), info.machine, info.fromUname);
  }
  if (haveRelease && haveMachine) {
    return info;
  }
  struct utsname uts;
  if (sys::unameInfo(&uts) < 0) {
    return std::nullopt;
  }
  if (!haveRelease) {
    info.release = uts.release;
  }
  if (!haveMachine) {
    info.machine = uts.machine;
  }
  return info;
}

std::optional<std::string> releaseAlias(const std::string& release) {
  const std::string::size_type dash = release.rfind('-');
  if (dash == std::string::npos) {
    return std::nullopt;
  }
  return release.substr(dash + 1);
}

CpuinfoScan scanCpuinfo(const std::function<void(const std::string&)>& onLine) {
  CpuinfoScan scan;
  TextFile cpuinfo(sys::cpuinfoPath(), kReadLimit, sys::openForReading);
  scan.opened = cpuinfo.isOpen();
  std::string line;
  while (scan.opened && cpuinfo.readLine(line) && !cpuinfo.cut()) {
    onLine(line);
    if (line.compare(0, 8, "Hardware") == 0) {
      scan.hardwareLine = line;
      break;
    }
  }
  if (cpuinfo.cut()) {
    scan.cut = cpuinfo.path();
  }
  return scan;
}

bool scanBoardNames(const BoardNameSteps& steps) {
  const std::pair<RootFile, std::string> files[] = {
      {RootFile::kCompatible, sys::compatiblePath()},
      {RootFile::kModel, sys::modelPath()},
  };
  for (const auto& [which, path] : files) {
    TextFile file(path, kReadLimit, sys::openForReading);
    if (!file.isOpen()) {
      continue;
    }
    steps.opened(which, file.path());
    std::string name;
    // A model is one string: what follows its NUL is no name.
    const bool all = which == RootFile::kCompatible;
    bool more = true;
    while (more && file.readUntil(name, '\0') && !file.cut()) {
      if (!name.empty() && steps.name(name)) {
        return true;
      }
      more = all;
    }
    if (file.cut()) {
      steps.cut(file.path());
    }
  }
  return false;
}

std::string hardwareValue(const std::string& line) {
  const std::string::size_type colon = line.find(':');
  if (colon == std::string::npos || colon + 2 > line.size()) {
    return {};
  }
  return line.substr(colon + 2);
}

}  // namespace qorid
