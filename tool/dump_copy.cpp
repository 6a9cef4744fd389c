#include "tool/dump_copy.h"

#include "common/full_io.h"
#include "common/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qorid::dump {
namespace {

// The names in `dir` but "." and "..", sorted; none when it cannot be read.
std::vector<std::string> sortedEntries(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
       entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

Stopped Copier::copyFile(const std::string& source, const std::string& dest, bool withHint) {
  bool read = false;
  Stopped stopped = copy(source, dest, nullptr, read);
  if (!stopped && !read) {
    say("could not read " + source + (withHint ? mRootHint : ""));
  }
  return stopped;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): where from, then where to
Stopped Copier::copy(const std::string& source, const std::string& dest, const struct stat* known,
                     bool& read) {
  struct stat st;
  if (known != nullptr) {
    st = *known;
  } else if (::stat(source.c_str(), &st) != 0) {
    st.st_mode = 0;
  }
  read = true;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    return mStaging.writeFile(dest, "");
  }
  TextFile file(source, kCopyLimit);
  if (!file.isOpen()) {
    read = false;
    return {};
  }
  Descriptor fd;
  if (Stopped stopped = mStaging.create(dest, fd, O_NOFOLLOW)) {
    return stopped;
  }
  std::string chunk;
  bool written = true;
  while (written && file.readChunk(chunk)) {
    written = writeAll(fd.fd(), chunk);
  }
  if (Stopped stopped = mStaging.close(fd, written)) {
    return stopped;
  }
  if (file.cut()) {
    say("cut " + source + " after " + std::to_string(kCopyLimit) +
        " bytes, one more than qorid reads");
  }
  return {};
}

Stopped Copier::copyNode(const std::string& node, const std::string& dest) {
  return copyEntry(node, dest, 0);
}

// SOURCE, DEPTH levels below the node, copied to DEST.
// NOLINTNEXTLINE(misc-no-recursion): one level of the node a call, depth bounded
Stopped Copier::copyEntry(const std::string& source, const std::string& dest, int depth) {
  if (Stopped stopped = checkSignals()) {
    return stopped;
  }
  struct stat st;
  switch (board::walkEntry(source, st)) {
    case board::WalkEntry::kNothing:
      say("left out " + source + ": a symbolic link to nothing, which qorid skips");
      return {};
    case board::WalkEntry::kDirectory:
      if (depth > kMaxDepth) {
        say("left out " + source + ": more than " + std::to_string(kMaxDepth) +
            " levels below the node, deeper than this dump goes");
        return {};
      }
      if (!mEntered.enter(st)) {
        say("left out " + source + ": a directory already copied, which qorid walks once");
        return {};
      }
      if (::faccessat(AT_FDCWD, source.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
        say("could not read the directory " + source + mRootHint);
        return {};
      }
      if (Stopped stopped = mStaging.makeDirectory(dest)) {
        return stopped;
      }
      for (const std::string& name : sortedEntries(source)) {
        if (Stopped stopped = copyEntry(std::string(source).append("/").append(name),
                                        std::string(dest).append("/").append(name), depth + 1)) {
          return stopped;
        }
      }
      return {};
    case board::WalkEntry::kFile:
      break;
  }
  // Every file of the walk, `name` too: the replay must see the node as it
  // was. A device (a link to /dev/zero, say) is read by qorid like a file,
  // and copied as it reads it.
  const std::string name = source.substr(source.find_last_of('/') + 1);
  bool read = false;
  if (Stopped stopped = copy(source, dest, &st, read)) {
    return stopped;
  }
  if (!read) {
    say("could not read " + source + mRootHint);
  } else if (board::isProperty(FTW_F, name.c_str()) &&
             board::propertyParameterName(name.c_str()) == board::kWanParameter) {
    mWanCopies.push_back(dest);
  }
  return {};
}

}  // namespace qorid::dump
