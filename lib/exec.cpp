#include "lib/exec.h"

#include "lib/one_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace qorid {
namespace {

// One environment that `environ` may point at: its new strings and its
// table of entries.
struct Environment {
  std::vector<std::string> strings;
  std::vector<char*> entries;
};

// Every environment built, never freed: once `environ` has pointed at one,
// a pointer that getenv gave out may still lead into it.
std::vector<std::unique_ptr<Environment>>& built() {
  static auto* environments = new std::vector<std::unique_ptr<Environment>>();
  return *environments;
}

std::string_view untilNul(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::vector<LeftOut> environmentVerdicts(const std::vector<Variable>& variables) {
  std::vector<LeftOut> verdicts;
  verdicts.reserve(variables.size());
  const size_t longest = maxEnvironmentString();
  size_t used = 0;
  for (const Variable& variable : variables) {
    const std::string_view name = untilNul(variable.name);
    const size_t length = name.size() + 1 + untilNul(variable.value).size();
    const size_t cost = length + 1 + sizeof(char*);
    if (name.empty() || name.find('=') != std::string_view::npos) {
      verdicts.push_back(LeftOut::kBadName);
    } else if (length > longest) {
      verdicts.push_back(LeftOut::kTooLong);
    } else if (cost > kEnvironmentBudget - used) {
      verdicts.push_back(LeftOut::kPastBudget);
    } else {
      used += cost;
      verdicts.push_back(LeftOut::kNo);
    }
  }
  return verdicts;
}

std::string leftOutReason(LeftOut verdict) {
  switch (verdict) {
    case LeftOut::kTooLong:
      return "value too long";
    case LeftOut::kPastBudget:
      return "over the " + std::to_string(kEnvironmentBudget) + " bytes all parameters may take";
    case LeftOut::kNo:
    case LeftOut::kBadName:
      break;
  }
  return {};
}

size_t maxEnvironmentString() {
  const long page = ::sysconf(_SC_PAGESIZE);
  return static_cast<size_t>(page > 0 ? page : 4096) * 32 - 1;
}

void exportVariables(const std::vector<Variable>& variables) {
  auto environment = std::make_unique<Environment>();
  environment->strings.reserve(variables.size());  // the strings never move
  std::vector<char*>& entries = environment->entries;
  // Where each name stands in `entries`; the first of a name counts, as
  // getenv and setenv find the first.
  std::unordered_map<std::string_view, size_t> position;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    position.emplace(text.substr(0, text.find('=')), entries.size());
    entries.push_back(*entry);
  }
  const std::vector<LeftOut> verdicts = environmentVerdicts(variables);
  for (size_t i = 0; i < variables.size(); ++i) {
    const std::string_view name = untilNul(variables[i].name);
    const std::string_view value = untilNul(variables[i].value);
    if (verdicts[i] == LeftOut::kBadName) {
      continue;
    }
    if (verdicts[i] != LeftOut::kNo) {
      (void)std::fprintf(stderr, "qorid: %s left out of the environment: %s\n",
                         oneLine(name).c_str(), leftOutReason(verdicts[i]).c_str());
      continue;
    }
    std::string& text = environment->strings.emplace_back();
    text.reserve(name.size() + 1 + value.size());
    text.append(name).append(1, '=').append(value);
    const auto [at, added] =
        position.emplace(std::string_view(text).substr(0, name.size()), entries.size());
    if (added) {
      entries.push_back(text.data());
    } else {
      entries[at->second] = text.data();
    }
  }
  entries.push_back(nullptr);
  environ = entries.data();
  built().push_back(std::move(environment));
}

int runProgram(const char* file, char* const argv[]) {
  const int result = ::execvp(file, argv);
  const int error = errno;
  (void)std::fprintf(stderr, "qorid: %s: %s\n", oneLine(file).c_str(), std::strerror(error));
  errno = error;
  return result;
}

}  // namespace qorid
