#include "shell_export.h"

#include <algorithm>

namespace qorid {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

}  // namespace

bool isShellName(const std::string& name) {
  return !name.empty() && isLetter(name[0]) &&
         std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return isLetter(c) || (c >= '0' && c <= '9'); });
}

std::optional<std::string> shellAssignment(const qor_param& param) {
  if (!isShellName(param.name)) {
    return std::nullopt;
  }
  std::string line = param.name + "=\"";
  for (const char c : param.value.substr(0, param.value.find('\0'))) {
    if (c == '\\' || c == '"' || c == '$' || c == '`') {
      line += '\\';
    }
    line += c;
  }
  line += '"';
  return line;
}

}  // namespace qorid
