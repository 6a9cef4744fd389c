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

struct Variable {
  std::string_view name;
  std::string_view value;
};

// Sets the variables in the process environment, in order, as
// setenv(name, value, 1) one after the other would: a later variable of a
// name wins, name and value end at their first NUL, a name that is empty or
// holds '=' is left out without a word. A variable whose NAME=VALUE is
// longer than maxEnvironmentString() is left out too, with one line on
// standard error: "qorid: NAME left out of the environment: value too long".
// The environment is built once, not one variable at a time; the process's
// `environ` then points at it, and it stays allocated for the life of the
// process (as setenv's strings do), also after a failed exec. Not
// thread-safe.
void exportVariables(const std::vector<Variable>& variables);

// execvp(file, argv). Returns only when that fails: -1, errno as execvp left
// it, after one line on standard error, "qorid: FILE: REASON".
int runProgram(const char* file, char* const argv[]);

}  // namespace qorid

#endif  // QORID_LIB_EXEC_H_
