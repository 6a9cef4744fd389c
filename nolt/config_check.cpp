#include "nolt/config_check.h"

#include "common/decimal.h"
#include "nolt/logging_limits.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace nolt {

namespace {

using Values = std::map<std::string, std::string>;

std::string trimmed(const std::string& text) {
  const char* const blanks = " \t\r\n";
  const std::string::size_type first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A value with its ${NAME} variables substituted as log4cpp substitutes
// them (the environment first, then the properties before it), for the
// checks to see what log4cpp will use. False when it grows past the limit:
// variables that name each other would double it line after line.
bool substituted(const std::string& value, const Values& earlier, EnvironmentLookup lookup,
                 std::string& result) {
  result.clear();
  std::string::size_type left = 0;
  for (;;) {
    const std::string::size_type open = value.find("${", left);
    if (open == std::string::npos) {
      result.append(value, left);
      break;
    }
    result.append(value, left, open - left);
    const std::string::size_type close = value.find('}', open + 2);
    if (close == std::string::npos) {
      result.append(value, open);
      break;
    }
    const std::string name = value.substr(open + 2, close - open - 2);
    if (name == "${") {
      result += name;  // log4cpp's way of writing "${" itself
    } else if (const char* environment = lookup(name.c_str())) {
      result += environment;
    } else if (const auto known = earlier.find(name); known != earlier.end()) {
      result += known->second;
    }
    left = close + 1;
    if (result.size() > kMaxLineLength) {
      return false;
    }
  }
  return result.size() <= kMaxLineLength;
}

// The conversions of a ConversionPattern: how many, how many of them are
// "%m", and the widest width ("%-20m" pads to 20, "%.30m" cuts at 30).
// log4cpp runs each conversion for every line: "%m" copies the whole message
// (2,000 of them with a message of 1 MiB took gigabytes), and a width near
// INT_MAX asks for gigabytes (or throws) on each line. A "%d{...}" takes
// what is between the braces as its format, not as conversions.
struct Conversions {
  size_t all = 0;
  size_t messages = 0;
  long widest = 0;  // at most kMaxPatternWidth + 1: past the limit is past it
};

// The widest of a conversion's widths ("-20", ".30", "20.30") that start at
// `i`, which is moved past them (to the conversion's letter).
long widthsAt(const std::string& pattern, std::string::size_type& i) {
  const std::string::size_type size = pattern.size();
  long widest = 0;
  if (i < size && pattern[i] == '-') {
    ++i;
  }
  for (bool afterDot = false;; afterDot = true) {
    long width = 0;
    while (i < size && pattern[i] >= '0' && pattern[i] <= '9') {
      width = std::min(width * 10 + (pattern[i] - '0'), kMaxPatternWidth + 1);
      ++i;
    }
    widest = std::max(widest, width);
    if (afterDot || i >= size || pattern[i] != '.') {
      return widest;
    }
    ++i;
  }
}

Conversions conversionsOf(const std::string& pattern) {
  Conversions found;
  const std::string::size_type size = pattern.size();
  for (std::string::size_type i = 0; i < size; ++i) {
    if (pattern[i] != '%') {
      continue;
    }
    if (++i < size && pattern[i] == '%') {
      continue;  // a percent sign
    }
    found.widest = std::max(found.widest, widthsAt(pattern, i));
    if (i >= size) {
      break;
    }
    ++found.all;
    found.messages += pattern[i] == 'm' ? 1 : 0;
    if (i + 1 < size && pattern[i + 1] == '{') {
      i = std::min(pattern.find('}', i + 1), size);
    }
  }
  return found;
}

// A number that log4cpp reads with atoi: blanks, a sign, digits, and 0 when
// there are none. atoi squeezes a larger number into an int ("4294967396"
// becomes 100), so the number is judged whole: `value` is exact within
// +-2^40, which no limit comes near, and `shown` is the whole number, sign
// and digits without leading zeros, for the reason given.
struct Setting {
  long long value = 0;
  std::string shown;
};

Setting settingOf(const std::string& text) {
  constexpr long long kBeyondAnyLimit = 1LL << 40;
  const qorid::Decimal number =
      qorid::scanDecimal(text, {-kBeyondAnyLimit, kBeyondAnyLimit, qorid::NoDigits::kZero,
                                qorid::OutOfRange::kClamped, qorid::Trailing::kAllowed, true});
  Setting setting;
  setting.value = number.value;
  if (number.digits.empty()) {
    setting.shown = "0";
  } else {
    setting.shown = (number.negative ? "-" : "") + number.digits;
  }
  return setting;
}

// The appenders that log4cpp makes: one for each key "appender.NAME" where
// NAME has no dot.
std::vector<std::string> appenderNamesOf(const Values& values) {
  const std::string prefix = "appender.";
  std::vector<std::string> names;
  for (auto it = values.lower_bound(prefix);
       it != values.end() && startsWith(it->first, prefix.c_str()); ++it) {
    if (it->first.find('.', prefix.size()) == std::string::npos) {
      names.push_back(it->first.substr(prefix.size()));
    }
  }
  return names;
}

// log4cpp takes an appender's type from what follows the last dot in the
// value of "appender.NAME" ("org.apache.log4j.FileAppender" is a
// FileAppender).
std::string typeOf(const Values& values, const std::string& appender) {
  const std::string& type = values.at("appender." + appender);
  const std::string::size_type dot = type.find_last_of('.');
  return dot == std::string::npos ? type : type.substr(dot + 1);
}

bool isFileType(const std::string& type) {
  return type == "FileAppender" || type == "RollingFileAppender" ||
         type == "DailyRollingFileAppender";
}

// A rolling appender renames its backups one by one whenever the file has
// grown to maxFileSize: an index near UINT_MAX (-1 becomes that) and a tiny
// size make every logged line take hours.
std::string rollingProblemOf(const Values& values, const std::string& key,
                             const std::string& at) {
  if (const auto index = values.find(key + ".maxBackupIndex"); index != values.end()) {
    const Setting setting = settingOf(index->second);
    if (setting.value < 0 || setting.value > kMaxBackupIndex) {
      return at + "maxBackupIndex " + setting.shown + " is not from 0 to " +
             std::to_string(kMaxBackupIndex);
    }
  }
  if (const auto size = values.find(key + ".maxFileSize"); size != values.end()) {
    const Setting setting = settingOf(size->second);
    if (setting.value < kMinRollingFileSize) {
      return at + "maxFileSize " + setting.shown + " is below " +
             std::to_string(kMinRollingFileSize) + " bytes";
    }
    if (setting.value > kMaxRollingFileSize) {
      return at + "maxFileSize " + setting.shown + " is above " +
             std::to_string(kMaxRollingFileSize) + " bytes";
    }
  }
  return {};
}

// A SyslogAppender looks its syslogHost up (gethostbyname) when it is made,
// and a name's lookup waits as long as the resolver does: seconds for each
// server that does not answer. An IPv4 address in dotted decimal is taken
// as it is. Port 0 is no port, every line sent there fails; a number past
// 65535 is cut to 16 bits (65536 is 0 again), so it is judged whole.
std::string syslogProblemOf(const Values& values, const std::string& key,
                            const std::string& at) {
  const auto host = values.find(key + ".syslogHost");
  if (host == values.end()) {
    return at + "no syslogHost, and looking up its default, localhost, could wait";
  }
  in_addr address{};
  if (inet_pton(AF_INET, host->second.c_str(), &address) != 1) {
    return at + "syslogHost \"" + host->second +
           "\" is not an IPv4 address in dotted decimal: looking a name up could wait";
  }
  if (const auto port = values.find(key + ".portNumber"); port != values.end()) {
    const Setting setting = settingOf(port->second);
    if (setting.value < kMinPort || setting.value > kMaxPort) {
      return at + "portNumber " + setting.shown + " is not from " + std::to_string(kMinPort) +
             " to " + std::to_string(kMaxPort);
    }
  }
  return {};
}

// Why appender `name` must not be made, empty when it may: only types whose
// lines can neither wait nor end the program are made, and of those, only
// settings that keep them so. Its type is judged before its settings.
std::string appenderProblemOf(const Values& values, const std::string& name) {
  const std::string key = "appender." + name;
  const std::string at = "appender " + name + ": ";
  const std::string type = typeOf(values, name);
  if (type == "RollingFileAppender") {
    return rollingProblemOf(values, key, at);
  }
  if (type == "ConsoleAppender" || isFileType(type)) {
    return {};  // a file that is a FIFO is refused once the files are looked at
  }
  if (type == "SyslogAppender") {
    return syslogProblemOf(values, key, at);
  }
  if (type == "LocalSyslogAppender") {
    return at + "a LocalSyslogAppender could wait: syslog(3) writes to /dev/log blocking";
  }
  if (type == "AbortAppender") {
    return at + "an AbortAppender ends the program at its first line";
  }
  // Whatever else log4cpp may make (a later version's, a platform's own) is
  // not known never to wait.
  return at + "type \"" + values.at(key) +
         "\" is not one known never to wait (ConsoleAppender, FileAppender, "
         "RollingFileAppender, DailyRollingFileAppender, SyslogAppender)";
}

std::vector<AppenderFile> filesOf(const Values& values, const std::vector<std::string>& appenders) {
  std::vector<AppenderFile> files;
  for (const std::string& name : appenders) {
    if (isFileType(typeOf(values, name))) {
      const auto file = values.find("appender." + name + ".fileName");
      files.push_back({name, file != values.end() ? file->second : "foobar"});
    }
  }
  return files;
}

// A line as log4cpp's reader puts it together: it takes up to 255 bytes
// at a time into a C string, so each piece ends at its first NUL. Bytes after
// a NUL in a piece are never seen; the next piece is.
std::string asLog4cppReadsIt(const std::string& raw) {
  constexpr std::string::size_type kPiece = 255;
  std::string line;
  for (std::string::size_type at = 0; at < raw.size(); at += kPiece) {
    const std::string::size_type piece = std::min(kPiece, raw.size() - at);
    // A NUL past the piece, or none (npos), leaves the piece whole.
    line.append(raw, at, std::min(piece, raw.find('\0', at) - at));
  }
  return line;
}

// Why line `number`, `raw` as the file has it, stops the text; empty when
// it does not. A line with a key and a value adds them to `values`.
std::string lineProblemOf(const std::string& raw, size_t number, Values& values,
                          EnvironmentLookup lookup) {
  const std::string at = "line " + std::to_string(number);
  if (raw.size() > kMaxLineLength) {
    return at + " is longer than " + std::to_string(kMaxLineLength) + " bytes";
  }
  std::string line = asLog4cppReadsIt(raw);
  line.erase(std::min(line.find('#'), line.size()));
  const std::string::size_type equals = line.find('=');
  if (equals == std::string::npos) {
    return {};
  }
  std::string key = trimmed(line.substr(0, equals));
  if (startsWith(key, "log4cpp.") || startsWith(key, "log4j.")) {
    key.erase(0, key.find('.') + 1);
  }
  std::string value;
  if (!substituted(trimmed(line.substr(equals + 1)), values, lookup, value)) {
    return at + ": the value is longer than " + std::to_string(kMaxLineLength) +
           " bytes with its variables substituted";
  }
  for (const char* prefix : {"category.", "additivity."}) {
    if (startsWith(key, prefix) && !categoryLevelsFit(key.substr(std::strlen(prefix)))) {
      return at + ": a category name of more than " + std::to_string(kMaxCategoryLevels) +
             " levels";
    }
  }
  const std::string pattern = "ConversionPattern";
  if (key.size() >= pattern.size() &&
      key.compare(key.size() - pattern.size(), pattern.size(), pattern) == 0) {
    const Conversions conversions = conversionsOf(value);
    if (conversions.widest > kMaxPatternWidth) {
      return at + ": a width over " + std::to_string(kMaxPatternWidth) + " in the pattern";
    }
    if (conversions.all > kMaxPatternConversions) {
      return at + ": more than " + std::to_string(kMaxPatternConversions) +
             " conversions in the pattern";
    }
    if (conversions.messages > kMaxPatternMessages) {
      return at + ": more than " + std::to_string(kMaxPatternMessages) + " %m in the pattern";
    }
  }
  values.emplace(key, value);  // the first value of a key counts, as in log4cpp
  return {};
}

}  // namespace

bool categoryLevelsFit(const std::string& name) {
  return static_cast<size_t>(std::count(name.begin(), name.end(), '.')) < kMaxCategoryLevels;
}

ConfigVerdict checkConfiguration(const std::string& text, EnvironmentLookup lookup) {
  Values values;
  size_t number = 0;
  for (std::string::size_type start = 0; start < text.size();) {
    const std::string::size_type end = std::min(text.find('\n', start), text.size());
    std::string problem = lineProblemOf(text.substr(start, end - start), ++number, values, lookup);
    if (!problem.empty()) {
      return {std::move(problem), {}, {}};
    }
    start = end + 1;
  }
  std::vector<std::string> appenders = appenderNamesOf(values);
  if (appenders.size() > kMaxAppenders) {
    return {"more than " + std::to_string(kMaxAppenders) + " appenders", {}, {}};
  }
  for (const std::string& name : appenders) {
    std::string problem = appenderProblemOf(values, name);
    if (!problem.empty()) {
      return {std::move(problem), {}, {}};
    }
  }
  std::vector<AppenderFile> files = filesOf(values, appenders);
  return {{}, std::move(appenders), std::move(files)};
}

}  // namespace nolt
