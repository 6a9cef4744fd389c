#include "lib/dt_walk.h"

#include "common/text_file.h"
#include "lib/parameter_names.h"
#include "lib/system.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <locale>
#include <optional>
#include <vector>

namespace qorid {
namespace {

// A directory's entries but "." and "..", in readdir's order; none, errno
// telling why, when it cannot be opened.
std::optional<std::vector<std::string>> entriesOf(const std::string& path) {
  const int fd = sys::openDirectory(path);
  DIR* stream = fd < 0 ? nullptr : ::fdopendir(fd);
  if (stream == nullptr) {
    const int why = errno;
    if (fd >= 0) {
      ::close(fd);
    }
    errno = why;
    return std::nullopt;
  }
  std::vector<std::string> names;
  // One stream, read by one thread: readdir_r is deprecated for readdir.
  // readdir64: on a 32-bit build the plain readdir fails (EOVERFLOW) on the
  // 64-bit offsets of ext4's or btrfs' folders, and would end the list.
  errno = 0;
  // cppcheck-suppress readdirCalled
  while (const struct dirent64* entry = ::readdir64(stream)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names.emplace_back(entry->d_name);
    }
  }
  const int why = errno;
  ::closedir(stream);
  if (why != 0) {
    errno = why;
    return std::nullopt;
  }
  return names;
}

// The walk nftw makes without flags (the C library's, step by step), with
// system.h's lookAt and openDirectory in place of stat(2) and opendir(3):
// within the board root. A directory's names are read before its entries
// are visited, so that one descriptor is open at a time.
class WalkWithinRoot {
 public:
  explicit WalkWithinRoot(WalkVisitor visit) : mVisit(visit) {}

  int run(const char* dir) {
    mPath = dir;
    while (mPath.size() > 1 && mPath.back() == '/') {
      mPath.pop_back();
    }
    const std::string::size_type slash = mPath.rfind('/');
    mFtw.base = slash == std::string::npos ? 0 : static_cast<int>(slash + 1);
    mFtw.level = 0;
    struct stat sb {};
    if (sys::lookAt(mPath, sb, true) != 0) {
      const bool dangling = errno == ENOENT && sys::lookAt(mPath, sb, false) == 0 &&
                            S_ISLNK(sb.st_mode);
      return dangling ? visit(sb, FTW_SLN) : -1;
    }
    if (!S_ISDIR(sb.st_mode)) {
      return visit(sb, FTW_F);
    }
    mEntered.enter(sb);
    return directory(sb);
  }

 private:
  int visit(const struct stat& sb, int typeflag) {
    return mVisit(mPath.c_str(), &sb, typeflag, &mFtw);
  }

  // The directory at mPath: reported, then its entries, one level down.
  // NOLINTNEXTLINE(misc-no-recursion): a level a call, as deep as PATH_MAX lets a path go
  int directory(const struct stat& sb) {
    const std::optional<std::vector<std::string>> names = entriesOf(mPath);
    if (!names) {
      return errno == EACCES ? visit(sb, FTW_DNR) : -1;
    }
    if (const int result = visit(sb, FTW_D)) {
      return result;
    }
    const std::string::size_type length = mPath.size();
    const int base = mFtw.base;
    if (mPath.back() != '/') {
      mPath += '/';
    }
    ++mFtw.level;
    mFtw.base = static_cast<int>(mPath.size());
    int result = 0;
    for (const std::string& name : *names) {
      mPath.resize(static_cast<std::string::size_type>(mFtw.base));
      mPath += name;
      if ((result = entry()) != 0) {
        break;
      }
    }
    mPath.resize(length);
    --mFtw.level;
    mFtw.base = base;
    return result;
  }

  // The entry at mPath: a directory entered the first time it is met, or
  // reported as what stat(2) and lstat(2) make of it.
  // NOLINTNEXTLINE(misc-no-recursion): directory()'s, one level down
  int entry() {
    struct stat sb {};
    int typeflag = FTW_F;
    if (sys::lookAt(mPath, sb, true) != 0) {
      if (errno != EACCES && errno != ENOENT) {
        return -1;
      }
      typeflag = sys::lookAt(mPath, sb, false) == 0 && S_ISLNK(sb.st_mode) ? FTW_SLN : FTW_NS;
    } else if (S_ISDIR(sb.st_mode)) {
      return mEntered.enter(sb) ? directory(sb) : 0;
    }
    return visit(sb, typeflag);
  }

  WalkVisitor mVisit;
  EnteredDirectories mEntered;
  std::string mPath;  // the entry's path, as nftw hands it to `visit`
  struct FTW mFtw {};
};

}  // namespace

std::string boardNodePath() { return sys::deviceTreeNodePath(); }

int walkTree(const char* dir, WalkVisitor visit) {
  if (!sys::underBoardRoot()) {
    return ::nftw(dir, visit, 10, 0);
  }
  return WalkWithinRoot(visit).run(dir);
}

WalkEntry walkEntry(const std::string& path, struct stat& sb) {
  if (::stat(path.c_str(), &sb) != 0) {
    return WalkEntry::kNothing;
  }
  return S_ISDIR(sb.st_mode) ? WalkEntry::kDirectory : WalkEntry::kFile;
}

bool isProperty(int typeflag, const char* fileName) {
  return typeflag == FTW_F && std::strcmp(fileName, "name") != 0;
}

std::string propertyParameterName(const char* fileName) {
  std::string name = fileName;
  const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
  ctype.toupper(name.data(), name.data() + name.size());
  return kParameterPrefix + name;
}

size_t walkCost(const std::string& name, const std::string& value) {
  return name.size() + value.size() + 64;
}

std::string pastBudgetNotice(const std::string& path) {
  return "Left out of the parameters: " + path + ": the device tree's parameters take more than " +
         std::to_string(kWalkBudget) + " bytes";
}

std::string propertyValue(const char* path, bool& cut) {
  std::string value;
  TextFile file(path, kReadLimit, sys::openForReading);
  if (file.isOpen()) {
    file.readLine(value);
  }
  cut = file.cut();
  // A line read in chunks may hold twice its size; a long one is kept as
  // long as the walk.
  if (value.capacity() > value.size() + 4096) {
    value.shrink_to_fit();
  }
  return value;
}

}  // namespace qorid
