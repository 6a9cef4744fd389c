// What the identification reads on the running system, in the order it is
// tried: the board's device-tree node, the kernel (uname), the Hardware line
// of /proc/cpuinfo, and the names the device tree gives the board at its
// root. Reading only: which identity that gives is the identifier's
// decision.
#ifndef QORID_LIB_BOARD_SOURCES_H_
#define QORID_LIB_BOARD_SOURCES_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qorid {

// The node's boardid and description properties.
struct BoardNode {
  bool hasBoardId = false;  // the boardid file opened: the node identifies the board
  // The number read from boardid as formatted extraction reads an int:
  // white space skipped, a sign, decimal digits; no digit gives 0, a number
  // out of range the nearest limit. None when boardid did not open or held
  // only white space. The read is bounded, whatever the file holds.
  std::optional<int> number;
  // The first line of description, every byte but the newline (a final NUL
  // kept). None when the file did not open.
  std::optional<std::string> description;
  // The paths of the two files that held more than is read of a file (see
  // TextFile): the number or the name then stops at the limit.
  std::vector<std::string> cut;
};
BoardNode readBoardNode();

// The kernel's release and machine type: uname's; under a board root
// (system.h) each from the root's file when it has a value (its first line
// without the newline, at most 64 bytes, what uname's fields hold), and
// uname's otherwise. None when uname is asked and fails.
struct KernelInfo {
  std::string release;
  std::string machine;
  // The board root's files that were empty or could not be read, whose
  // value is the running kernel's instead.
  std::vector<std::string> fromUname;
};
std::optional<KernelInfo> kernelInfo();

// The part of a kernel release after its last '-' ("5.10.0-qvk" gives
// "qvk", "4.19.1-a-b" gives "b", a release ending in '-' the empty text);
// none when the release has no '-'.
std::optional<std::string> releaseAlias(const std::string& release);

// /proc/cpuinfo up to its first Hardware line (one whose first eight bytes
// are "Hardware"). Every line read, the Hardware line included, is handed to
// `onLine` first; nothing after it is read. A line that the read limit cuts
// short (see TextFile) is neither handed on nor taken: the scan ends there.
struct CpuinfoScan {
  bool opened = false;
  // The file's path when it held more than is read of a file.
  std::optional<std::string> cut;
  std::optional<std::string> hardwareLine;
};
CpuinfoScan scanCpuinfo(const std::function<void(const std::string&)>& onLine);

// The value of a Hardware line: the rest of the line from two bytes after
// its first ':' (the colon and the blank expected after it), nothing
// trimmed. A line without ':' or with nothing after it gives the empty
// text, which matches no known name or alias.
std::string hardwareValue(const std::string& line);

// The names a board gives itself at the root of its device tree, most
// specific first: each string of /proc/device-tree/compatible in order,
// then the first string of /proc/device-tree/model. A string ends at a NUL
// or at the end of the file. An empty string is no name, and neither is a
// last one that the read limit cuts short (see TextFile): what is left of
// it could pass for another name. The scan streams: a compatible of 1 MiB
// of NULs holds no name and costs one chunk of memory.
enum class RootFile { kCompatible, kModel };
struct BoardNameSteps {
  // A file that opened, with its path, before any of its names.
  std::function<void(RootFile, const std::string& path)> opened;
  // Each name in turn; returning true ends the scan there.
  std::function<bool(const std::string& name)> name;
  // The path of a file that held more than is read of a file, after the
  // last of its names.
  std::function<void(const std::string& path)> cut;
};
// True when `name` ended the scan; false after both files (a file that
// does not open counts as one without names).
bool scanBoardNames(const BoardNameSteps& steps);

}  // namespace qorid

#endif  // QORID_LIB_BOARD_SOURCES_H_
