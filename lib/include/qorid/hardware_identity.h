// The record of one board identity, as libqorid.so.1 hands it out and as
// its table of known identities holds it. Included by qorid.h.
#ifndef QORID_HARDWARE_IDENTITY_H_
#define QORID_HARDWARE_IDENTITY_H_

#include <string>
#include <vector>

// What makes a class part of libqorid.so.1's interface (the library is built
// with hidden visibility). Defined once, by whichever header comes first.
#ifndef QORID_EXPORT
#define QORID_EXPORT __attribute__((visibility("default")))
#endif

// One known board identity, a row of the known identities table.
struct QORID_EXPORT HardwareIdentity {
  std::string name;                  // main name, e.g. "Tessaron QVK"
  std::vector<std::string> aliases;  // other names, in line order; may be empty
  int number = 0;                    // board number; meaningful once parsed
};

#endif  // QORID_HARDWARE_IDENTITY_H_
