// The one place that knows where the system's files live and calls uname.
#ifndef QORID_LIB_SYSTEM_H_
#define QORID_LIB_SYSTEM_H_

#include <sys/stat.h>
#include <sys/utsname.h>

#include <string>

namespace qorid::sys {

// The fixed paths the library reads. In production these are the absolute
// paths named in each function; under a board root (setBoardRoot) they are
// those paths with the root before them, and tests may move them under a
// fixture root.
std::string knownIdsPath();        // /etc/known_qor_ids
std::string deviceTreeNodePath();  // /proc/device-tree/morvane
std::string boardIdPath();         // /proc/device-tree/morvane/boardid
std::string descriptionPath();     // /proc/device-tree/morvane/description
std::string cpuinfoPath();         // /proc/cpuinfo
std::string compatiblePath();      // /proc/device-tree/compatible
std::string modelPath();           // /proc/device-tree/model
// There whenever /proc is mounted: what tells a board without a device-tree
// node from a system whose /proc is missing.
std::string procSelfPath();  // /proc/self
// The hardware address of interface `name` as the kernel writes it (two hex
// digits a byte, joined by ':', and a newline). `name` is put in as it is:
// the caller keeps it to an interface's name (no '/', not "." or "..").
std::string interfaceAddressPath(const std::string& name);  // /sys/class/net/NAME/address
// The kernel's release and machine type, as the kernel writes them (one line
// each; `arch` since Linux 6.1): what a board root has in place of uname.
std::string kernelReleasePath();  // /proc/sys/kernel/osrelease
std::string machinePath();        // /proc/sys/kernel/arch

// The board root: a folder that holds a board's files where the system has
// them (a board dump's root/, a container's view of its host). Once it is
// set, every path above is under it, and the functions below open and look
// at paths within it, as if it were /: a symbolic link that points
// absolutely starts at the root, ".." stops there, and a path that does not
// start with the root is refused (EXDEV); nothing outside ever stands in.
// The kernel does the resolving (openat2(2) with RESOLVE_IN_ROOT, Linux 5.6
// and later; "magic" links of /proc are refused), or, where it has no
// openat2, a walk of the library's own that follows the same rules a name
// at a time. "" puts the system's own
// files back. Returns "" once the root is set, else why `dir` cannot be one
// (strerror's text: it does not exist, is no directory, or this kernel
// cannot resolve within it), and leaves the setting as it was. Trailing
// slashes of `dir` are dropped. Not thread-safe.
std::string setBoardRoot(const std::string& dir);
bool underBoardRoot();

// Opens `path` as TextFile does (O_RDONLY | O_NONBLOCK | O_CLOEXEC), within
// the board root when one is set: TextFile's Opener for the board's files.
int openForReading(const std::string& path);
// Opens the directory at `path` for reading its entries (O_RDONLY |
// O_DIRECTORY | O_CLOEXEC), within the board root when one is set.
int openDirectory(const std::string& path);
// stat(2) of `path` (lstat(2) without `followLinks`), within the board root
// when one is set. 0, or -1 with errno set.
int lookAt(const std::string& path, struct stat& sb, bool followLinks);

// uname(2), or what a test asked for. Returns a negative value on failure.
int unameInfo(struct utsname* uts);

// Test hooks. Not exported from the shared library: only code linked with
// the library's objects (the unit tests) can reach them.
// The paths moved under `root` as text, opened and looked at as the system
// resolves them; no board root. "" = the real root.
void setRootForTesting(const std::string& root);
void setUnameForTesting(const std::string& release, const std::string& machine);
void failUnameForTesting();
// The board roots set from now on are resolved within by the library's own
// walk, as where the kernel has no openat2(2).
void resolveWithoutOpenat2ForTesting();
void resetForTesting();  // real root, no board root, real uname

}  // namespace qorid::sys

#endif  // QORID_LIB_SYSTEM_H_
