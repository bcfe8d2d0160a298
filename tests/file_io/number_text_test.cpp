#include "file_io/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane {
namespace {

TEST(ParsePlainDecimal, AcceptedNumbers) {
  // Each expected value is the compiler's own correctly rounded reading of
  // the same decimal text as a long double literal (an independent
  // conversion), or an exact value.
  struct Case {
    std::string text;
    long double value;
  };
  const std::vector<Case> cases = {
      {"0", 0.0L},
      {"12", 12.0L},
      {"-3.5", -3.5L},
      {"+2", 2.0L},
      {".5", 0.5L},
      {"5.", 5.0L},
      {"1.5E2", 150.0L},
      {"1.5e+2", 150.0L},
      {"25e-1", 2.5L},
      {"0.1", 0.1L},
      {"-99999.999", -99999.999L},
      {"3.14159265358979323846264338327950288", 3.14159265358979323846264338327950288L},
      {"1e4000", 1e4000L},                 // beyond double, finite in extended precision
      {"1e-99999", 0.0L},                  // too small to tell from 0
      {std::string(63, '0') + "7", 7.0L},  // 64 characters
  };
  for (const Case& c : cases) {
    const std::optional<long double> v = ParsePlainDecimal(c.text);
    ASSERT_TRUE(v.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(*v, c.value) << '"' << c.text << '"';
  }
}

TEST(ParsePlainDecimal, RefusedTexts) {
  const std::vector<std::string> refused = {
      "",
      "+",
      "-",
      ".",
      "-.",
      "e5",
      "1e",
      "1e+",
      "1,5",
      "1.2.3",
      "nan",
      "NaN",
      "inf",
      "-inf",
      "infinity",
      "0x1p3",
      "0x10",
      "1e99999",
      "-1e99999",
      "1 2",
      " 1",
      "1 ",
      "1_000",
      "1d3",
      "++1",
      "1e5.5",
      "\xd9\xa1",
      "1\x7f",
      "12abc",
      "--1",
      std::string(64, '0') + "7",  // 65 characters
  };
  for (const std::string& text : refused) {
    EXPECT_FALSE(ParsePlainDecimal(text).has_value()) << '"' << text << '"';
  }
}

TEST(KeepsItsDigits, TellsWhenTheTextHoldsMoreDigitsThanTheValueKeeps) {
  // An 80-bit real has a 64-bit significand: integers below 2^64 (about 1.8e19)
  // are exact; from 2^64 on the spacing is 2 or more; any 18 digits come back.
  struct Case {
    const char* text;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"20.35", true},
      {"0", true},
      {"-0.000", true},
      {"123456789012345678", true},           // 18 digits
      {"12345678901234567891", true},         // 20 digits, below 2^64: exact
      {"1000000000000000000000", true},       // 1e21 = 2^21 5^21: exact
      {"0.0000000000000000000001", true},     // one significant digit
      {"1.5000000000000000000000000", true},  // trailing zeros carry nothing
      {"123456789012345678901", false},       // 1.2e20: a spacing of 8
      {"10000000000000000021.5", false},      // reads as ...22
      {"10000000000000000020.35", false},     // the decimals lost
      {"1.2345678901234567890123", false},    // 23 digits near 1
      {"1e-5000", false},                     // reads as 0
  };
  for (const Case& c : cases) {
    const std::optional<long double> value = ParsePlainDecimal(c.text);
    ASSERT_TRUE(value.has_value()) << c.text;
    EXPECT_EQ(KeepsItsDigits(c.text, *value), c.kept) << c.text;
  }
}

}  // namespace
}  // namespace quorvane
