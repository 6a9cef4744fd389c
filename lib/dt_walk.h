// The device-tree walk: every property file under the board's node, and
// below it, becomes one parameter.
#ifndef QORID_LIB_DT_WALK_H_
#define QORID_LIB_DT_WALK_H_

#include <ftw.h>
#include <sys/stat.h>

#include <string>

namespace qorid {

// /proc/device-tree/morvane, the board's node.
std::string boardNodePath();

// Walks `dir` with nftw: symbolic links followed, a directory before its
// entries, at most ten descriptors open (this bounds descriptors, not
// depth). `visit` sees every entry, the root included. Returns nftw's
// result: 0 after a complete walk, -1 when `dir` cannot be walked.
using WalkVisitor = int (*)(const char* path, const struct stat* sb, int typeflag,
                            struct FTW* ftwbuf);
int walkTree(const char* dir, WalkVisitor visit);

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
