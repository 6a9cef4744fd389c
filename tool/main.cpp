#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tool.h"

#include <iostream>

int main(int argc, char** argv) {
  cNolt::init("/etc/qorid.conf");
  cNolt logger("qorid");
  QorIdentifier identifier(&logger);
  const qorid::ToolOptions options = qorid::parseOptions(argc, argv);
  return qorid::runTool(options, argc, argv, identifier, std::cout);
}
