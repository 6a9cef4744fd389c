#include "common/decimal.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using qorid::NoDigits;
using qorid::OutOfRange;
using qorid::Trailing;

// The rules of the readers that share the scanner: a known identity's board
// number, a number read from a file, a logging setting, a descriptor's name.
const qorid::DecimalRules kBoardNumber = {INT_MIN, INT_MAX, NoDigits::kRefused,
                                          OutOfRange::kRefused, Trailing::kAllowed, false};
const qorid::DecimalRules kFileInt = {INT_MIN, INT_MAX, NoDigits::kZero,
                                      OutOfRange::kClamped, Trailing::kAllowed, false};
const qorid::DecimalRules kSetting = {-(1LL << 40), 1LL << 40, NoDigits::kZero,
                                      OutOfRange::kClamped, Trailing::kAllowed, true};
const qorid::DecimalRules kFdName = {0, INT_MAX, NoDigits::kRefused, OutOfRange::kRefused,
                                     Trailing::kRefused, false};

struct DecimalCase {
  const qorid::DecimalRules* rules;
  const char* text;
  bool ok;
  long long value;
  const char* digits;
};

TEST(Decimal, EachReaderGetsItsOwnRulesFromTheOneScan) {
  const DecimalCase cases[] = {
      {&kBoardNumber, " \t+07x", true, 7, ""},
      {&kBoardNumber, "-2147483648", true, INT_MIN, ""},
      {&kBoardNumber, "2147483648", false, 0, ""},
      {&kBoardNumber, "+-1", false, 0, ""},
      {&kBoardNumber, "   ", false, 0, ""},
      {&kFileInt, "-", true, 0, ""},
      {&kFileInt, "x", true, 0, ""},
      {&kFileInt, "99999999999999999999", true, INT_MAX, ""},
      {&kFileInt, "-2147483649", true, INT_MIN, ""},
      {&kSetting, "\n-000120kB", true, -120, "120"},
      {&kSetting, "4294967396", true, 4294967396LL, "4294967396"},
      {&kSetting, "-99999999999999999999", true, -(1LL << 40), "99999999999999999999"},
      {&kSetting, "+0", true, 0, ""},
      {&kFdName, "12", true, 12, ""},
      {&kFdName, "12 ", false, 0, ""},
      {&kFdName, "..", false, 0, ""},
      {&kFdName, "-3", false, 0, ""},
  };
  for (const DecimalCase& c : cases) {
    SCOPED_TRACE(c.text);
    const qorid::Decimal got = qorid::scanDecimal(c.text, *c.rules);
    EXPECT_EQ(c.ok, got.ok);
    EXPECT_EQ(c.value, got.value);
    EXPECT_EQ(c.digits, got.digits);
  }
}

}  // namespace
