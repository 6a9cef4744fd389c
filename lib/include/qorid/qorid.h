// Board identification and system parameters: QorIdentifier and its records.
#ifndef QORID_QORID_H_
#define QORID_QORID_H_

#include <log4cpp/Priority.hh>

#include <ostream>
#include <string>
#include <vector>

// HardwareIdentity, and QORID_EXPORT.
#include "hardware_identity.h"

class cNolt;
struct FTW;
struct stat;

// One system parameter. Names are not unique; the list keeps insertion order.
struct QORID_EXPORT qor_param {
  std::string name;
  std::string value;
};

// Works out which board this is and collects the board's system parameters.
//
// The identifier borrows its logger: it never deletes it, and the caller
// keeps the logger alive for the identifier's whole life. A null logger
// silences all logging. The identity is determined lazily by the getters;
// a success is cached, a failure is retried on the next call.
//
// Not thread-safe: the getters change the object on their first call, and
// only one device-tree walk may run per process (see QorDTParser).
// Errors are reported through results and log lines, never by exceptions of
// the library's own; std::bad_alloc and the like pass through.
class QORID_EXPORT QorIdentifier {
 public:
  // Logs its creation and loads the known identities from
  // /etc/known_qor_ids, or the three built-in identities when that file
  // cannot be opened. Does not determine the identity.
  explicit QorIdentifier(cNolt* logger);

  // Makes `root` the folder that holds the board's files, for the whole
  // process: every file the library reads of the board is read under it,
  // at its usual path (ROOT/proc/device-tree/morvane and its properties,
  // ROOT/proc/device-tree/compatible and model, ROOT/proc/cpuinfo,
  // ROOT/etc/known_qor_ids), as if `root` were /: a symbolic link that points
  // absolutely starts at `root`, and ".." stops there. The kernel's release
  // and machine type are the first lines of ROOT/proc/sys/kernel/osrelease
  // and ROOT/proc/sys/kernel/arch, each uname's when its file is empty or
  // cannot be read (and the log says so); the WAN interface's hardware
  // address is read from ROOT/sys/class/net/NAME/address; the WAN search of a
  // PC without the device-tree node, which only the running kernel can
  // answer, is not made. A board dump's root/ replays the board that way, and
  // a container reads its host's files where they are mounted. The
  // constructor reads the known identities: only identifiers made after the
  // call have the table of `root`. "" puts the system's own files back, as
  // before any call. Returns "" once `root` is set, else why it cannot be
  // (strerror's text for a `root` that does not exist or is no directory, or
  // that this kernel cannot resolve links within it), the setting left as it
  // was. Process-wide and not thread-safe: set it before making the
  // identifiers that read the board, while no other thread uses the library.
  static std::string setRoot(const std::string& root);

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
  // The board's aliases, as getHardwareNumber(): determines the identity
  // while it is unknown and logs the report. Empty when the identity came
  // from the device tree, is the PC, or is unknown in a new object (a failed
  // determination leaves the aliases of an earlier success).
  std::vector<std::string> getAliases();
  // Name, aliases and number together, as the three getters give them, from
  // one determination attempt (and one report) while the identity is
  // unknown: what a caller that wants all three asks for.
  HardwareIdentity getIdentity();
  // Logs the identity the object holds, every line at `level`.
  void logFullId(log4cpp::Priority::PriorityLevel level);

  // Appends a parameter; duplicates are kept.
  void addParameter(std::string name, std::string value);
  // Writes "name=value\n" for every parameter, flushing after each line.
  std::ostream& listParams(std::ostream& out);
  // The parameters collected so far, in the order they were added,
  // duplicates kept; empty before loadParams(). The reference is valid while
  // the identifier lives; adding parameters may move the elements.
  [[nodiscard]] const std::vector<qor_param>& getParams() const;
  // Exports every parameter to the environment (as setenv would, one after
  // the other, but in one pass; `environ` then points at an environment the
  // library keeps for the life of the process), then replaces the process
  // with argv[0] (searched on PATH) or, with `script`, with $SHELL (or
  // /bin/bash) running argv. argv[argc] must be null. A parameter that
  // whyLeftOutOfEnvironment() gives a reason for is left out, and named on
  // standard error with it. Returns only when the exec fails,
  // with its result (-1), after one line on standard error naming the
  // program that could not be run and why; the variables stay set.
  int execute(int argc, char** argv, bool script);
  // Why execute() leaves each parameter of getParams() out of the
  // environment, in the same order: empty for a parameter it sets, else the
  // reason it names on standard error: "value too long" (longer than the
  // kernel passes in one string), or "over the 1048576 bytes all parameters
  // may take" (the parameters before it, in list order, have used up what
  // all of them may take together, so that a board with many or large
  // parameters never makes the exec fail). A name that is empty or holds '='
  // gets "not a variable name" here; execute() leaves it out without a word.
  // What hands the parameters on in another form follows the same rule.
  [[nodiscard]] std::vector<std::string> whyLeftOutOfEnvironment() const;

  // Makes sure the identity has been determined, then appends the whole set
  // of system parameters. A second call appends them all again.
  void loadParams();

  // The members below are the steps of the ones above. They are public
  // because libqorid.so.1 has always exported them, and so they stay; a
  // caller has no need of them.
  //
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
  // loadParams() without its determination: appends the parameters.
  void parse_params();
  // Appends QOR_WAN: the first IPv4 interface the kernel lists that is not
  // "lo". System-call failures are reported with perror.
  void search_wan();
  // Appends QOR_WAN_ID, made from the hardware address of the interface
  // named by the first QOR_WAN parameter, if there is one.
  void add_wan_mac();

 private:
  bool mIdentityDetermined;
  std::string mHardwareName;
  std::vector<std::string> mAliases;
  int mHardwareNumber;
  std::vector<HardwareIdentity> mKnownIdentities;
  cNolt* mLogger;
  std::vector<qor_param> mParams;
};

// Walks a device-tree node and publishes each property file as a parameter
// "QOR_" + upper-cased file name = first line of the file (NUL bytes kept).
// The target travels to the nftw callback through a static member, so only
// one walk may run in a process at a time. Like the steps above, the class
// is public because libqorid.so.1 has always exported it: loadParams() is
// what callers use.
class QORID_EXPORT QorDTParser {
 public:
  // Walks `dir` (links followed, at most ten descriptors) adding parameters
  // to `id`. Returns 0 after a complete walk, -1 when `dir` cannot be walked;
  // parameters added before a failure stay.
  static int parse(QorIdentifier* id, char* dir);
  // ftw_cb and mQOrId are internal to the walk, public only because the
  // library's interface has always shown them: not for callers. ftw_cb
  // takes a struct stat, whose layout is the C library's: on armhf, Debian
  // 13 builds with a 64-bit time_t and Debian 12 does not, so the two
  // builds differ under the same symbol.
  //
  // The nftw callback: one parameter per regular file not called "name".
  static int ftw_cb(const char* path, const struct stat* sb, int typeflag,
                    struct FTW* ftwbuf);
  // The identifier of the walk under way; keeps the last one afterwards.
  static QorIdentifier* mQOrId;
};

#endif  // QORID_QORID_H_
