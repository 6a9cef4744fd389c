#include "tool/dump_net.h"

#include "common/process.h"
#include "common/text_file.h"
#include "lib/board_files.h"
#include "tool/ip_lines.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <utility>

namespace qorid::dump {
namespace {

// What `ip -o link show dev DEV` gives as the address (linkAddress): empty
// when it gives none; none when ip fails.
std::optional<std::string> macShownByIp(const std::string& dev) {
  const process::Ran ran = runWatched({{"ip", "-o", "link", "show", "dev", dev},
                                       process::Redirect::capture(kOutputLimit),
                                       process::Redirect::null()});
  if (!ran.started || ran.status != 0) {
    return std::nullopt;
  }
  return linkAddress(process::chomp(ran.out));
}

// The interface's hardware address, "-" when it has none; "" when there is
// no such interface.
std::string linkMac(const std::string& dev, bool haveIp) {
  // A name from the node may be anything.
  if (!board::isInterfaceName(dev)) {
    return "";
  }
  std::string mac;
  if (haveIp) {
    const std::optional<std::string> shown = macShownByIp(dev);
    if (!shown) {
      return "";
    }
    mac = *shown;
  } else {
    const std::string path = board::interfaceAddressPath(dev);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      return "";
    }
    TextFile file(path, 64);
    std::string chunk;
    while (file.readChunk(chunk)) {
      mac += chunk;
    }
    mac = process::chomp(mac);
  }
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  const bool looksLikeOne = mac.size() >= 4 && hex(mac[0]) && hex(mac[1]) && mac[2] == ':' &&
                            mac.find(':', 3) != std::string::npos;
  return looksLikeOne ? mac : "-";
}

// The interfaces of net's lines and their addresses as net has them, each
// once, in the order of the lines.
using Interfaces = std::vector<std::pair<std::string, std::string>>;

void noteInterface(Interfaces& interfaces, const std::string& name, const std::string& mac) {
  if (std::none_of(interfaces.begin(), interfaces.end(),
                   [&name](const auto& known) { return known.first == name; })) {
    interfaces.emplace_back(name, mac);
  }
}

// The net line of one line of `ip -o -4 addr show`; "" for a line without
// an address.
std::string netLine(const std::string& line, bool haveIp, Interfaces& interfaces) {
  const std::optional<AddressLine> parsed = parseAddressLine(line);
  if (!parsed) {
    return "";
  }
  const std::string mac = linkMac(parsed->device, haveIp);
  if (!mac.empty()) {
    noteInterface(interfaces, parsed->device, mac);
  }
  return parsed->label + " " + parsed->address + " " + (mac.empty() ? "-" : mac) + "\n";
}

// DUMP/root/sys/class/net/NAME/address of each interface, as sysfs writes
// it: the address and a newline; the newline alone when it has none.
Stopped writeAddresses(const Staging& staging, const std::string& dump,
                       const Interfaces& interfaces) {
  const std::string root = dump + "/root";
  for (const auto& [name, mac] : interfaces) {
    const std::string file = board::interfaceAddressPath(name);
    if (Stopped stopped = staging.makeDirectories(root, file.substr(1, file.rfind('/') - 1))) {
      return stopped;
    }
    if (Stopped stopped = staging.writeFile(root + file, (mac == "-" ? "" : mac) + "\n")) {
      return stopped;
    }
  }
  return {};
}

// Whether a line of `lines` (net's) is of interface `name`.
bool isListed(const std::vector<std::string>& lines, const std::string& name) {
  return std::any_of(lines.begin(), lines.end(), [&name](const std::string& line) {
    const std::vector<std::string> fields = words(line);
    return !fields.empty() && fields[0] == name;
  });
}

}  // namespace

Stopped writeNet(const Staging& staging, const std::string& dump,
                 const std::vector<std::string>& wanCopies) {
  const bool haveIp = !process::onPath("ip").empty();
  std::string net;
  Interfaces interfaces;
  if (haveIp) {
    const process::Ran ran = runWatched(
        {{"ip", "-o", "-4", "addr", "show"}, process::Redirect::capture(kOutputLimit), {}});
    if (Stopped stopped = checkSignals()) {
      return stopped;
    }
    if (ran.started && ran.status == 0) {
      for (const std::string& line : process::splitLines(process::chomp(ran.out))) {
        net += netLine(line, haveIp, interfaces);
        if (Stopped stopped = checkSignals()) {
          return stopped;
        }
      }
    } else {
      say("ip could not list the IPv4 addresses: net is empty");
    }
  } else {
    say("no ip command: net is empty");
  }
  // A wan property of the node (or of a subnode) names the interface whose
  // address qorid asks for, with or without an IPv4 address.
  for (const std::string& copy : wanCopies) {
    bool cut = false;
    const std::string wan = board::interfaceName(board::propertyValue(copy.c_str(), cut));
    if (wan.empty() || isListed(process::splitLines(net), wan)) {
      continue;
    }
    const std::string mac = linkMac(wan, haveIp);
    if (Stopped stopped = checkSignals()) {
      return stopped;
    }
    if (!mac.empty()) {
      net.append(wan).append(" - ").append(mac).append("\n");
      noteInterface(interfaces, wan, mac);
    } else {
      say("the node's wan names " + wan + ", which is no interface here");
    }
  }
  if (Stopped stopped = staging.writeFile(dump + "/net", net)) {
    return stopped;
  }
  return writeAddresses(staging, dump, interfaces);
}

}  // namespace qorid::dump
