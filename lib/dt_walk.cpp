#include "dt_walk.h"

#include "parameter_names.h"
#include "system.h"
#include "text_file.h"

#include <cstring>
#include <locale>

namespace qorid {

std::string boardNodePath() { return sys::deviceTreeNodePath(); }

int walkTree(const char* dir, WalkVisitor visit) { return ::nftw(dir, visit, 10, 0); }

bool isProperty(int typeflag, const char* fileName) {
  return typeflag == FTW_F && std::strcmp(fileName, "name") != 0;
}

std::string propertyParameterName(const char* fileName) {
  std::string name = fileName;
  const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
  ctype.toupper(name.data(), name.data() + name.size());
  return kParameterPrefix + name;
}

std::string propertyValue(const char* path, bool& cut) {
  std::string value;
  TextFile file(path);
  if (file.isOpen()) {
    file.readLine(value);
  }
  cut = file.cut();
  return value;
}

}  // namespace qorid
