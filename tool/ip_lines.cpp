#include "tool/ip_lines.h"

#include <algorithm>

namespace qorid::dump {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isBlank(text[i])) {
      ++i;
    }
    const size_t start = i;
    while (i < text.size() && !isBlank(text[i])) {
      ++i;
    }
    if (i > start) {
      result.push_back(text.substr(start, i - start));
    }
  }
  return result;
}

std::optional<AddressLine> parseAddressLine(const std::string& line) {
  const std::vector<std::string> fields = words(line);
  if (fields.size() < 2) {
    return std::nullopt;
  }
  AddressLine parsed;
  std::string& dev = parsed.device;
  dev = fields[1];
  if (!dev.empty() && dev.back() == ':') {
    dev.pop_back();
  }
  dev.resize(std::min(dev.find('@'), dev.size()));
  for (size_t i = 2; i < fields.size(); ++i) {
    const std::string& word = fields[i];
    if (word == "inet") {
      if (i + 1 < fields.size()) {
        parsed.address = fields[++i];
      }
    } else if (word[0] == '\\') {
      break;
    } else if (word.find('\\') != std::string::npos) {
      parsed.label = word.substr(0, word.find('\\'));
      break;
    } else {
      parsed.label = word;
    }
  }
  if (parsed.label.compare(0, dev.size(), dev) != 0) {
    parsed.label = dev;
  }
  if (parsed.address.empty()) {
    return std::nullopt;
  }
  return parsed;
}

std::string linkAddress(const std::string& line) {
  const std::vector<std::string> fields = words(line);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].compare(0, 5, "link/") == 0) {
      return i + 1 < fields.size() ? fields[i + 1] : "";
    }
  }
  return "";
}

}  // namespace qorid::dump
