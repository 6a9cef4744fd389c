#include "shell_export.h"

#include "json_output.h"

#include <algorithm>

namespace qorid {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

std::string untilNul(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace

bool isShellName(const std::string& name) {
  return !name.empty() && isLetter(name[0]) &&
         std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return isLetter(c) || (c >= '0' && c <= '9'); });
}

std::string whyNotExported(const qor_param& param, const std::string& leftOut) {
  if (!isShellName(param.name)) {
    return param.name + " is not a shell variable name";
  }
  if (!leftOut.empty()) {
    return param.name + ": " + leftOut;
  }
  if (!isValidUtf8(untilNul(param.value))) {
    return param.name + ": value not UTF-8";
  }
  return {};
}

std::optional<std::string> shellAssignment(const qor_param& param) {
  if (!whyNotExported(param, {}).empty()) {
    return std::nullopt;
  }
  std::string line = param.name + "='";
  for (const char c : untilNul(param.value)) {
    if (c == '\'') {
      line += "'\"'\"'";
    } else {
      line += c;
    }
  }
  line += '\'';
  return line;
}

}  // namespace qorid
