// Fuzzes a whole identification through the system seam: the known
// identities file, the device-tree boardid and description, uname and
// /proc/cpuinfo all come from the input. Each result is held against the
// documented order of the search.
//
// Input: one byte of flags, then six fields separated by 0xff bytes:
//   known identities file, boardid, description, uname release,
//   uname machine, cpuinfo (the rest of the input, 0xff bytes included).
// Flags: bits 0-1, 2-3 and 4-5 say how the known identities file, boardid
// and description exist (0 absent, 1 regular file, 2 directory, 3 FIFO that
// nobody writes); bit 6 makes uname fail; bit 7 leaves out /proc/cpuinfo.
// Missing fields are empty. uname reports a field up to its first NUL and
// at most 64 bytes, as the kernel's fixed-size fields would.
#include "expectations.h"
#include "field_access.h"
#include "files.h"
#include "fuzz_support.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "recording_logger.h"
#include "system.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Inspect = QorIdentifierInspector;

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

// What the file gives when read: a FIFO without a writer reads as empty.
const std::string& readable(Presence presence, const std::string& content) {
  static const std::string kNothing;
  return presence == Presence::kFile ? content : kNothing;
}

struct Expected {
  std::vector<HardwareIdentity> known;
  unsigned rejectedLines = 0;
  bool found = false;
  int number = -1;
  std::string name = "Unknown";
  std::vector<std::string> aliases;
};

const HardwareIdentity* findByAlias(const std::vector<HardwareIdentity>& known,
                                    const std::string& alias) {
  for (const HardwareIdentity& identity : known) {
    for (const std::string& a : identity.aliases) {
      if (a == alias) {
        return &identity;
      }
    }
  }
  return nullptr;
}

Expected expect(const Setup& s) {
  Expected e;
  if (opens(s.knownIds)) {
    for (const std::string& line : fuzz::splitLines(readable(s.knownIds, s.knownIdsText))) {
      if (std::optional<HardwareIdentity> identity = fuzz::expectedIdentity(line)) {
        e.known.push_back(*identity);
      } else {
        ++e.rejectedLines;
      }
    }
  } else {
    e.known = fuzz::builtInIdentities();
  }

  // 1. The device-tree node: boardid decides, description only names.
  if (opens(s.boardId)) {
    e.found = true;
    e.number = fuzz::expectedBoardNumber(readable(s.boardId, s.boardIdText), e.number);
  }
  if (opens(s.description)) {
    e.name = fuzz::firstLine(readable(s.description, s.descriptionText));
  }
  if (e.found) {
    return e;
  }
  auto adopt = [&e](const HardwareIdentity& identity) {
    e.found = true;
    e.number = identity.number;
    e.name = identity.name;
    e.aliases = identity.aliases;
  };
  // 2. The kernel release's last dash-separated word among the aliases;
  // 3. the PC by its machine type.
  if (!s.unameFails) {
    const size_t dash = s.release.rfind('-');
    if (dash != std::string::npos) {
      if (const HardwareIdentity* match = findByAlias(e.known, s.release.substr(dash + 1))) {
        adopt(*match);
        return e;
      }
    }
    if (s.machine == "x86_64") {
      e.found = true;
      e.number = 64;
      e.name = "x86_64 PC";
      return e;
    }
  }
  // 4. The first "Hardware" line of cpuinfo: names first, then aliases.
  if (s.cpuinfoPresent) {
    for (const std::string& line : fuzz::splitLines(s.cpuinfoText)) {
      if (line.compare(0, 8, "Hardware") != 0) {
        continue;
      }
      const size_t colon = line.find(':');
      const std::string value = colon == std::string::npos || colon + 2 > line.size()
                                    ? std::string()
                                    : line.substr(colon + 2);
      for (const HardwareIdentity& identity : e.known) {
        if (identity.name == value) {
          adopt(identity);
          return e;
        }
      }
      if (const HardwareIdentity* match = findByAlias(e.known, value)) {
        adopt(*match);
        return e;
      }
      break;
    }
  }
  e.found = false;
  e.number = -1;
  e.name = "Unknown";
  return e;
}

void checkHolds(const QorIdentifier& id, const Expected& e) {
  FUZZ_CHECK(Inspect::determined(id) == e.found);
  FUZZ_CHECK(Inspect::number(id) == e.number);
  FUZZ_CHECK(Inspect::name(id) == e.name);
  FUZZ_CHECK(Inspect::aliases(id) == e.aliases);
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
  const Expected e = expect(s);

  static cNolt logger("qorid");
  testing_log::clear();
  QorIdentifier id(&logger);
  FUZZ_CHECK(fuzz::sameIdentities(Inspect::known(id), e.known));
  // Each rejected line is a warning; the built-in table is announced by one.
  FUZZ_CHECK(testing_log::count(testing_log::Level::kWarn) ==
             (opens(s.knownIds) ? e.rejectedLines : 1u));
  FUZZ_CHECK(!Inspect::determined(id));  // construction does not determine

  const int number = id.getHardwareNumber();
  FUZZ_CHECK(number == e.number);
  checkHolds(id, e);
  if (!e.found) {
    FUZZ_CHECK(number == -1 && Inspect::name(id) == "Unknown");
  }

  // A success is cached: asking for the name reads and logs nothing more.
  // A failure is retried, and comes out the same.
  const size_t before = testing_log::entries().size();
  const std::string name = id.getHardwareName();
  FUZZ_CHECK(name == e.name);
  FUZZ_CHECK(e.found ? testing_log::entries().size() == before
                     : testing_log::entries().size() > before);
  checkHolds(id, e);

  // Determining again over unchanged files gives the same identity, with a
  // warning when it was already known.
  const size_t warningsBefore = testing_log::count(testing_log::Level::kWarn);
  FUZZ_CHECK(id.determineIdentity() == e.found);
  checkHolds(id, e);
  if (e.found) {
    FUZZ_CHECK(testing_log::count(testing_log::Level::kWarn) > warningsBefore);
  }
  testing_log::clear();  // memory stays bounded over a long run
  return 0;
}
