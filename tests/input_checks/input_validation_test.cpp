#include "input_checks/input_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/scripted_host.h"

namespace quorvane {
namespace {

using testing::ScriptedHost;

// The flag each parse sets or clears.
bool InvalidEntryFlag = false;

const std::string kLabelN = "Number of control participants (N) :";
const std::string kLabelK = "Number of covariates :";
const std::string kNumericOnlyBox = "INPUT ERROR\r\rEnter numeric data only.";

// ---------------------------------------------------------------- keystrokes

TEST(FilterNumericKey, PassesNumberCharactersAndEditingKeysSilently) {
  struct Case {
    char typed;
    char inserted;
  };
  const std::vector<Case> cases = {{',', '.'}, {'.', '.'}, {'-', '-'}, {'0', '0'}, {'5', '5'},
                                   {'9', '9'}, {8, 8},     {9, 9},     {13, 13}};
  for (const Case& c : cases) {
    ScriptedHost host;
    const std::optional<char> result = FilterNumericKey(c.typed, host);
    ASSERT_TRUE(result.has_value()) << "typed code " << int(c.typed);
    EXPECT_EQ(*result, c.inserted) << "typed code " << int(c.typed);
    EXPECT_EQ(host.beeps, 0);
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST(FilterNumericKey, RefusesEverythingElseWithBeepAndWarning) {
  const std::string refused = std::string("aZ +eE/:;") + '\n' + '\x1b' + '\x7f' + '\0' + '\xe9';
  for (const char typed : refused) {
    ScriptedHost host;
    EXPECT_FALSE(FilterNumericKey(typed, host).has_value()) << "typed code " << int(typed);
    EXPECT_EQ(host.beeps, 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
    EXPECT_EQ(host.messages[0].second, kNumericOnlyBox);
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
    ScriptedHost host;
    const std::optional<std::string> result = FilterNumericPaste(c.pasted, host);
    EXPECT_EQ(result, c.inserted) << "pasted \"" << c.pasted << '"';
    const bool refused = !c.inserted.has_value();
    EXPECT_EQ(host.beeps, refused ? 1 : 0) << c.pasted;
    ASSERT_EQ(host.messages.size(), refused ? 1u : 0u) << c.pasted;
    if (refused) {
      EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
      EXPECT_EQ(host.messages[0].second, kNumericOnlyBox);
    }
  }
}

TEST(LimitInputLength, CutsToSixCharactersWithBeepAndMessage) {
  ScriptedHost host;
  EXPECT_FALSE(ExceedsInputLength("123456"));
  EXPECT_TRUE(ExceedsInputLength("1234567"));
  EXPECT_EQ(LimitInputLength("1234567", host), "123456");
  EXPECT_EQ(host.beeps, 1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
  EXPECT_EQ(host.messages[0].second, "Maximum length of input is 6 characters.");
}

TEST(LimitInputLength, EmptyTextIsReturnedSilently) {
  ScriptedHost host;
  EXPECT_EQ(LimitInputLength("", host), "");
  EXPECT_EQ(host.beeps, 0);
  EXPECT_TRUE(host.messages.empty());
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
    ScriptedHost host;
    InvalidEntryFlag = true;
    const double v = ParseFieldValue(c.text, kLabelN, host, InvalidEntryFlag);
    EXPECT_FALSE(InvalidEntryFlag) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(v, c.value) << '"' << c.text << '"';
    EXPECT_TRUE(host.messages.empty()) << '"' << c.text << '"';
  }
}

TEST(ParseFieldValue, RefusedTextsRaiseFlagAndNameLabelAndText) {
  const std::vector<std::string> refused = {"1.2.3", "1-2", "12a", "a", "1,5", "+3", "1e3", "3\t"};
  for (const std::string& text : refused) {
    ScriptedHost host;
    InvalidEntryFlag = false;
    ParseFieldValue(text, kLabelK, host, InvalidEntryFlag);
    EXPECT_TRUE(InvalidEntryFlag) << '"' << text << '"';
    ASSERT_EQ(host.messages.size(), 1u) << '"' << text << '"';
    EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
    // One carriage return before the parenthesis, two blanks before its end.
    EXPECT_EQ(host.messages[0].second,
              "INPUT ERROR\r(  " + kLabelK + "  " + text + "  )\r\rEnter numeric data only.");
  }
}

TEST(ParseFieldValue, EmptyTextHasItsOwnMessage) {
  ScriptedHost host;
  InvalidEntryFlag = false;
  ParseFieldValue("", kLabelN, host, InvalidEntryFlag);
  EXPECT_TRUE(InvalidEntryFlag);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
  // Two carriage returns before the parenthesis, none of the text's blanks before its end.
  EXPECT_EQ(host.messages[0].second,
            "INPUT ERROR\r\r(  Number of control participants (N) :  )\r\r"
            "Data have not been entered in this field.");
}

TEST(ParseFieldValue, NextGoodParseClearsTheFlag) {
  ScriptedHost host;
  ParseFieldValue("x", kLabelN, host, InvalidEntryFlag);
  ASSERT_TRUE(InvalidEntryFlag);
  EXPECT_EQ(ParseFieldValue("10", kLabelN, host, InvalidEntryFlag), 10.0);
  EXPECT_FALSE(InvalidEntryFlag);
}

TEST(ParseFieldValue, LongFractionBeyondNinePlacesStaysFinite) {
  // Texts longer than a field holds (e.g. from the command line) must not
  // overflow the power of ten.
  ScriptedHost host;
  const double v = ParseFieldValue("0.000000000001", kLabelN, host, InvalidEntryFlag);
  EXPECT_FALSE(InvalidEntryFlag);
  EXPECT_NEAR(v, 1e-12, 1e-24);
}

// ---------------------------------------------------------------- range checks

enum class Check { Above4, Above2, Covariates };

bool RunCheck(Check check, const std::string& label, double v, ScriptedHost& host) {
  switch (check) {
    case Check::Above4:
      return CheckSampleSizeAbove4(label, v, host);
    case Check::Above2:
      return CheckSampleSizeAbove2(label, v, host);
    case Check::Covariates:
      return CheckCovariateCount(label, v, host);
  }
  return false;
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
    ScriptedHost host;
    const bool passed = RunCheck(c.check, kLabelN, c.value, host);
    EXPECT_EQ(passed, c.shown == nullptr) << c.value;
    if (c.shown == nullptr) {
      EXPECT_TRUE(host.messages.empty());
      continue;
    }
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, MessageKind::Warning);
    EXPECT_EQ(host.messages[0].second,
              "INPUT ERROR\r(  " + kLabelN + "  " + c.shown + "  )\r" + *c.sentence);
  }
}

TEST(RangeChecks, NonFiniteValuesNeverPass) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()};
  for (const double v : values) {
    ScriptedHost host;
    EXPECT_FALSE(CheckSampleSizeAbove4(kLabelN, v, host));
    EXPECT_FALSE(CheckSampleSizeAbove2(kLabelN, v, host));
    EXPECT_FALSE(CheckCovariateCount(kLabelK, v, host));
    EXPECT_EQ(host.messages.size(), 3u);
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
