// The device-tree walk: every property file under the board's node, and
// below it, becomes one parameter.
#ifndef QORID_LIB_DT_WALK_H_
#define QORID_LIB_DT_WALK_H_

#include <ftw.h>
#include <sys/stat.h>

#include <set>
#include <string>
#include <utility>

namespace qorid {

// /proc/device-tree/morvane, the board's node.
std::string boardNodePath();

// Walks `dir` with nftw: symbolic links followed, a directory before its
// entries, at most ten descriptors open (this bounds descriptors, not
// depth). `visit` sees every entry, the root included, with `sb` as stat(2)
// gives it through links, and `typeflag`:
//   FTW_D    a directory (or a link to one), walked the first time it is
//            met; met again (the same device and inode, through a link or
//            a link back up) it is neither walked nor visited;
//   FTW_DNR  a directory that cannot be read, whose entries are not walked;
//   FTW_SLN  a symbolic link to nothing;
//   FTW_NS   an entry stat(2) fails on (in a directory that can be read but
//            not searched);
//   FTW_F    anything else: a file, a FIFO, a socket, a device.
// A non-zero return from `visit` ends the walk with that value; otherwise
// returns 0 after a complete walk, -1 when `dir` cannot be walked (or when
// stat(2) of an entry fails but with EACCES or ENOENT).
//
// Under a board root (system.h) the links resolve within the root, and the
// walk is one of this module's own that gives what nftw gives at the same
// paths: the same entries in the same order (readdir's, depth first), the
// same paths, `sb`, typeflags, levels and bases, the same returns. It holds
// two descriptors at most, and one directory's names at a time per level
// below; a path longer than PATH_MAX cannot be resolved within the root and
// ends the walk with -1.
using WalkVisitor = int (*)(const char* path, const struct stat* sb, int typeflag,
                            struct FTW* ftwbuf);
int walkTree(const char* dir, WalkVisitor visit);

// walkTree's rules, for code that walks a node in an order of its own (the
// board dump goes in name order):
//
// What the walk makes of the entry at `path`, looked at through links: a
// directory (FTW_D), a file (FTW_F: anything else stat(2) can look at, a
// FIFO or a device too), or nothing (FTW_SLN, FTW_NS: a link to nothing, an
// entry that cannot be looked at), which the walk passes over. `sb` is
// filled by stat(2) unless the entry is nothing.
enum class WalkEntry { kDirectory, kFile, kNothing };
WalkEntry walkEntry(const std::string& path, struct stat& sb);

// The directories a walk has entered, by device and inode: the walk enters
// each once, however many links lead to it. enter() returns false for one
// entered before. Memory grows with the number entered; not thread-safe.
class EnteredDirectories {
 public:
  bool enter(const struct stat& sb) { return mSeen.insert({sb.st_dev, sb.st_ino}).second; }

 private:
  std::set<std::pair<dev_t, ino_t>> mSeen;
};

// Whether an entry of the walk is a property: a file (a link to a file
// counts) not called "name", which every node has.
bool isProperty(int typeflag, const char* fileName);

// "QOR_" and the file's name upper-cased byte by byte under the global
// locale: in the "C" locale only a-z change ("board-rev,2" gives
// "QOR_BOARD-REV,2").
std::string propertyParameterName(const char* fileName);

// What the parameters of one walk may take together: 16 MiB, counted as
// walkCost() gives it. Far more than any board's node holds; it keeps a node
// of many large properties (each is read up to TextFile's limit) from
// taking memory without end.
inline constexpr size_t kWalkBudget = size_t{16} << 20;

// What a parameter costs against kWalkBudget: its name, its value and what
// keeping a parameter takes besides (a fixed 64 bytes).
size_t walkCost(const std::string& name, const std::string& value);

// The WARN message for a property that the walk leaves out once kWalkBudget
// is used up: "Left out of the parameters: PATH: the device tree's
// parameters take more than 16777216 bytes".
std::string pastBudgetNotice(const std::string& path);

// The property's value: the file's bytes up to its first newline, NUL bytes
// included; empty when the file cannot be opened. A first line longer than
// is read of a file (see TextFile) is cut there, and `cut` is set.
std::string propertyValue(const char* path, bool& cut);

}  // namespace qorid

#endif  // QORID_LIB_DT_WALK_H_
