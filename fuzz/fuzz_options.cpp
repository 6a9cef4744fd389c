// Fuzzes the qorid command line the way main() runs it: parseOptions, then
// runTool, with the words of the input as argv (each word ends at a NUL
// byte; argv[0] is "qorid"). The identifier sees an empty root and a
// non-x86 machine, so the board is unknown and there are no parameters.
// execvp is replaced below: nothing is ever executed.
//
// Checks: two runs of the same words on fresh objects give the same options,
// argv order, status, output, log and exec call; --exec or --script is only
// ever set when a word before "--" could have asked for it; the help text
// is the fixture's; words that look like no option are arguments, in their
// order; --root without its folder, or with one that is no folder, gives
// status 2 and nothing else; a command is run exactly when --exec or
// --script was set without --list, --json, --export or --help, with a
// command left and no root refused, and it gets the remaining arguments as
// they stand, behind $SHELL (or /bin/bash) for --script. A root that is
// set is taken back after each run.
#include "fuzz/fuzz_support.h"
#include "lib/system.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tests/support/files.h"
#include "tests/support/recording_logger.h"
#include "tool/tool.h"

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxWords = 64;

struct ExecCall {
  int count = 0;
  std::string file;
  std::vector<std::string> argv;
  bool operator==(const ExecCall& other) const {
    return count == other.count && file == other.file && argv == other.argv;
  }
};

ExecCall gExec;

}  // namespace

// Stands in for the C library's execvp: the tool's objects are linked into
// this program, so their calls come here. Records the call and fails as
// for a command that does not exist.
extern "C" int execvp(const char* file, char* const argv[]) noexcept {
  ++gExec.count;
  // Both pointers are declared non-null; UBSan checks that at the caller.
  gExec.file = file;
  gExec.argv.clear();
  for (size_t i = 0; argv[i] != nullptr && i <= kMaxWords + 2; ++i) {
    gExec.argv.push_back(argv[i]);
  }
  errno = ENOENT;
  return -1;
}

namespace {

std::vector<std::string> splitWords(const uint8_t* data, size_t size) {
  std::vector<std::string> words;
  std::string current;
  for (size_t i = 0; i < size && words.size() < kMaxWords; ++i) {
    if (data[i] == '\0') {
      words.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty() && words.size() < kMaxWords) {
    words.push_back(current);
  }
  return words;
}

// argv over `strings`, ending in a null pointer.
std::vector<char*> makeArgv(std::vector<std::string>& strings) {
  std::vector<char*> argv;
  for (std::string& s : strings) {
    argv.push_back(&s[0]);
  }
  argv.push_back(nullptr);
  return argv;
}

bool sameOptions(const qorid::ToolOptions& a, const qorid::ToolOptions& b) {
  return a.verbose == b.verbose && a.list == b.list && a.exec == b.exec &&
         a.script == b.script && a.json == b.json && a.exportParams == b.exportParams &&
         a.help == b.help && a.root == b.root && a.rootMissing == b.rootMissing &&
         a.firstArgument == b.firstArgument;
}

std::string gHelp;

// Everything one run shows.
struct Run {
  qorid::ToolOptions options;
  std::vector<std::string> argv;  // as parseOptions left it
  int status = 0;
  std::string out;
  ExecCall exec;
  std::vector<testing_log::Entry> log;
};

Run run(const std::vector<std::string>& words) {
  std::vector<std::string> strings{"qorid"};
  strings.insert(strings.end(), words.begin(), words.end());
  const int argc = static_cast<int>(strings.size());
  std::vector<char*> argv = makeArgv(strings);

  Run r;
  r.options = qorid::parseOptions(argc, argv.data());
  FUZZ_CHECK(argv[argc] == nullptr);
  for (int i = 0; i < argc; ++i) {
    r.argv.emplace_back(argv[i]);
  }
  static cNolt logger("qorid");
  testing_log::clear();
  QorIdentifier id(&logger);
  std::ostringstream out;
  gExec = ExecCall();
  r.status = qorid::runTool(r.options, argc, argv.data(), id, &logger, out);
  qorid::sys::setRootForTesting(testing_fs::scratchDir());  // a --root taken back
  r.out = out.str();
  r.exec = gExec;
  r.log = testing_log::entries();
  testing_log::clear();
  return r;
}

// Could one of the words have asked for --exec or --script at all? Every
// way to ask ("-e", "-vs", "--ex", "--script") starts with '-' and holds an
// 'e' or an 's'; this is no parser, only a bound that the parser's answer
// must stay within.
bool execAskedFor(const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    if (word == "--") {
      return false;
    }
    if (word.size() > 1 && word[0] == '-' && word.find_first_of("es") != std::string::npos) {
      return true;
    }
  }
  return false;
}

bool looksLikeAnOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

bool isFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // getopt_long's complaints about unknown options would flood the
  // fuzzer's output, and POSIXLY_CORRECT would end the options at the first
  // argument.
  ::unsetenv("POSIXLY_CORRECT");
  opterr = 0;
  qorid::sys::setRootForTesting(testing_fs::scratchDir());
  qorid::sys::setUnameForTesting("5.10.0", "armv7l");
  gHelp = testing_fs::readFile(QORID_HELP_TEXT_FILE);

