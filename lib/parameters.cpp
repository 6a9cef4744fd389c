#include "qorid/qorid.h"

#include "lib/exec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<qorid::Variable> variablesOf(const std::vector<qor_param>& params) {
  std::vector<qorid::Variable> variables(params.size());
  std::transform(params.begin(), params.end(), variables.begin(),
                 [](const qor_param& p) { return qorid::Variable{p.name, p.value}; });
  return variables;
}

}  // namespace

void QorIdentifier::addParameter(std::string name, std::string value) {
  mParams.push_back(qor_param{std::move(name), std::move(value)});
}

const std::vector<qor_param>& QorIdentifier::getParams() const { return mParams; }

std::ostream& QorIdentifier::listParams(std::ostream& out) {
  for (const qor_param& param : mParams) {
    // Values go out byte for byte, NUL bytes and newlines included.
    out << param.name << '=' << param.value << '\n' << std::flush;
  }
  return out;
}

int QorIdentifier::execute(int argc, char** argv, bool script) {
  if (argc < 1 || argv == nullptr || argv[0] == nullptr) {
    errno = EINVAL;  // nothing to run
    return -1;
  }
  const char* command = argv[0];
  qorid::exportVariables(variablesOf(mParams));
  if (!script) {
    return qorid::runProgram(command, argv);
  }
  // Looked up once the parameters are set, as a parameter may be SHELL.
  const char* shell = std::getenv("SHELL");
  if (shell == nullptr) {
    shell = "/bin/bash";
  }
  // The shell, then the script path, its arguments and argv's null pointer.
  std::vector<char*> shellArgv;
  shellArgv.reserve(static_cast<size_t>(argc) + 2);
  shellArgv.push_back(const_cast<char*>(shell));
  shellArgv.insert(shellArgv.end(), argv, argv + argc + 1);
  return qorid::runProgram(shell, shellArgv.data());
}

std::vector<std::string> QorIdentifier::whyLeftOutOfEnvironment() const {
  const std::vector<qorid::LeftOut> verdicts = qorid::environmentVerdicts(variablesOf(mParams));
  std::vector<std::string> reasons(verdicts.size());
  std::transform(verdicts.begin(), verdicts.end(), reasons.begin(), [](qorid::LeftOut verdict) {
    return verdict == qorid::LeftOut::kBadName ? "not a variable name"
                                               : qorid::leftOutReason(verdict);
  });
  return reasons;
}
