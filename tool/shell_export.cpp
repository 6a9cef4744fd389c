#include "tool/shell_export.h"

#include "common/utf8.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace qorid {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

std::string_view untilNul(const std::string& text) {
  return std::string_view(text).substr(0, text.find('\0'));
}

// A name that --exec sets at all: not empty, no '='.
bool isEnvironmentName(std::string_view name) {
  return !name.empty() && name.find('=') == std::string_view::npos;
}

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
  const std::string_view value = untilNul(param.value);
  if (!isValidUtf8(value)) {
    return param.name + ": value not UTF-8";
  }
  if (!isEnvironmentFileText(value)) {
    return param.name + ": value holds a Unicode noncharacter, which systemd refuses";
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

std::vector<Exported> exportOf(const std::vector<qor_param>& params,
                               const std::vector<std::string>& leftOut) {
  // Of each name that --exec sets, the parameter whose value it keeps.
  std::unordered_map<std::string_view, size_t> kept;
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string_view name = untilNul(params[i].name);
    if (isEnvironmentName(name) && leftOut[i].empty()) {
      kept[name] = i;
    }
  }
  std::vector<Exported> exported(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string_view name = untilNul(params[i].name);
    const auto keeper = kept.find(name);
    if (isEnvironmentName(name) && leftOut[i].empty() && keeper->second != i) {
      continue;  // a later value of the name replaces it
    }
    exported[i].reason = whyNotExported(params[i], leftOut[i]);
    if (exported[i].reason.empty()) {
      exported[i].line = *shellAssignment(params[i]);
    }
  }
  return exported;
}

// What cannot be carried is said in the log, not on standard error: a
// device tree holds many such properties, and a line for each at every boot
// would fill the journal.
void writeExport(QorIdentifier& identifier, std::ostream& out) {
  for (const Exported& entry :
       exportOf(identifier.getParams(), identifier.whyLeftOutOfEnvironment())) {
    if (!entry.reason.empty()) {
      identifier.tryLog("Left out of --export: " + entry.reason, log4cpp::Priority::WARN);
    } else if (!entry.line.empty()) {
      out << entry.line << '\n';
    }
  }
}

}  // namespace qorid
