#include "json_output.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace qorid {
namespace {

using Json = nlohmann::ordered_json;

// Sets `key` to `text`, and `key`_base64 beside it when the text is not
// UTF-8: the writer then shows U+FFFD in its place, and only the base64
// gives the bytes back.
void putText(Json& object, const std::string& key, const std::string& text) {
  object[key] = text;
  if (!isValidUtf8(text)) {
    object[key + "_base64"] = base64(text);
  }
}

}  // namespace

std::string identityJson(int number, const std::string& name,
                         const std::vector<std::string>& aliases,
                         const std::vector<qor_param>& params) {
  Json doc;
  doc["number"] = number;
  putText(doc, "name", name);
  doc["aliases"] = aliases;
  if (!std::all_of(aliases.begin(), aliases.end(), isValidUtf8)) {
    Json encoded = Json::array();
    for (const std::string& alias : aliases) encoded.push_back(base64(alias));
    doc["aliases_base64"] = encoded;
  }
  Json list = Json::array();
  for (const qor_param& param : params) {
    Json entry;
    putText(entry, "name", param.name);
    putText(entry, "value", param.value);
    list.push_back(entry);
  }
  doc["parameters"] = list;
  return doc.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool isValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const unsigned char lead = *p++;
    if (lead < 0x80) {
      continue;
    }
    int more = 0;
    unsigned char low = 0x80;  // the range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
      high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
      high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (end - p < more || *p < low || *p > high) {
      return false;
    }
    for (++p, --more; more > 0; ++p, --more) {
      if (*p < 0x80 || *p > 0xBF) {
        return false;
      }
    }
  }
  return true;
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
