#include "common/decimal.h"

namespace qorid {

bool DecimalScanner::take(char c) {
  const bool digit = c >= '0' && c <= '9';
  if (mState == State::kBlanks) {
    if (c == ' ' || (c >= '\t' && c <= '\r')) {
      return true;
    }
    if (c == '+' || c == '-') {
      mNegative = c == '-';
      mState = State::kSign;
      return true;
    }
  }
  if (!digit || mState == State::kEnded) {
    mState = State::kEnded;
    return false;
  }
  mState = State::kDigits;
  mAnyDigit = true;
  if (mRules.keepDigits && (c != '0' || !mDigits.empty())) {
    mDigits += c;
  }
  const long long limit = mNegative ? -mRules.min : mRules.max;
  if (mMagnitude <= limit) {
    mMagnitude = mMagnitude * 10 + (c - '0');
  }
  return true;
}

Decimal DecimalScanner::result() const {
  Decimal number;
  const long long limit = mNegative ? -mRules.min : mRules.max;
  if (!mAnyDigit && mRules.noDigits == NoDigits::kRefused) {
    return number;
  }
  if (mMagnitude > limit) {
    if (mRules.outOfRange == OutOfRange::kRefused) {
      return number;
    }
    number.value = mNegative ? mRules.min : mRules.max;
  } else {
    number.value = mNegative ? -mMagnitude : mMagnitude;
  }
  number.ok = true;
  number.negative = mNegative;
  number.digits = mDigits;
  return number;
}

Decimal scanDecimal(std::string_view text, const DecimalRules& rules) {
  DecimalScanner scanner(rules);
  std::string_view::size_type taken = 0;
  while (taken < text.size() && scanner.take(text[taken])) {
    ++taken;
  }
  if (taken < text.size() && rules.trailing == Trailing::kRefused) {
    return {};
  }
  return scanner.result();
}

}  // namespace qorid
