// qorid-publish [DIR]: the board's identity and system parameters published
// in DIR (default /run/qorid) for the services of the boot; qorid.service
// runs it. See publish.h.
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tool/output.h"
#include "tool/publish.h"

#include <cstdio>

int main(int argc, char** argv) {
  // First of all: no file opened from here on may become a standard stream.
  (void)qorid::claimStandardDescriptors();
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    (void)std::fputs("usage: qorid-publish [DIR]\n", stderr);
    return 2;
  }
  cNolt::init("/etc/qorid.conf");
  cNolt logger("qorid");
  QorIdentifier identifier(&logger);
  return qorid::publish(identifier, argc == 2 ? argv[1] : "/run/qorid");
}
