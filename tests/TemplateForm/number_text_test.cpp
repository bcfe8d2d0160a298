#include "TemplateForm/number_text.h"

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

TEST(ReadSavedNumber, SkipsLineEndsAndReadsZeroAtTheEnd) {
  std::istringstream in(" 12\r\n\t2.5 x");
  EXPECT_EQ(ReadSavedNumber(in), std::optional<long double>(12.0L));
  EXPECT_EQ(ReadSavedNumber(in), std::optional<long double>(2.5L));
  EXPECT_FALSE(ReadSavedNumber(in).has_value());
  EXPECT_EQ(ReadSavedNumber(in), std::optional<long double>(0.0L));
}

}  // namespace
}  // namespace quorvane
