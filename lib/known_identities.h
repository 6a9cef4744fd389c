// The table of known board identities: the built-in rows, one line of
// /etc/known_qor_ids parsed into a row (or the reason it is rejected), and
// the lookups the identification makes in the table.
#ifndef QORID_LIB_KNOWN_IDENTITIES_H_
#define QORID_LIB_KNOWN_IDENTITIES_H_

#include "text_file.h"

#include <algorithm>
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

// One row of the table.
struct KnownIdentity {
  std::string name;
  std::vector<std::string> aliases;
  int number = 0;
};

// The rows used when /etc/known_qor_ids cannot be opened, in table order.
const std::vector<KnownIdentity>& builtInIdentities();

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
// or null. Row is any record with `name` and `aliases`.
template <typename Row>
const Row* findByName(const std::vector<Row>& table, const std::string& name) {
  const auto row = std::find_if(table.begin(), table.end(),
                                [&name](const Row& r) { return r.name == name; });
  return row == table.end() ? nullptr : &*row;
}

// The first row, in table order, with an alias exactly `alias`, or null.
template <typename Row>
const Row* findByAlias(const std::vector<Row>& table, const std::string& alias) {
  const auto row = std::find_if(table.begin(), table.end(), [&alias](const Row& r) {
    return std::find(r.aliases.begin(), r.aliases.end(), alias) != r.aliases.end();
  });
  return row == table.end() ? nullptr : &*row;
}

// findByName and findByAlias for many lookups in one table: each lookup
// costs the same whatever the table's size, once the index is built (one
// pass over the table). Borrows the table, which must neither change nor
// go away while the index is used.
template <typename Row>
class IdentityIndex {
 public:
  explicit IdentityIndex(const std::vector<Row>& table) {
    for (const Row& row : table) {
      // emplace keeps the first row of a name or alias: table order wins.
      mNames.emplace(row.name, &row);
      for (const std::string& alias : row.aliases) {
        mAliases.emplace(alias, &row);
      }
    }
  }
  [[nodiscard]] const Row* byName(const std::string& name) const { return find(mNames, name); }
  [[nodiscard]] const Row* byAlias(const std::string& alias) const {
    return find(mAliases, alias);
  }

 private:
  using Map = std::unordered_map<std::string_view, const Row*>;
  static const Row* find(const Map& map, const std::string& key) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
  }
  Map mNames;
  Map mAliases;
};

}  // namespace qorid

#endif  // QORID_LIB_KNOWN_IDENTITIES_H_
