// Fuzzes the qorid command line the way main() runs it: parseOptions, then
// runTool, with the words of the input as argv (each word ends at a NUL
// byte; argv[0] is "qorid"). The identifier sees an empty root and a
// non-x86 machine, so the board is unknown and there are no parameters.
// execvp is replaced below: nothing is ever executed.
#include "files.h"
#include "fuzz_support.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "recording_logger.h"
#include "system.h"
#include "tool.h"

#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxWords = 64;

const char kHelp[] =
    "qorid [options] [param|cmd ] \n"
    "\n"
    "Where options:\n"
    "--verbose -v Verbose output\n"
    "--list -l List system parameters or parameter specified as 'param'\n"
    "--exec -e Execute cmd with all system parameters defined as environment "
    "variables\n"
    "--script -s Execute bash script with all system parameters defined as "
    "environment variables\n"
    "--help -h This help\n";

struct ExecCall {
  int count = 0;
  std::string file;
  std::vector<std::string> argv;
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

// What the options should come to, from the rules of the command line: up
// to "--", a word "--NAME" is the long option NAME starts (any non-empty
// prefix; with "=" it is refused), a word "-XY..." holds the short options
// X, Y, ... (unknown ones refused), and every other word is an argument;
// --help ends the parsing. The arguments come out in order, those after
// "--" last.
struct ExpectedOptions {
  bool verbose = false, list = false, exec = false, script = false, help = false;
  std::vector<std::string> arguments;
};

void setOption(ExpectedOptions& e, char letter) {
  switch (letter) {
    case 'v': e.verbose = true; break;
    case 'l': e.list = true; break;
    case 'e': e.exec = true; break;
    case 's': e.script = e.exec = true; break;
    case 'h': e.help = true; break;
    default: break;
  }
}

ExpectedOptions expectOptions(const std::vector<std::string>& words) {
  static const char* const kLong[] = {"verbose", "list", "exec", "script", "help"};
  ExpectedOptions e;
  bool optionsEnded = false;
  for (const std::string& word : words) {
    if (optionsEnded) {
      e.arguments.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (word.compare(0, 2, "--") == 0) {
      const std::string body = word.substr(2);
      const size_t equals = body.find('=');
      const std::string name = body.substr(0, equals);
      for (const char* option : kLong) {
        if (!name.empty() && std::strncmp(option, name.c_str(), name.size()) == 0 &&
            std::strlen(option) >= name.size() && equals == std::string::npos) {
          setOption(e, option[0]);
        }
      }
    } else if (word.size() >= 2 && word[0] == '-') {
      for (size_t i = 1; i < word.size() && !e.help; ++i) {
        if (std::strchr("vlesh", word[i]) != nullptr) {
          setOption(e, word[i]);
        }
      }
    } else {
      e.arguments.push_back(word);
    }
    if (e.help) {
      break;
    }
  }
  return e;
}

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
         a.script == b.script && a.help == b.help && a.firstArgument == b.firstArgument;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The rules above are those of the permuting scan, and getopt_long's
  // complaints about unknown options would flood the fuzzer's output.
  ::unsetenv("POSIXLY_CORRECT");
  opterr = 0;
  qorid::sys::setRootForTesting(testing_fs::scratchDir());
  qorid::sys::setUnameForTesting("5.10.0", "armv7l");

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
  std::vector<std::string> strings{"qorid"};
  strings.insert(strings.end(), words.begin(), words.end());
  const int argc = static_cast<int>(strings.size());

  // Parsing twice gives the same options and the same order of argv.
  std::vector<std::string> again = strings;
  std::vector<char*> argv = makeArgv(strings);
  std::vector<char*> argvAgain = makeArgv(again);
  const qorid::ToolOptions options = qorid::parseOptions(argc, argv.data());
  const qorid::ToolOptions optionsAgain = qorid::parseOptions(argc, argvAgain.data());
  FUZZ_CHECK(sameOptions(options, optionsAgain));
  for (int i = 0; i < argc; ++i) {
    FUZZ_CHECK(std::strcmp(argv[i], argvAgain[i]) == 0);
  }
  FUZZ_CHECK(argv[argc] == nullptr);
  FUZZ_CHECK(std::strcmp(argv[0], "qorid") == 0);

  const ExpectedOptions e = expectOptions(words);
  FUZZ_CHECK(options.help == e.help);
  std::vector<std::string> arguments;
  if (!e.help) {
    FUZZ_CHECK(options.verbose == e.verbose && options.list == e.list &&
               options.exec == e.exec && options.script == e.script);
    FUZZ_CHECK(options.firstArgument >= 1 && options.firstArgument <= argc);
    arguments.assign(argv.begin() + options.firstArgument, argv.begin() + argc);
    FUZZ_CHECK(arguments == e.arguments);
  }

  static cNolt logger("qorid");
  QorIdentifier id(&logger);
  std::ostringstream out;
  gExec = ExecCall();
  const int status = qorid::runTool(options, argc, argv.data(), id, out);
  testing_log::clear();  // memory stays bounded over a long run
  const bool executes = !e.help && !e.list && e.exec && !arguments.empty();
  FUZZ_CHECK(gExec.count == (executes ? 1 : 0));

  if (e.help) {
    FUZZ_CHECK(status == 0 && out.str() == kHelp);
  } else if (e.list && e.exec) {
    FUZZ_CHECK(status == -1 && out.str() == "We cannot list and execute at the same time\n");
  } else if (e.list) {
    FUZZ_CHECK(status == 0 && out.str().empty());  // an unknown board has no parameters
  } else if (e.exec && arguments.empty()) {
    FUZZ_CHECK(status == 0 && out.str() == "You need to specify execution parameters\n");
  } else if (e.exec) {
    FUZZ_CHECK(status == -1 && errno == ENOENT && out.str().empty());
    std::vector<std::string> expectedArgv = arguments;
    std::string expectedFile = arguments[0];
    if (e.script) {
      const char* shell = std::getenv("SHELL");
      expectedFile = shell != nullptr ? shell : "/bin/bash";
      expectedArgv.insert(expectedArgv.begin(), expectedFile);
    }
    FUZZ_CHECK(gExec.file == expectedFile);
    FUZZ_CHECK(gExec.argv == expectedArgv);
  } else {
    FUZZ_CHECK(status == 0 && out.str() == (e.verbose ? "-1 - Unknown\n" : "-1\n"));
  }
  return 0;
}
