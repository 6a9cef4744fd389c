// The one reading of a signed decimal number: white space (" \t\n\v\f\r")
// skipped, one optional sign, decimal digits up to the first other byte.
// What a reader makes of the cases past that (no digit, a number out of its
// range, bytes after the digits) is its rules'.
#ifndef QORID_COMMON_DECIMAL_H_
#define QORID_COMMON_DECIMAL_H_

#include <string>
#include <string_view>

namespace qorid {

enum class NoDigits { kZero, kRefused };       // a text without a digit
enum class OutOfRange { kClamped, kRefused };  // clamped: the nearer limit
enum class Trailing { kAllowed, kRefused };    // bytes after the digits

struct DecimalRules {
  // The range a number must fall in: min <= 0 <= max, each within
  // LLONG_MAX / 10 of zero.
  long long min;
  long long max;
  NoDigits noDigits;
  OutOfRange outOfRange;
  Trailing trailing;  // judged by scanDecimal only: a scanner sees no more
  // Keep the digits, as written but for leading zeros, in Decimal::digits
  // (for a message). Off, memory stays fixed however long the digits run.
  bool keepDigits;
};

struct Decimal {
  bool ok = false;  // false: the rules refuse the text; nothing else is set
  long long value = 0;
  bool negative = false;  // a '-' was written, whatever the digits
  std::string digits;     // with keepDigits: the digits without leading zeros
};

// The reading fed one byte at a time, for a reader that streams.
class DecimalScanner {
 public:
  explicit DecimalScanner(const DecimalRules& rules) : mRules(rules) {}
  // Offers the next byte: true when it belongs to the number (white space
  // before it, its sign, a digit), false when the number ended before it.
  // Once false, the scanner takes nothing more.
  bool take(char c);
  // True while nothing but white space has been taken.
  [[nodiscard]] bool blanksOnly() const { return mState == State::kBlanks; }
  // The number the bytes taken so far make, under the rules.
  [[nodiscard]] Decimal result() const;

 private:
  enum class State { kBlanks, kSign, kDigits, kEnded };
  DecimalRules mRules;
  State mState = State::kBlanks;
  bool mNegative = false;
  bool mAnyDigit = false;
  // Grows only while within the limit: past it, the fact is what counts.
  long long mMagnitude = 0;
  std::string mDigits;
};

// The number at the start of `text`.
Decimal scanDecimal(std::string_view text, const DecimalRules& rules);

}  // namespace qorid

#endif  // QORID_COMMON_DECIMAL_H_
