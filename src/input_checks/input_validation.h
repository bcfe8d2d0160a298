// Checks on what the user types into the worksheet's numeric input fields:
// the keystroke filter and length limit used while typing, and the parse and
// range checks applied to each field before an analysis.
//
// Every check gives back a value: what it accepted, or a Refusal whose text
// is the worksheet's warning (beginning "INPUT ERROR", or the length message)
// and which beeps first for the keystroke filter and the length limit. The
// checks show nothing themselves.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "text/refusal.h"

namespace quorvane {

// Longest text an input field keeps.
inline constexpr std::size_t kMaxFieldLength = 6;

// The keystroke filter of every input field. A comma becomes a point;
// Backspace (8), Tab (9), Enter (13), '-', '.' and the digits pass unchanged.
// Anything else is refused (a beep and "INPUT ERROR\r\rEnter numeric data
// only."): the keystroke is dropped.
Checked<char> FilterNumericKey(char typed);

// The keystroke filter applied to a text pasted into an input field, as one
// unit: blanks and line ends around it are dropped (a copied table cell ends
// in one), then every character must pass as it would when typed, a comma
// becoming a point. The first character that would not pass (a control
// character or a blank inside the text included) refuses the whole text with
// one beep and "INPUT ERROR\r\rEnter numeric data only.". An empty or blank
// text gives an empty text.
Checked<std::string> FilterNumericPaste(const std::string& pasted);

// True when the text is longer than kMaxFieldLength characters (what a field's
// key-release handler checks before calling LimitInputLength).
bool ExceedsInputLength(const std::string& text);

// The first 6 characters of the text; for a text that was longer, with the
// refusal "Maximum length of input is 6 characters." (a beep first).
struct LimitedInput {
  std::string text;
  std::optional<Refusal> refusal;
};
LimitedInput LimitInputLength(const std::string& text);

// The value of a field's text. Blanks are skipped wherever they stand; a minus
// sign is allowed only as the first character; one decimal point at most;
// any other character is refused. An empty text has its own refusal naming
// the label; a refused character's names the label and the text. A text of
// only "." or "-" gives 0.
Checked<double> ParseFieldValue(const std::string& text, const std::string& label);

// Range checks: nothing when value has no fractional part and its integer part
// t satisfies the condition; otherwise the warning
// "INPUT ERROR\r(  <label>  <value as %3.3f>  )\r<sentence>".
//   CheckSampleSizeAbove4: t > 4      CheckSampleSizeAbove2: t > 2
//   CheckCovariateCount:   0 < t < 6
// NaN and infinities never pass.
std::optional<Refusal> CheckSampleSizeAbove4(const std::string& label, double value);
std::optional<Refusal> CheckSampleSizeAbove2(const std::string& label, double value);
std::optional<Refusal> CheckCovariateCount(const std::string& label, double value);

// 1 multiplied by base, exponent times (1 for an exponent of 0 or less).
// Domain: the result must fit in an int (base 10: exponent at most 9).
int IntegerPower(int base, int exponent);

}  // namespace quorvane
