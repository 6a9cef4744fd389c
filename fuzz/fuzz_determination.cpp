// Fuzzes a whole identification through the system seam: the known
// identities file, the device-tree boardid and description, uname and
// /proc/cpuinfo all come from the input. Two identifiers, one after the
// other, identify the board over the same files and must show the same:
// the table, what every getter returned, the identity held and every log
// line. Each also keeps the contracts of qorid/qorid.h: construction does
// not determine, a success is cached and a failure retried, a second
// determineIdentity warns when the identity was known, the unknown identity
// is -1 and "Unknown".
//
// Input: one byte of flags, then six fields separated by 0xff bytes:
//   known identities file, boardid, description, uname release,
//   uname machine, cpuinfo (the rest of the input, 0xff bytes included).
// Flags: bits 0-1, 2-3 and 4-5 say how the known identities file, boardid
// and description exist (0 absent, 1 regular file, 2 directory, 3 FIFO that
// nobody writes); bit 6 makes uname fail; bit 7 leaves out /proc/cpuinfo.
// Missing fields are empty. uname reports a field up to its first NUL and
// at most 64 bytes, as the kernel's fixed-size fields would.
#include "fuzz/fuzz_support.h"
#include "lib/known_identities.h"
#include "lib/system.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tests/support/files.h"
#include "tests/support/log_texts.h"
#include "tests/support/recording_logger.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

enum class Presence { kAbsent = 0, kFile = 1, kDirectory = 2, kFifo = 3 };

struct Setup {
  Presence knownIds;
  Presence boardId;
  Presence description;
  bool unameFails;
  bool cpuinfoPresent;
  std::string knownIdsText, boardIdText, descriptionText;
  std::string release, machine;
  std::string cpuinfoText;
};

std::string unameField(const std::string& text) {
  return text.substr(0, std::min<size_t>(text.find('\0'), 64));
}

