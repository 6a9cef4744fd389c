#include "tool/json_output.h"

#include "common/utf8.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace qorid {
namespace {

using Json = nlohmann::ordered_json;

// A JSON string of `text`: valid UTF-8 as it is, control bytes escaped,
// each bad sequence as U+FFFD.
std::string quoted(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The member "key":"text", and "key_base64" beside it when the text is not
// UTF-8: the string then shows U+FFFD in its place, and only the base64
// gives the bytes back.
void putText(std::ostream& out, const char* key, const std::string& text) {
  out << '"' << key << "\":" << quoted(text);
  if (!isValidUtf8(text)) {
    out << ",\"" << key << "_base64\":\"" << base64(text) << '"';
  }
}

// A JSON array of the texts, each made JSON by `encode`.
template <typename Encode>
void putArray(std::ostream& out, const std::vector<std::string>& texts, Encode encode) {
  out << '[';
  for (size_t i = 0; i < texts.size(); ++i) {
    out << (i == 0 ? "" : ",") << encode(texts[i]);
  }
  out << ']';
}

}  // namespace

void writeIdentityJson(std::ostream& out, int number, const std::string& name,
                       const std::vector<std::string>& aliases,
                       const std::vector<qor_param>& params, const std::string& leading) {
  out << '{' << leading << "\"number\":" << number << ',';
  putText(out, "name", name);
  out << ",\"aliases\":";
  putArray(out, aliases, quoted);
  if (!std::all_of(aliases.begin(), aliases.end(), isValidUtf8)) {
    out << ",\"aliases_base64\":";
    putArray(out, aliases, [](const std::string& a) { return '"' + base64(a) + '"'; });
  }
  out << ",\"parameters\":[";
  for (size_t i = 0; i < params.size(); ++i) {
    out << (i == 0 ? "{" : ",{");
    putText(out, "name", params[i].name);
    out << ',';
    putText(out, "value", params[i].value);
    out << '}';
  }
  out << "]}";
}

std::string base64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                       (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0U);
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += two ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace qorid
