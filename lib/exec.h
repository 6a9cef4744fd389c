// Running a program with variables added to its environment: the
// environment built in one pass, and failures said on standard error.
#ifndef QORID_LIB_EXEC_H_
#define QORID_LIB_EXEC_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qorid {

// The longest NAME=VALUE string (its NUL not counted) that the kernel hands
// to a new program: 32 pages less one byte, 131071 with 4 KiB pages. A
// longer one makes every exec fail.
size_t maxEnvironmentString();

// What all the variables that exportVariables adds may take together:
// 1 MiB, counted as NAME=VALUE, its NUL and the pointer to it, the way the
// kernel counts an environment. Whatever the caller's own environment and
// arguments, that leaves a new program most of the kernel's room (a quarter
// of the stack limit, 2 MiB with the usual 8 MiB), so that a board with many
// or large parameters never makes an exec fail.
inline constexpr size_t kEnvironmentBudget = size_t{1} << 20;

struct Variable {
  std::string_view name;
  std::string_view value;
};

// Why a variable is not added to the environment.
enum class LeftOut {
  kNo,          // it is added
  kBadName,     // empty, or holding '=': left out without a word
  kTooLong,     // NAME=VALUE longer than maxEnvironmentString()
  kPastBudget,  // the variables before it have used up kEnvironmentBudget
};

// For each of `variables`, in order, whether exportVariables adds it: name
// and value end at their first NUL; a later variable of a name still counts
// against the budget as well as the earlier one. The one rule for what a
// program run with the parameters gets, and so for what may be exported for
// it otherwise.
std::vector<LeftOut> environmentVerdicts(const std::vector<Variable>& variables);

// The reason given for a variable that is left out, as in "qorid: NAME left
// out of the environment: REASON": "value too long" or "over the 1048576
// bytes all parameters may take". Empty for kNo and kBadName.
std::string leftOutReason(LeftOut verdict);

// Sets the variables in the process environment, in order, as
// setenv(name, value, 1) one after the other would: a later variable of a
// name wins, name and value end at their first NUL, a name that is empty or
// holds '=' is left out without a word. A variable that environmentVerdicts
// leaves out otherwise is named with one line on standard error: "qorid:
// NAME left out of the environment: REASON" (a newline in NAME written as
// "\n").
// The environment is built once, not one variable at a time; the process's
// `environ` then points at it, and it stays allocated for the life of the
// process (as setenv's strings do), also after a failed exec. Not
// thread-safe.
void exportVariables(const std::vector<Variable>& variables);

// execvp(file, argv). Returns only when that fails: -1, errno as execvp left
// it, after one line on standard error, "qorid: FILE: REASON" (a newline in
// FILE written as "\n").
int runProgram(const char* file, char* const argv[]);

}  // namespace qorid

#endif  // QORID_LIB_EXEC_H_
