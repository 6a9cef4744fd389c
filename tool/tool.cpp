#include "tool/tool.h"

#include "lib/one_line.h"
#include "qorid/qorid.h"
#include "tool/json_output.h"
#include "tool/shell_export.h"

#include <getopt.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <iostream>
#include <ostream>
#include <string>

namespace qorid {
namespace {

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
    "--json -j Print the board identity and system parameters as JSON\n"
    "--export -x Print the system parameters as shell assignments\n"
    "--root DIR Read the board's files under DIR\n"
    "--help -h This help\n";

// --root's value: no short letter stands for it.
constexpr int kRootOption = 0x100;

const struct option kLongOptions[] = {
    {"verbose", no_argument, nullptr, 'v'},
    {"list", no_argument, nullptr, 'l'},
    {"exec", no_argument, nullptr, 'e'},
    {"script", no_argument, nullptr, 's'},
    {"json", no_argument, nullptr, 'j'},
    {"export", no_argument, nullptr, 'x'},
    {"root", required_argument, nullptr, kRootOption},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// "--e" and "--ex" named --exec before --export came, and still do:
// getopt_long alone would now call them ambiguous. Up to "--", such a word
// is handed to it as "--exec" (with what follows an '=', for the same
// complaint as before).
void keepPrefixesOfExec(int argc, char** argv) {
  static std::deque<std::string> spelledOut;  // argv points into it
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string word = argv[i];
    const std::string name = word.substr(0, word.find('='));
    if (name == "--e" || name == "--ex") {
      spelledOut.push_back("--exec" + word.substr(name.size()));
      argv[i] = spelledOut.back().data();
    }
  }
}

}  // namespace

ToolOptions parseOptions(int argc, char** argv) {
  ToolOptions options;
  keepPrefixesOfExec(argc, argv);
  optind = 0;  // a full restart of getopt's scan, also for a second parse
  int c;
  while ((c = getopt_long(argc, argv, "vlehsjx", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case 'v':
        options.verbose = true;
        break;
      case 'l':
        options.list = true;
        break;
      case 'e':
        options.exec = true;
        break;
      case 's':
        options.script = true;
        options.exec = true;
        break;
      case 'j':
        options.json = true;
        break;
      case 'x':
        options.exportParams = true;
        break;
      case kRootOption:
        options.root = optarg;
        break;
      case 'h':
        options.help = true;
        options.firstArgument = optind;
        return options;
      default:
        // getopt_long has already reported it; only a missing DIR counts.
        options.rootMissing = options.rootMissing || optopt == kRootOption;
        break;
    }
  }
  options.firstArgument = optind;
  return options;
}

namespace {

// One run of the tool: what each mode works on.
struct Run {
  const ToolOptions& options;
  int argc;
  char** argv;
  QorIdentifier& identifier;
  std::ostream& out;
};

int printHelp(const Run& run) {
  run.out << kHelp << std::flush;
  return 0;
}

// --list, --json or --export with --exec or --script: nothing is loaded.
int refuseListAndExec(const Run& run) {
  run.out << "We cannot list and execute at the same time" << std::endl;
  return -1;
}

// The identity from one determination (and one report), then the
// parameters as --list loads them.
int printJson(const Run& run) {
  const HardwareIdentity identity = run.identifier.getIdentity();
  run.identifier.parse_params();
  writeIdentityJson(run.out, identity.number, identity.name, identity.aliases,
                    run.identifier.getParams());
  run.out << std::endl;
  return 0;
}

int printExport(const Run& run) {
  run.identifier.loadParams();
  writeExport(run.identifier, run.out);
  run.out.flush();
  return 0;
}

// Positional words select nothing: the whole list is printed.
int printList(const Run& run) {
  run.identifier.loadParams();
  run.identifier.listParams(run.out);
  return 0;
}

int runCommand(const Run& run) {
  run.identifier.loadParams();
  const int remaining = run.argc - run.options.firstArgument;
  if (remaining < 1) {
    run.out << "You need to specify execution parameters" << std::endl;
    return 0;
  }
  run.out.flush();  // nothing may stay behind in a buffer that the exec drops
  return run.identifier.execute(remaining, run.argv + run.options.firstArgument,
                                run.options.script);
}

int printNumber(const Run& run) {
  run.out << run.identifier.getHardwareNumber() << std::endl;
  return 0;
}

// The number is asked for (and printed) before the name.
int printNumberAndName(const Run& run) {
  run.out << run.identifier.getHardwareNumber() << " - ";
  run.out << run.identifier.getHardwareName() << std::endl;
  return 0;
}

// --root without DIR: getopt_long has said so.
int refuseCommandLine(const Run& /*run*/) { return 2; }

using Mode = int (*)(const Run&);

// The one place where the options choose what the tool does.
Mode modeOf(const ToolOptions& options) {
  if (options.help) {
    return printHelp;
  }
  if (options.rootMissing) {
    return refuseCommandLine;
  }
  // --json wins over --export, which wins over --list (and --verbose).
  if (options.list || options.json || options.exportParams) {
    if (options.exec) {
      return refuseListAndExec;
    }
    if (options.json) {
      return printJson;
    }
    return options.exportParams ? printExport : printList;
  }
  if (options.exec) {
    return runCommand;
  }
  return options.verbose ? printNumberAndName : printNumber;
}

// `mode` on the board whose files are under --root's DIR, before anything
// else is read. The identifier made at start-up has read the known
// identities of the system's own /etc: the root's are another identifier's.
int runUnderRoot(Mode mode, const Run& run, cNolt* logger) {
  const std::string& dir = *run.options.root;
  const std::string why = dir.empty() ? std::strerror(ENOENT) : QorIdentifier::setRoot(dir);
  if (!why.empty()) {
    std::cerr << "qorid: --root " << oneLine(dir) << ": " << why << std::endl;
    return 2;
  }
  QorIdentifier rooted(logger);
  return mode(Run{run.options, run.argc, run.argv, rooted, run.out});
}

}  // namespace

int runTool(const ToolOptions& options, int argc, char** argv, QorIdentifier& identifier,
            cNolt* logger, std::ostream& out) {
  const Mode mode = modeOf(options);
  const Run run{options, argc, argv, identifier, out};
  if (!options.root || mode == printHelp || mode == refuseCommandLine) {
    return mode(run);
  }
  return runUnderRoot(mode, run, logger);
}

}  // namespace qorid
