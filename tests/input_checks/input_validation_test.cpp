#include "input_checks/input_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {
namespace {

const std::string kLabelN = "Number of control participants (N) :";
const std::string kLabelK = "Number of covariates :";
const std::string kNumericOnlyBox = "INPUT ERROR\r\rEnter numeric data only.";

// A refusal as the worksheet shows it: a warning box with the text, a beep first or not.
void ExpectWarning(const Refusal& refusal, Reason reason, const std::string& text, bool beep,
                   const std::string& what) {
  EXPECT_EQ(refusal.reason, reason) << what;
  EXPECT_EQ(refusal.box, MessageKind::Warning) << what;
  EXPECT_EQ(refusal.message, text) << what;
  EXPECT_EQ(refusal.beep, beep) << what;
  EXPECT_EQ(refusal.field, 0) << what;  // the caller names the field
}

// ---------------------------------------------------------------- keystrokes

TEST(FilterNumericKey, PassesNumberCharactersAndEditingKeys) {
  struct Case {
    char typed;
    char inserted;
  };
  const std::vector<Case> cases = {{',', '.'}, {'.', '.'}, {'-', '-'}, {'0', '0'}, {'5', '5'},
                                   {'9', '9'}, {8, 8},     {9, 9},     {13, 13}};
  for (const Case& c : cases) {
    const Checked<char> result = FilterNumericKey(c.typed);
    ASSERT_TRUE(result.ok()) << "typed code " << int(c.typed);
    EXPECT_EQ(result.value(), c.inserted) << "typed code " << int(c.typed);
  }
}

TEST(FilterNumericKey, RefusesEverythingElseWithBeepAndWarning) {
  const std::string refused = std::string("aZ +eE/:;") + '\n' + '\x1b' + '\x7f' + '\0' + '\xe9';
  for (const char typed : refused) {
    const Checked<char> result = FilterNumericKey(typed);
    ASSERT_FALSE(result.ok()) << "typed code " << int(typed);
    ExpectWarning(result.refusal(), Reason::KeyNotNumeric, kNumericOnlyBox, true,
                  "typed code " + std::to_string(int(typed)));
  }
}

TEST(FilterNumericPaste, TakesTheTextWholeOrRefusesItWithOneBeepAndWarning) {
  struct Case {
    std::string pasted;
    std::optional<std::string> inserted;  // std::nullopt: refused
  };
  const std::vector<Case> cases = {
      {"12", "12"},
      {"-3,5", "-3.5"},
      {" 12\r\n", "12"},  // a copied table cell
      {"\t0.5 ", "0.5"},
      {"", ""},
      {" \n", ""},
      {"abc", std::nullopt},
      {"abc12", std::nullopt},
      {"1e5", std::nullopt},  // never "15"
      {"1 2", std::nullopt},
      {"1\t2", std::nullopt},
      {"1\n2", std::nullopt},
      {"+4", std::nullopt},
      {"\xef\xbc\x91", std::nullopt},  // a full-width digit one
  };
  for (const Case& c : cases) {
    const Checked<std::string> result = FilterNumericPaste(c.pasted);
    EXPECT_EQ(result.ok(), c.inserted.has_value()) << "pasted \"" << c.pasted << '"';
    if (result.ok()) {
      EXPECT_EQ(result.value(), *c.inserted) << "pasted \"" << c.pasted << '"';
    } else {
      ExpectWarning(result.refusal(), Reason::PasteNotNumeric, kNumericOnlyBox, true, c.pasted);
    }
  }
}

TEST(LimitInputLength, CutsToSixCharactersWithBeepAndMessage) {
  EXPECT_FALSE(ExceedsInputLength("123456"));
  EXPECT_TRUE(ExceedsInputLength("1234567"));
  const LimitedInput cut = LimitInputLength("1234567");
  EXPECT_EQ(cut.text, "123456");
  ASSERT_TRUE(cut.refusal.has_value());
  ExpectWarning(*cut.refusal, Reason::FieldTooLong, "Maximum length of input is 6 characters.",
                true, "seven characters");
  for (const std::string& text : {std::string(), std::string("123456")}) {
    const LimitedInput kept = LimitInputLength(text);
    EXPECT_EQ(kept.text, text);
    EXPECT_FALSE(kept.refusal.has_value()) << '"' << text << '"';
  }
}

// ---------------------------------------------------------------- parsing

TEST(ParseFieldValue, AcceptedTexts) {
  // Expected values worked by hand from the digit-by-digit rule.
  struct Case {
    std::string text;
    double value;
  };
  const std::vector<Case> cases = {{"12", 12.0},    {"12.5", 12.5}, {"-3", -3.0},
                                   {" 1 2 ", 12.0}, {"- 4", -4.0},  {"0.25", 0.25},
                                   {".5", 0.5},     {"007", 7.0},   {"5.", 5.0},
                                   {".", 0.0},      {"-", 0.0},     {"999999", 999999.0}};
  for (const Case& c : cases) {
    const Checked<double> v = ParseFieldValue(c.text, kLabelN);
    ASSERT_TRUE(v.ok()) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(v.value(), c.value) << '"' << c.text << '"';
  }
}

TEST(ParseFieldValue, RefusedTextsNameLabelAndText) {
  const std::vector<std::string> refused = {"1.2.3", "1-2", "12a", "a", "1,5", "+3", "1e3", "3\t"};
  for (const std::string& text : refused) {
    const Checked<double> v = ParseFieldValue(text, kLabelK);
    ASSERT_FALSE(v.ok()) << '"' << text << '"';
    // One carriage return before the parenthesis, two blanks before its end.
    ExpectWarning(v.refusal(), Reason::FieldNotNumeric,
                  "INPUT ERROR\r(  " + kLabelK + "  " + text + "  )\r\rEnter numeric data only.",
                  false, text);
  }
}

TEST(ParseFieldValue, EmptyTextHasItsOwnMessage) {
  const Checked<double> v = ParseFieldValue("", kLabelN);
  ASSERT_FALSE(v.ok());
  // Two carriage returns before the parenthesis, none of the text's blanks before its end.
  ExpectWarning(v.refusal(), Reason::FieldEmpty,
                "INPUT ERROR\r\r(  Number of control participants (N) :  )\r\r"
                "Data have not been entered in this field.",
                false, "empty");
}

TEST(ParseFieldValue, LongFractionBeyondNinePlacesStaysFinite) {
  // Texts longer than a field holds (e.g. from the command line) must not
  // overflow the power of ten.
  const Checked<double> v = ParseFieldValue("0.000000000001", kLabelN);
  ASSERT_TRUE(v.ok());
  EXPECT_NEAR(v.value(), 1e-12, 1e-24);
}

// ---------------------------------------------------------------- range checks

enum class Check { Above4, Above2, Covariates };

std::optional<Refusal> RunCheck(Check check, const std::string& label, double v) {
  switch (check) {
    case Check::Above4:
      return CheckSampleSizeAbove4(label, v);
    case Check::Above2:
      return CheckSampleSizeAbove2(label, v);
    case Check::Covariates:
      return CheckCovariateCount(label, v);
  }
  return std::nullopt;
}

TEST(RangeChecks, PassAndFailWithTheValueShownToThreeDecimals) {
  const std::string above4 = "The value for sample size must be an integer greater than 4.";
  const std::string above2 = "The value for sample size must be an integer greater than 2.";
  const std::string covs = "The value must be a positive integer and be less than 6.";
  struct Case {
    Check check;
    double value;
    const char* shown;  // nullptr: passes
    const std::string* sentence;
  };
  const std::vector<Case> cases = {
      {Check::Above4, 4.0, "4.000", &above4},      {Check::Above4, 5.0, nullptr, nullptr},
      {Check::Above4, 10.5, "10.500", &above4},    {Check::Above4, -3.0, "-3.000", &above4},
      {Check::Above4, 999999.0, nullptr, nullptr}, {Check::Above2, 4.0, nullptr, nullptr},
      {Check::Above2, 3.0, nullptr, nullptr},      {Check::Above2, 2.0, "2.000", &above2},
      {Check::Above2, 3.25, "3.250", &above2},     {Check::Covariates, 0.0, "0.000", &covs},
      {Check::Covariates, 6.0, "6.000", &covs},    {Check::Covariates, 1.0, nullptr, nullptr},
      {Check::Covariates, 5.0, nullptr, nullptr},  {Check::Covariates, 2.5, "2.500", &covs},
      {Check::Covariates, -1.0, "-1.000", &covs}};
  for (const Case& c : cases) {
    const std::optional<Refusal> refusal = RunCheck(c.check, kLabelN, c.value);
    EXPECT_EQ(!refusal.has_value(), c.shown == nullptr) << c.value;
    if (!refusal || c.shown == nullptr) continue;
    ExpectWarning(*refusal,
                  c.check == Check::Covariates ? Reason::CovariateCountOutOfRange
                                               : Reason::SampleSizeOutOfRange,
                  "INPUT ERROR\r(  " + kLabelN + "  " + c.shown + "  )\r" + *c.sentence, false,
                  std::to_string(c.value));
  }
}

TEST(RangeChecks, NonFiniteValuesNeverPass) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()};
  for (const double v : values) {
    EXPECT_TRUE(CheckSampleSizeAbove4(kLabelN, v).has_value());
    EXPECT_TRUE(CheckSampleSizeAbove2(kLabelN, v).has_value());
    EXPECT_TRUE(CheckCovariateCount(kLabelK, v).has_value());
  }
}

TEST(IntegerPower, RepeatedMultiplication) {
  EXPECT_EQ(IntegerPower(10, 0), 1);
  EXPECT_EQ(IntegerPower(10, -2), 1);
  EXPECT_EQ(IntegerPower(10, 1), 10);
  EXPECT_EQ(IntegerPower(10, 5), 100000);
  EXPECT_EQ(IntegerPower(10, 9), 1000000000);
  EXPECT_EQ(IntegerPower(2, 10), 1024);
  EXPECT_EQ(IntegerPower(-3, 3), -27);
}

}  // namespace
}  // namespace quorvane