Setup decode(const uint8_t* data, size_t size) {
  fuzz::Reader in(data, size);
  const uint8_t flags = in.byte();
  const std::string rest = in.rest();
  std::vector<std::string> fields(1);
  for (char c : rest) {
    if (c == '\xff' && fields.size() < 6) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  fields.resize(6);
  Setup s;
  s.knownIds = static_cast<Presence>(flags & 3);
  s.boardId = static_cast<Presence>((flags >> 2) & 3);
  s.description = static_cast<Presence>((flags >> 4) & 3);
  s.unameFails = (flags & 0x40) != 0;
  s.cpuinfoPresent = (flags & 0x80) == 0;
  s.knownIdsText = fields[0];
  s.boardIdText = fields[1];
  s.descriptionText = fields[2];
  s.release = unameField(fields[3]);
  s.machine = unameField(fields[4]);
  s.cpuinfoText = fields[5];
  return s;
}

struct Paths {
  std::string knownIds, boardId, description, cpuinfo;
};

const Paths& paths() {
  static const Paths p = [] {
    const std::string& root = testing_fs::scratchDir();
    testing_fs::makeDirs(root + "/etc");
    testing_fs::makeDirs(root + "/proc/device-tree/morvane");
    qorid::sys::setRootForTesting(root);
    Paths made{qorid::sys::knownIdsPath(), qorid::sys::boardIdPath(),
               qorid::sys::descriptionPath(), qorid::sys::cpuinfoPath()};
    FUZZ_CHECK(made.knownIds == root + "/etc/known_qor_ids");
    return made;
  }();
  return p;
}

void place(const std::string& path, Presence presence, const std::string& content) {
  testing_fs::removePath(path);
  switch (presence) {
    case Presence::kAbsent:
      break;
    case Presence::kFile:
      testing_fs::writeFile(path, content);
      break;
    case Presence::kDirectory:
      testing_fs::makeDirs(path);
      break;
    case Presence::kFifo:
      testing_fs::makeFifo(path);
      break;
  }
}

bool opens(Presence presence) {
  return presence == Presence::kFile || presence == Presence::kFifo;
}

bool isField(const std::string& text) {
  return !text.empty() && text.find_first_of(":\n") == std::string::npos;
}

// Everything one identification shows: the table, whether the board was
// found, the identity held (which the getters returned) and the log.
struct Outcome {
  std::vector<HardwareIdentity> known;
  bool found = false;
  HardwareIdentity held;
  std::vector<testing_log::Entry> log;
};

bool sameOutcome(const Outcome& a, const Outcome& b) {
  return std::equal(a.known.begin(), a.known.end(), b.known.begin(), b.known.end(),
                    fuzz::sameIdentity) &&
         a.found == b.found && fuzz::sameIdentity(a.held, b.held) && a.log == b.log;
}

// The table the identifier holds, read as it reads it: the file's lines up
// to the read limit, or the built-in rows when the file does not open.
std::vector<HardwareIdentity> tableOf(const Setup& s) {
  std::vector<HardwareIdentity> rows;
  if (!opens(s.knownIds)) {
    return qorid::builtInIdentities();
  }
  qorid::KnownIdentitiesFile file;
  std::string line;
  while (file.readLine(line) && !file.cut()) {
    const qorid::ParsedLine parsed = qorid::parseKnownIdentityLine(line);
    if (parsed.verdict == qorid::LineVerdict::kAccepted) {
      rows.push_back({parsed.name, parsed.aliases, parsed.number});
    }
  }
  return rows;
}

Outcome identify(const Setup& s) {
  static cNolt logger("qorid");
  testing_log::clear();
  QorIdentifier id(&logger);
  Outcome o;
  o.known = tableOf(s);
  FUZZ_CHECK(!testing_log::contains(log_text::kAliasByDt));  // not determined
  if (!opens(s.knownIds)) {
    FUZZ_CHECK(o.known.size() == 3);  // the built-in identities
  }
  for (const HardwareIdentity& row : o.known) {
    FUZZ_CHECK(isField(row.name));
    FUZZ_CHECK(std::all_of(row.aliases.begin(), row.aliases.end(), isField));
  }

  const int number = id.getHardwareNumber();
  // The report after a determination says which way it went.
  o.found = testing_log::contains(log_text::kFullIdentity);
  FUZZ_CHECK(o.found != testing_log::contains(log_text::kUnknown));
  o.held = id.getIdentity();
  FUZZ_CHECK(number == o.held.number);
  if (!o.found) {
    FUZZ_CHECK(o.held.number == -1 && o.held.name == "Unknown");
  }
  // Aliases only come with their row of the table; the device tree and the
  // PC have none.
  if (!o.held.aliases.empty()) {
    FUZZ_CHECK(std::any_of(o.known.begin(), o.known.end(), [&o](const HardwareIdentity& row) {
      return fuzz::sameIdentity(row, o.held);
    }));
  }

  // A success is cached: asking for the name reads and logs nothing more.
  // A failure is retried, over the same files to the same end.
  const size_t logged = testing_log::entries().size();
  FUZZ_CHECK(id.getHardwareName() == o.held.name);
  FUZZ_CHECK(o.found ? testing_log::entries().size() == logged
                     : testing_log::entries().size() > logged);

  // Determining again warns first when the identity was known.
  const size_t warnings = testing_log::count(testing_log::Level::kWarn);
  FUZZ_CHECK(id.determineIdentity() == o.found);
  FUZZ_CHECK(testing_log::count(testing_log::Level::kWarn) > warnings || !o.found);
  const size_t before = testing_log::entries().size();
  FUZZ_CHECK(fuzz::sameIdentity(id.getIdentity(), o.held));
  FUZZ_CHECK(o.found == (testing_log::entries().size() == before));  // cached, or retried
  o.log = testing_log::entries();
  testing_log::clear();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Setup s = decode(data, size);
  const Paths& p = paths();
  place(p.knownIds, s.knownIds, s.knownIdsText);
  place(p.boardId, s.boardId, s.boardIdText);
  place(p.description, s.description, s.descriptionText);
  place(p.cpuinfo, s.cpuinfoPresent ? Presence::kFile : Presence::kAbsent, s.cpuinfoText);
  if (s.unameFails) {
    qorid::sys::failUnameForTesting();
  } else {
    qorid::sys::setUnameForTesting(s.release, s.machine);
  }
  const Outcome first = identify(s);
  FUZZ_CHECK(sameOutcome(first, identify(s)));
  return 0;
}
