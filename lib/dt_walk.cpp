#include "dt_walk.h"

#include "parameter_names.h"
#include "system.h"
#include "text_file.h"

#include <cstring>
#include <locale>

namespace qorid {

std::string boardNodePath() { return sys::deviceTreeNodePath(); }

int walkTree(const char* dir, WalkVisitor visit) { return ::nftw(dir, visit, 10, 0); }

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
  TextFile file(path);
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
