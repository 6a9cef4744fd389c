// Board identification: QorIdentifier and its records.
#ifndef QORID_QORID_H_
#define QORID_QORID_H_

#include <log4cpp/Priority.hh>

#include <ostream>
#include <string>
#include <vector>

#define QORID_EXPORT __attribute__((visibility("default")))

class cNolt;

// One known board identity, a row of the known identities table.
struct QORID_EXPORT HardwareIdentity {
  std::string name;                  // main name, e.g. "Tessaron QVK"
  std::vector<std::string> aliases;  // other names, in line order; may be empty
  int number = 0;                    // board number; meaningful once parsed
};

// Works out which board this is.
//
// The identifier borrows its logger: it never deletes it, and the caller
// keeps the logger alive for the identifier's whole life. A null logger
// silences all logging. The identity is determined lazily by the getters;
// a success is cached, a failure is retried on the next call.
//
// Not thread-safe: the getters change the object on their first call.
// Errors are reported through results and log lines, never by exceptions of
// the library's own; std::bad_alloc and the like pass through.
class QORID_EXPORT QorIdentifier {
 public:
  // Logs its creation and loads the known identities from
  // /etc/known_qor_ids, or the three built-in identities when that file
  // cannot be opened. Does not determine the identity.
  explicit QorIdentifier(cNolt* logger);

  // Logs `message` verbatim (never as a format) at `level`: FATAL/EMERG go
  // to fatal(), ERROR to error(), WARN to warn(), INFO to info(), every other
  // value to debug(). Does nothing without a logger.
  void tryLog(std::string message, log4cpp::Priority::PriorityLevel level);
  // The same at DEBUG.
  void tryLog(std::string message);

  // Appends the identities of /etc/known_qor_ids (or the built-in ones) to
  // the table. Called once by the constructor.
  void findKnownIdentities();
  // Parses one line (without its line feed) of the known identities file:
  // name:number[:alias...]. On true, name and number are set and the aliases
  // appended; on false the line was rejected (and logged) and `identity` may
  // be partly overwritten.
  bool parseIdentityLine(HardwareIdentity& identity, std::string line);

  // Determines the identity from the device tree, the kernel release, the
  // machine type and /proc/cpuinfo, in that order. Returns false and leaves
  // the unknown identity (-1, "Unknown") when nothing matches. A call while
  // the identity is known warns and determines it afresh.
  bool determineIdentity();

  // The board number, determining the identity first while it is unknown;
  // -1 when it cannot be determined. Logs the identity report after every
  // determination attempt.
  int getHardwareNumber();
  // The board name, as getHardwareNumber(); "Unknown" when undetermined.
  std::string getHardwareName();
  // Logs the identity the object holds, every line at `level`.
  void logFullId(log4cpp::Priority::PriorityLevel level);

 private:
  bool mIdentityDetermined;
  std::string mHardwareName;
  std::vector<std::string> mAliases;
  int mHardwareNumber;
  std::vector<HardwareIdentity> mKnownIdentities;
  cNolt* mLogger;

  friend class QorIdentifierInspector;  // test access to the fields
};

#endif  // QORID_QORID_H_
