#include "tool.h"

#include "qorid/qorid.h"

#include <getopt.h>

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
    "--help -h This help\n";

const struct option kLongOptions[] = {
    {"verbose", no_argument, nullptr, 'v'},
    {"list", no_argument, nullptr, 'l'},
    {"exec", no_argument, nullptr, 'e'},
    {"script", no_argument, nullptr, 's'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

ToolOptions parseOptions(int argc, char** argv) {
  ToolOptions options;
  optind = 0;  // a full restart of getopt's scan, also for a second parse
  int c;
  while ((c = getopt_long(argc, argv, "vlehs", kLongOptions, nullptr)) != -1) {
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
      case 'h':
        options.help = true;
        options.firstArgument = optind;
        return options;
      default:
        break;  // getopt_long has already reported it
    }
  }
  options.firstArgument = optind;
  return options;
}

int runTool(const ToolOptions& options, int argc, char** argv,
            QorIdentifier& identifier, std::ostream& out) {
  (void)argc;
  (void)argv;
  if (options.help) {
    out << kHelp << std::flush;
    return 0;
  }
  if (options.list || options.exec) {
    // Listing and executing with the system parameters come with the
    // parameter collection; until then these options do nothing.
    return 0;
  }
  if (!options.verbose) {
    out << identifier.getHardwareNumber() << std::endl;
    return 0;
  }
  // The number is asked for (and printed) before the name.
  out << identifier.getHardwareNumber() << " - ";
  out << identifier.getHardwareName() << std::endl;
  return 0;
}

}  // namespace qorid
