#include "qorid/qorid.h"

#include "exec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

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
  std::vector<qorid::Variable> variables(mParams.size());
  std::transform(mParams.begin(), mParams.end(), variables.begin(),
                 [](const qor_param& p) { return qorid::Variable{p.name, p.value}; });
  qorid::exportVariables(variables);
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
