#include "input_checks/input_validation.h"

#include <cmath>

#include "text/format_text.h"

namespace quorvane {

namespace {

const std::string kNumericOnly = "Enter numeric data only.";

Refusal Warning(Reason reason, std::string message, bool beep = false) {
  return Refusal{reason, std::move(message), MessageKind::Warning, beep, 0};
}

// The range checks' shared form: passes when value is a whole number whose
// integer part satisfies the condition.
template <typename Condition>
std::optional<Refusal> CheckWholeNumber(const std::string& label, double value,
                                        const std::string& sentence, Reason reason,
                                        Condition condition) {
  if (std::isfinite(value)) {
    const double t = std::trunc(value);
    if (value - t == 0.0 && condition(t)) return std::nullopt;
  }
  return Warning(
      reason, "INPUT ERROR\r(  " + label + "  " + FormatText("%3.3f", value) + "  )\r" + sentence);
}

// What a number may hold, as the keystroke filter lets it through.
bool NumberCharacter(char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9');
}

Refusal NotNumeric(Reason reason) {
  return Warning(reason, "INPUT ERROR\r\r" + kNumericOnly, true);
}

}  // namespace

Checked<char> FilterNumericKey(char typed) {
  const char c = typed == ',' ? '.' : typed;
  if (c == 8 || c == 9 || c == 13 || NumberCharacter(c)) return c;
  return NotNumeric(Reason::KeyNotNumeric);
}

Checked<std::string> FilterNumericPaste(const std::string& pasted) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t begin = 0;
  std::size_t end = pasted.size();
  while (begin < end && blank(pasted[begin])) ++begin;
  while (end > begin && blank(pasted[end - 1])) --end;
  std::string text = pasted.substr(begin, end - begin);
  for (char& c : text) {
    if (c == ',') c = '.';
    if (!NumberCharacter(c)) return NotNumeric(Reason::PasteNotNumeric);
  }
  return text;
}

bool ExceedsInputLength(const std::string& text) {
  return text.size() > kMaxFieldLength;
}

LimitedInput LimitInputLength(const std::string& text) {
  if (!ExceedsInputLength(text)) return {text, std::nullopt};
  return {text.substr(0, kMaxFieldLength),
          Warning(Reason::FieldTooLong, "Maximum length of input is 6 characters.", true)};
}

Checked<double> ParseFieldValue(const std::string& text, const std::string& label) {
  if (text.empty()) {
    return Warning(Reason::FieldEmpty, "INPUT ERROR\r\r(  " + label + "  " + text + ")" + "\r\r" +
                                           "Data have not been entered in this field.");
  }
  double value = 0.0;
  bool negative = false;
  bool inFraction = false;
  int place = 1;
  bool refused = false;
  for (std::size_t i = 0; i < text.size() && !refused; ++i) {
    const char c = text[i];
    if (c == ' ') continue;
    if (c == '-') {
      if (i == 0) {
        negative = true;
      } else {
        refused = true;
      }
    } else if (c == '.') {
      if (inFraction) {
        refused = true;  // a second point
      } else {
        inFraction = true;
        place = 1;
      }
    } else if (c >= '0' && c <= '9') {
      const int d = c - '0';
      if (!inFraction) {
        value = value * 10 + d;
      } else {
        // Field texts hold at most 6 characters; past the ninth decimal place
        // the power of ten would not fit in an int.
        const double divisor =
            place <= 9 ? static_cast<double>(IntegerPower(10, place)) : std::pow(10.0, place);
        value = value + d / divisor;
        ++place;
      }
    } else {
      refused = true;
    }
  }
  if (refused) {
    return Warning(Reason::FieldNotNumeric,
                   "INPUT ERROR\r(  " + label + "  " + text + "  )" + "\r\r" + kNumericOnly);
  }
  return negative ? -value : value;
}

std::optional<Refusal> CheckSampleSizeAbove4(const std::string& label, double value) {
  return CheckWholeNumber(label, value,
                          "The value for sample size must be an integer greater than 4.",
                          Reason::SampleSizeOutOfRange, [](double t) { return t > 4; });
}

std::optional<Refusal> CheckSampleSizeAbove2(const std::string& label, double value) {
  return CheckWholeNumber(label, value,
                          "The value for sample size must be an integer greater than 2.",
                          Reason::SampleSizeOutOfRange, [](double t) { return t > 2; });
}

std::optional<Refusal> CheckCovariateCount(const std::string& label, double value) {
  return CheckWholeNumber(label, value, "The value must be a positive integer and be less than 6.",
                          Reason::CovariateCountOutOfRange,
                          [](double t) { return t > 0 && t < 6; });
}

int IntegerPower(int base, int exponent) {
  int result = 1;
  for (int i = 0; i < exponent; ++i) result *= base;
  return result;
}

}  // namespace quorvane
