// The tarball's file. Nothing that exists is ever written into: it is
// created exclusively (O_EXCL, never through a link) before anything else
// is done, written through the descriptor that created it, and removed on
// the way out, unless the dump is complete, while its name still leads to
// it (undo::armRemove on its folder).
#ifndef QORID_TOOL_DUMP_OUTPUT_H_
#define QORID_TOOL_DUMP_OUTPUT_H_

#include "common/descriptor.h"

#include <string>

namespace qorid::dump {

class Output {
 public:
  // Creates the file `named`, relative to the current directory as $PWD
  // names it, or when `named` is empty qorid-dump-HOST-TIME.tar.gz there
  // (-2 ... -100 before .tar.gz for a name that is taken; TIME as date(1) on
  // PATH gives it, the C library's when date fails). False, said in one
  // line, when no file could be created.
  bool open(const std::string& named);

  [[nodiscard]] const std::string& path() const { return mPath; }
  [[nodiscard]] int fd() const { return mFile.fd(); }
  // Closes the file: 0, or -1 with errno set (the end of its writes failed).
  int close() { return mFile.close(); }

  // The dump's directory in the tarball: the file's name without .tar.gz,
  // then without .tgz; "qorid-dump" when that leaves "", "." or "..".
  [[nodiscard]] std::string topName() const;

 private:
  enum class Created { kYes, kExists, kCannot };
  Created create(const std::string& path);

  std::string mPath;
  Descriptor mFile;
  Descriptor mDir;  // the file's folder, where its removal is armed
};

}  // namespace qorid::dump

#endif  // QORID_TOOL_DUMP_OUTPUT_H_
