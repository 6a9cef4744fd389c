// The folder that qorid-publish writes into (publish.h): one run at a time,
// the published names looked at before anything is written, temporary files
// of the run's own, and the pair replaced as a whole. Every change it makes
// is armed in common/undo, so that undo::undoAll(), or a termination signal
// while undo's handlers are installed, puts the folder back as it was.
#ifndef QORID_TOOL_PUBLISH_FOLDER_H_
#define QORID_TOOL_PUBLISH_FOLDER_H_

#include "common/descriptor.h"

#include <sys/stat.h>

#include <string>

namespace qorid {

// The first line of parameters.env and the start of board.json: the mark by
// which a publication knows the files of an earlier one. A file of those
// names without it (an administrator's own, a folder, a link) is never
// replaced.
inline constexpr char kEnvFileMark[] =
    "# Written by qorid-publish; the next publication replaces this file.\n";
inline constexpr char kJsonFileMark[] = R"({"publisher":"qorid-publish",)";

// The published files, by number: 0 is parameters.env, 1 is board.json.
inline constexpr int kPublishedFiles = 2;

class PublishedFolder {
 public:
  // `dir` must be a folder that exists; nothing is done until take().
  explicit PublishedFolder(std::string dir);
  PublishedFolder(const PublishedFolder&) = delete;
  PublishedFolder& operator=(const PublishedFolder&) = delete;

  [[nodiscard]] const std::string& dir() const { return mDir; }

  // Opens the folder, locks it (flock on the folder itself, which leaves
  // nothing in it: another run's lock is waited for up to 10 seconds) and
  // looks at both names: each may hold nothing or a regular file with its
  // mark, which is kept open from here on. Empty, or why the run may not
  // publish there ("will not replace DIR/NAME: WHAT" for the first name that
  // holds anything else).
  std::string take();

  // A new temporary file .NAME.XXXXXX for published file `k`, mode 0644,
  // armed for removal. Empty, or why not.
  std::string create(int k);
  // The temporary file's descriptor, for writing (the folder owns it), and
  // its path for messages.
  [[nodiscard]] int fd(int k) const { return mNew[k].fd.fd(); }
  [[nodiscard]] std::string pathOf(int k) const { return path(mNew[k].name); }

  // Both temporary files in place: each exchanged with the earlier file of
  // its name (which then waits under the temporary name) or renamed where
  // there was none, never over a file; each step armed to be undone.
  // Empty, or why not.
  std::string place();

  // Once the pair is in place and undo forgets it: the earlier pair, now
  // under the temporary names, removed while those names still lead to it.
  // What cannot be removed is said on standard error, without failing.
  void removeEarlier() const;

  // What the folder holds of the published names and of this run's
  // temporary ones, as the end of a failure line: "nothing is published in
  // DIR", or "nothing new is published in DIR; left there: NAME (WHOSE),
  // ...", WHOSE being "published earlier", "this run's", "the earlier NAME",
  // or what take() found ("not written by qorid-publish", "a folder", ...).
  [[nodiscard]] std::string whatIsLeft() const;

 private:
  // What a name held when the run looked, before it wrote.
  enum class Found { kNothing, kEarlier, kOther };
  struct Before {
    Found found = Found::kNothing;
    std::string what;  // kOther: what it is, as "left there" names it
    Descriptor fd;     // kEarlier: held open, so that its numbers stay its own
    struct stat st {};
  };
  // A file this run writes: its temporary name in the folder, held open.
  struct Written {
    std::string name;
    Descriptor fd;
    struct stat st {};
  };

  [[nodiscard]] std::string path(const std::string& name) const { return mDir + "/" + name; }
  std::string lock();
  std::string look(int k);
  std::string place(int k);
  [[nodiscard]] std::string whose(int k, const std::string& name, const struct stat& st) const;

  std::string mDir;
  Descriptor mDirFd;
  Before mBefore[kPublishedFiles];
  Written mNew[kPublishedFiles];
};

}  // namespace qorid

#endif  // QORID_TOOL_PUBLISH_FOLDER_H_
