// How qorid-dump copies what qorid reads into its temporary directory: each
// file as qorid reads it (TextFile), the board's node as the library's walk
// goes through it.
#ifndef QORID_TOOL_DUMP_COPY_H_
#define QORID_TOOL_DUMP_COPY_H_

#include "lib/board_files.h"
#include "tool/dump_staging.h"

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace qorid::dump {

// One byte more than qorid reads: a replay stops where qorid stopped on the
// board, and a property linked to a huge or endless file does not fill the
// dump.
inline constexpr size_t kCopyLimit = board::kReadLimit + 1;
// Directories deeper than this below the node are left out, as the dump has
// always done.
inline constexpr int kMaxDepth = 990;

// Copies into a Staging, which it borrows; what it leaves out is said
// (say()). Not thread-safe.
class Copier {
 public:
  // `rootHint` ends the line that names a file that cannot be read: what
  // could bring it in (" (run as root to include it)"), or "".
  Copier(const Staging& staging, std::string rootHint)
      : mStaging(staging), mRootHint(std::move(rootHint)) {}

  // SOURCE's bytes into DEST: a FIFO or a socket gives nothing, without
  // waiting for a writer, a device what it gives; past kCopyLimit the copy
  // is cut, and "cut SOURCE after 1048577 bytes, one more than qorid reads"
  // said. SOURCE that cannot be read is said ("could not read SOURCE", then
  // the hint when `withHint`), and the dump goes on without it.
  Stopped copyFile(const std::string& source, const std::string& dest, bool withHint = true);

  // The node at `node` into `dest`, every entry the walk visits: links
  // followed, a link to nothing and a directory met a second time left out,
  // as is a directory more than kMaxDepth levels below the node (each of
  // those said). In name order (byte order), so that of a directory and a
  // link to it beside it ("ethernet", "ethernet-link") the directory keeps
  // its own name in the dump. Stopped by a noted signal before any entry.
  Stopped copyNode(const std::string& node, const std::string& dest);

  // The copies of the node's wan properties (of the node or a subnode), in
  // the order they were copied.
  [[nodiscard]] const std::vector<std::string>& wanCopies() const { return mWanCopies; }

 private:
  // `known`, when given, is SOURCE's stat(2); `read` tells whether SOURCE
  // could be read.
  Stopped copy(const std::string& source, const std::string& dest, const struct stat* known,
               bool& read);
  Stopped copyEntry(const std::string& source, const std::string& dest, int depth);

  const Staging& mStaging;
  std::string mRootHint;
  board::EnteredDirectories mEntered;
  std::vector<std::string> mWanCopies;
};

}  // namespace qorid::dump

#endif  // QORID_TOOL_DUMP_COPY_H_
