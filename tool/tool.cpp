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
  if (options.help) {
    out << kHelp << std::flush;
    return 0;
  }
  if (options.list) {
    if (options.exec) {
      out << "We cannot list and execute at the same time" << std::endl;
      return -1;
    }
    // Positional words select nothing: the whole list is printed.
    identifier.loadParams();
    identifier.listParams(out);
    return 0;
  }
  if (options.exec) {
    identifier.loadParams();
    const int remaining = argc - options.firstArgument;
    if (remaining < 1) {
      out << "You need to specify execution parameters" << std::endl;
      return 0;
    }
    return identifier.execute(remaining, argv + options.firstArgument, options.script);
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