  // The library must reach the execvp above, not the C library's.
  QorIdentifier id(nullptr);
  char command[] = "qorid-fuzz-no-such-command";
  char* argv[] = {command, nullptr};
  const int result = id.execute(1, argv, false);
  if (gExec.count != 1 || gExec.file != command || result != -1) {
    std::fprintf(stderr, "fuzz_options: execvp is not replaced in this build\n");
    std::abort();
  }
  gExec = ExecCall();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> words = splitWords(data, size);
  const Run first = run(words);
  const Run second = run(words);
  FUZZ_CHECK(sameOptions(first.options, second.options));
  FUZZ_CHECK(first.argv == second.argv && first.status == second.status);
  FUZZ_CHECK(first.out == second.out && first.exec == second.exec && first.log == second.log);

  const qorid::ToolOptions& o = first.options;
  const int argc = static_cast<int>(first.argv.size());
  FUZZ_CHECK(first.argv[0] == "qorid");
  FUZZ_CHECK(!o.script || o.exec);  // --script is --exec through a shell
  if (o.exec) {
    FUZZ_CHECK(execAskedFor(words));
  }
  if (o.help) {
    FUZZ_CHECK(first.status == 0 && first.out == gHelp && first.exec.count == 0);
    return 0;
  }
  if (std::none_of(words.begin(), words.end(), looksLikeAnOption)) {
    std::vector<std::string> unchanged{"qorid"};
    unchanged.insert(unchanged.end(), words.begin(), words.end());
    FUZZ_CHECK(!o.verbose && !o.list && !o.exec && !o.script && !o.json && !o.exportParams);
    FUZZ_CHECK(o.firstArgument == 1 && first.argv == unchanged);
  }

  if (o.rootMissing || (o.root && !isFolder(*o.root))) {
    FUZZ_CHECK(first.status == 2 && first.out.empty() && first.exec.count == 0);
    return 0;
  }

  FUZZ_CHECK(o.firstArgument >= 1 && o.firstArgument <= argc);
  const std::vector<std::string> arguments(first.argv.begin() + o.firstArgument,
                                           first.argv.end());
  // --list, --json and --export refuse to run anything.
  const bool runs = o.exec && !o.list && !o.json && !o.exportParams && !arguments.empty();
  FUZZ_CHECK(first.exec.count == (runs ? 1 : 0));
  if (!runs) {
    return 0;
  }
  FUZZ_CHECK(first.status == -1 && first.out.empty());
  std::vector<std::string> expectedArgv = arguments;
  if (o.script) {
    const char* shell = std::getenv("SHELL");
    expectedArgv.insert(expectedArgv.begin(), shell != nullptr ? shell : "/bin/bash");
  }
  FUZZ_CHECK(first.exec.file == expectedArgv[0]);
  FUZZ_CHECK(first.exec.argv == expectedArgv);
  return 0;
}
