#include "tool.h"

#include "json_output.h"
#include "qorid/qorid.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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
    "--help -h This help\n";

const struct option kLongOptions[] = {
    {"verbose", no_argument, nullptr, 'v'},
    {"list", no_argument, nullptr, 'l'},
    {"exec", no_argument, nullptr, 'e'},
    {"script", no_argument, nullptr, 's'},
    {"json", no_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

ToolOptions parseOptions(int argc, char** argv) {
  ToolOptions options;
  optind = 0;  // a full restart of getopt's scan, also for a second parse
  int c;
  while ((c = getopt_long(argc, argv, "vlehsj", kLongOptions, nullptr)) != -1) {
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
  if (options.list || options.json) {
    if (options.exec) {
      out << "We cannot list and execute at the same time" << std::endl;
      return -1;
    }
    if (options.json) {
      // The identity the getters report, then the parameters as --list
      // loads them (the first getter is where loading starts too).
      const int number = identifier.getHardwareNumber();
      const std::string name = identifier.getHardwareName();
      const std::vector<std::string> aliases = identifier.getAliases();
      identifier.parse_params();
      writeIdentityJson(out, number, name, aliases, identifier.getParams());
      out << std::endl;
      return 0;
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
    out.flush();  // nothing may stay behind in a buffer that the exec drops
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

bool claimStandardDescriptors() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    outputClosed = outputClosed || fd == STDOUT_FILENO;
    // The lowest free descriptor is this one: those below are open by now.
    // Without /dev/null (a bare chroot) any descriptor will do as long as
    // it holds the place.
    int standIn = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (standIn < 0) {
      standIn = ::open("/", O_PATH | O_CLOEXEC);
    }
    if (standIn >= 0 && standIn != fd) {
      ::close(standIn);
    }
  }
  return outputClosed;
}

// Collects what std::cout is given and writes it to descriptor 1 when the
// stream is flushed or the buffer is full. After the first failure nothing
// more is written: the stream goes bad and the failure is kept.
class CheckedOutput::Buffer : public std::streambuf {
 public:
  explicit Buffer(bool closed) : mError(closed ? EBADF : 0) {
    setp(mData, mData + sizeof mData);
  }
  [[nodiscard]] int error() const { return mError; }

 protected:
  int overflow(int c) override {
    if (!drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    const char* next = pbase();
    const char* const end = pptr();
    setp(mData, mData + sizeof mData);
    if (next == end) {
      return true;
    }
    while (mError == 0 && next < end) {
      const ssize_t n = ::write(STDOUT_FILENO, next, static_cast<size_t>(end - next));
      if (n > 0) {
        next += n;
      } else if (n == 0) {
        mError = EIO;  // no progress and no reason: not to be tried for ever
      } else if (errno != EINTR) {
        mError = errno;
      }
    }
    return mError == 0;
  }

  char mData[4096];
  int mError;
};

CheckedOutput::CheckedOutput(bool closed)
    : mBuffer(std::make_unique<Buffer>(closed)), mPrevious(std::cout.rdbuf(mBuffer.get())) {}

CheckedOutput::~CheckedOutput() { std::cout.rdbuf(mPrevious); }

int CheckedOutput::finish(int status) {
  std::cout.flush();
  // A closed descriptor 1 is an error only once something was to be written.
  if (!std::cout.bad()) {
    return status;
  }
  (void)std::fprintf(stderr, "qorid: write error: %s\n", std::strerror(mBuffer->error()));
  return 1;
}

}  // namespace qorid
