// The table of known board identities (rows of HardwareIdentity, the
// public record): the built-in rows, one line of /etc/known_qor_ids parsed
// into a row (or the reason it is rejected), and the lookups the
// identification makes in the table.
#ifndef QORID_LIB_KNOWN_IDENTITIES_H_
#define QORID_LIB_KNOWN_IDENTITIES_H_

#include "common/text_file.h"
#include "qorid/hardware_identity.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qorid {

// The PC: taken when uname's machine is kPcMachine and no known alias
// matched the kernel release. Parameter collection searches the network
// interfaces itself only on this board.
inline constexpr int kPcNumber = 64;
inline constexpr char kPcName[] = "x86_64 PC";
inline constexpr char kPcMachine[] = "x86_64";

// The rows used when /etc/known_qor_ids cannot be opened, in table order.
const std::vector<HardwareIdentity>& builtInIdentities();

// /etc/known_qor_ids opened for reading (see TextFile); a directory counts
// as a file that cannot be opened.
class KnownIdentitiesFile : public TextFile {
 public:
  KnownIdentitiesFile();
};

enum class LineVerdict {
  kAccepted,
  kTooFewFields,  // fewer than two fields: nothing is set
  kBadNumber,     // the second field holds no board number: only `name` is set
};

// One line (without its line feed) of the known identities file. Fields are
// the maximal runs of bytes other than ':', so runs of colons separate like
// one and no field is empty; nothing is trimmed. Field 1 is the name, field
// 2 the board number (blanks, one optional sign, decimal digits; the rest
// of the field ignored; it must fit an int), fields 3... the aliases.
struct ParsedLine {
  LineVerdict verdict = LineVerdict::kTooFewFields;
  std::string name;
  std::string numberText;  // field 2 as written, for the log
  int number = 0;
  std::vector<std::string> aliases;
};
ParsedLine parseKnownIdentityLine(const std::string& line);

// The first row of `table`, in table order, whose name is exactly `name`,
// or null.
const HardwareIdentity* findByName(const std::vector<HardwareIdentity>& table,
                                   const std::string& name);

// The first row, in table order, with an alias exactly `alias`, or null.
const HardwareIdentity* findByAlias(const std::vector<HardwareIdentity>& table,
                                    const std::string& alias);

// findByName and findByAlias for many lookups in one table: each lookup
// costs the same whatever the table's size, once the index is built (one
// pass over the table). Borrows the table, which must neither change nor
// go away while the index is used.
class IdentityIndex {
 public:
  explicit IdentityIndex(const std::vector<HardwareIdentity>& table) {
    for (const HardwareIdentity& row : table) {
      // emplace keeps the first row of a name or alias: table order wins.
      mNames.emplace(row.name, &row);
      for (const std::string& alias : row.aliases) {
        mAliases.emplace(alias, &row);
      }
    }
  }
  [[nodiscard]] const HardwareIdentity* byName(const std::string& name) const {
    return find(mNames, name);
  }
  [[nodiscard]] const HardwareIdentity* byAlias(const std::string& alias) const {
    return find(mAliases, alias);
  }

 private:
  using Map = std::unordered_map<std::string_view, const HardwareIdentity*>;
  static const HardwareIdentity* find(const Map& map, const std::string& key) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
  }
  Map mNames;
  Map mAliases;
};

}  // namespace qorid

#endif  // QORID_LIB_KNOWN_IDENTITIES_H_
