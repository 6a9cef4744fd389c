#include "lib/wan.h"

#include "common/descriptor.h"
#include "common/text_file.h"
#include "lib/one_line.h"
#include "lib/system.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A datagram socket for one interface request; held by a Descriptor, it is
// closed on every way out.
int requestSocket() { return ::socket(AF_INET, SOCK_DGRAM, 0); }

// 32 bytes as "xx:" each, the last one's ':' being the newline.
constexpr size_t kAddressFileLimit = size_t{32} * 3;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

void sayNoAddress(const std::string& what, const char* why) {
  (void)std::fprintf(stderr, "wan_mac: %s: %s\n", qorid::oneLine(what).c_str(), why);
}

std::optional<std::array<char, 6>> addressFromFile(const std::string& name) {
  if (!qorid::isInterfaceName(name)) {
    sayNoAddress("'" + name + "'", "not an interface name");
    return std::nullopt;
  }
  qorid::TextFile file(qorid::sys::interfaceAddressPath(name), kAddressFileLimit,
                       qorid::sys::openForReading);
  std::string line;
  if (!file.isOpen()) {
    sayNoAddress(file.path(), std::strerror(file.openError()));
    return std::nullopt;
  }
  if (!file.readLine(line)) {
    sayNoAddress(file.path(), "empty");
    return std::nullopt;
  }
  std::optional<std::array<char, 6>> address =
      file.cut() ? std::nullopt : qorid::parseHardwareAddress(line);
  if (!address) {
    sayNoAddress(file.path(), "not a hardware address");
  }
  return address;
}

}  // namespace

bool qorid::isInterfaceName(const std::string& name) {
  return !name.empty() && name.size() < IFNAMSIZ && name != "." && name != ".." &&
         name.find_first_of("/ \t\n\v\f\r") == std::string::npos;
}

std::optional<std::array<char, 6>> qorid::parseHardwareAddress(const std::string& line) {
  std::array<char, 6> address{};
  size_t count = 0;
  for (size_t at = 0; at < line.size(); at += 3) {
    const int high = hexDigit(line[at]);
    const int low = at + 1 < line.size() ? hexDigit(line[at + 1]) : -1;
    const bool joined = at + 2 == line.size() || line[at + 2] == ':';
    if (high < 0 || low < 0 || !joined || at + 3 == line.size()) {
      return std::nullopt;
    }
    if (count < address.size()) {
      address[count] = static_cast<char>(high * 16 + low);
    }
    ++count;
  }
  return address;
}

bool qorid::isLoopbackLabel(const std::string& name) {
  return name == "lo" || name.compare(0, 3, "lo:") == 0;
}

std::string qorid::wanIdentifier(const char* address) {
  std::string id;
  for (int i = 0; i < 6; ++i) {
    // Sign-extended on purpose: the stored identifiers were made this way.
    // NOLINTNEXTLINE(bugprone-signed-char-misuse,cert-str34-c)
    const auto widened = static_cast<std::uint16_t>(static_cast<std::int8_t>(address[i]));
    char digits[8];
    // At most four digits: the buffer always holds them.
    (void)std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(widened));
    id += digits;
  }
  return id;
}

std::optional<std::string> qorid::firstWanInterface() {
  const qorid::Descriptor sock(requestSocket());
  if (sock.fd() < 0) {
    std::perror("socket");
    return std::nullopt;
  }
  // The kernel writes as many whole records as fit and says how much it
  // wrote: when no room for one more record is left, the list may have been
  // cut short, so ask again with twice the room.
  std::vector<char> buffer(1024);
  struct ifconf list;
  for (;;) {
    list.ifc_len = static_cast<int>(buffer.size());
    list.ifc_buf = buffer.data();
    if (::ioctl(sock.fd(), SIOCGIFCONF, &list) < 0) {
      std::perror("ioctl(SIOCGIFCONF)");
      return std::nullopt;
    }
    if (static_cast<size_t>(list.ifc_len) + sizeof(struct ifreq) <= buffer.size() ||
        buffer.size() > static_cast<size_t>(INT_MAX) / 2) {
      break;
    }
    buffer.assign(buffer.size() * 2, '\0');
  }
  const size_t count = static_cast<size_t>(std::max(list.ifc_len, 0)) / sizeof(struct ifreq);
  for (size_t i = 0; i < count; ++i) {
    struct ifreq record;
    std::memcpy(&record, buffer.data() + i * sizeof record, sizeof record);
    std::string name(record.ifr_name, strnlen(record.ifr_name, IFNAMSIZ));
    if (!isLoopbackLabel(name)) {
      return name;
    }
  }
  return std::nullopt;
}

std::string qorid::interfaceName(const std::string& value) {
  return value.substr(0, value.find('\0'));
}

std::optional<std::array<char, 6>> qorid::hardwareAddress(const std::string& name) {
  if (sys::underBoardRoot()) {
    return addressFromFile(name);
  }
  if (name.size() >= IFNAMSIZ) {
    errno = ENAMETOOLONG;  // would not fit the request's name field
    std::perror("ioctl(wan_mac)");
    return std::nullopt;
  }
  // A failed socket makes the request below fail.
  const qorid::Descriptor sock(requestSocket());
  struct ifreq request;
  std::memset(&request, 0, sizeof request);
  std::memcpy(request.ifr_name, name.data(), name.size());
  if (::ioctl(sock.fd(), SIOCGIFHWADDR, &request) < 0) {
    std::perror("ioctl(wan_mac)");
    return std::nullopt;
  }
  std::array<char, 6> address;
  std::memcpy(address.data(), request.ifr_hwaddr.sa_data, address.size());
  return address;
}
