#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tool/output.h"
#include "tool/tool.h"


int main(int argc, char** argv) {
  // First of all: no file opened from here on may become a standard stream.
  qorid::CheckedOutput output(qorid::claimStandardDescriptors());
  cNolt::init("/etc/qorid.conf");
  output.keepLogsOut();
  cNolt logger("qorid");
  QorIdentifier identifier(&logger);
  const qorid::ToolOptions options = qorid::parseOptions(argc, argv);
  return output.finish(
      qorid::runTool(options, argc, argv, identifier, &logger, output.stream()));
}
