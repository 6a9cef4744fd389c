// What qorid-dump reads of ip's one-line output (`ip -o`): the words of a
// line, and the fields of an address line and of a link line. Pure: the
// commands are run, and the hardware addresses looked up, elsewhere.
#ifndef QORID_TOOL_IP_LINES_H_
#define QORID_TOOL_IP_LINES_H_

#include <optional>
#include <string>
#include <vector>

namespace qorid::dump {

// `text` split at its blanks (space, tab, newline); no word is empty.
std::vector<std::string> words(const std::string& text);

// What one line of `ip -o -4 addr show` says of its address.
struct AddressLine {
  std::string device;   // the interface: the line's second word without ':' and "@PEER"
  std::string label;    // the address's label: eth0, or eth0:1 for an alias
  std::string address;  // ADDRESS/PREFIX, the word after "inet"
};

// One line of `ip -o -4 addr show`:
//   "3: eth0    inet 192.0.2.1/24 brd 192.0.2.255 scope global eth0:1\       valid_lft ..."
// The label is the last word before the backslash that starts ip's
// continuation (a word that begins with it ends the fields, one that holds
// it is cut there). A label that does not begin with the device's name is
// the device's name. None for a line of fewer than two words, or without an
// "inet" and the word after it.
std::optional<AddressLine> parseAddressLine(const std::string& line);

// The hardware address in what `ip -o link show dev DEV` prints: the word
// after the first "link/..." word ("2: eth0: <...> ... link/ether
// 02:00:00:00:00:01 brd ..."); "" when there is no such word or none after it.
std::string linkAddress(const std::string& line);

}  // namespace qorid::dump

#endif  // QORID_TOOL_IP_LINES_H_
