// Links the installed library the way another program would.
#include <nolt/nolt.h>
#include <qorid/qorid.h>

#include <iostream>

int main() {
  cNolt logger("consumer");
  QorIdentifier id(&logger);
  std::cout << id.getHardwareNumber() << " - " << id.getHardwareName() << "\n";
  return 0;
}
