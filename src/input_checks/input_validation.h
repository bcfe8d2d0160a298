// Checks on what the user types into the worksheet's numeric input fields:
// the keystroke filter and length limit used while typing, and the parse and
// range checks that the Compute command applies to each visible field.
//
// Every refusal is told to the user at once through the host: a warning box
// whose text begins "INPUT ERROR" (or, for the length limit, the length
// message), preceded by a beep for the keystroke filter and the length limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "text/messages.h"

namespace quorvane {

// Longest text an input field keeps.
inline constexpr std::size_t kMaxFieldLength = 6;

// The keystroke filter of every input field. A comma becomes a point;
// Backspace (8), Tab (9), Enter (13), '-', '.' and the digits pass unchanged.
// Anything else beeps, shows "INPUT ERROR\r\rEnter numeric data only." and
// yields std::nullopt (the keystroke is dropped).
std::optional<char> FilterNumericKey(char typed, MessageSink& host);

// The keystroke filter applied to a text pasted into an input field, as one
// unit: blanks and line ends around it are dropped (a copied table cell ends
// in one), then every character must pass as it would when typed, a comma
// becoming a point. The first character that would not pass (a control
// character or a blank inside the text included) refuses the whole text with
// one beep and "INPUT ERROR\r\rEnter numeric data only.", and std::nullopt
// is returned. An empty or blank text gives an empty text, silently.
std::optional<std::string> FilterNumericPaste(const std::string& pasted, MessageSink& host);

// True when the text is longer than kMaxFieldLength characters (what a field's
// key-release handler checks before calling LimitInputLength).
bool ExceedsInputLength(const std::string& text);

// For a non-empty text: beeps, shows "Maximum length of input is 6
// characters." and returns the first 6 characters. An empty text is returned
// as it is, silently.
std::string LimitInputLength(const std::string& text, MessageSink& host);

// The value of a field's text. Blanks are skipped wherever they stand; a minus
// sign is allowed only as the first character; one decimal point at most;
// any other character is refused. An empty text or a refused character sets
// InvalidEntryFlag and shows a warning naming the label and the text; the
// value returned then must not be used. InvalidEntryFlag is cleared for every
// other text. A text of only "." or "-" gives 0 without complaint.
double ParseFieldValue(const std::string& text, const std::string& label, MessageSink& host,
                       bool& InvalidEntryFlag);

// Range checks: true when value has no fractional part and its integer part t
// satisfies the condition; otherwise a warning
// "INPUT ERROR\r(  <label>  <value as %3.3f>  )\r<sentence>" and false.
//   CheckSampleSizeAbove4: t > 4      CheckSampleSizeAbove2: t > 2
//   CheckCovariateCount:   0 < t < 6
// NaN and infinities never pass.
bool CheckSampleSizeAbove4(const std::string& label, double value, MessageSink& host);
bool CheckSampleSizeAbove2(const std::string& label, double value, MessageSink& host);
bool CheckCovariateCount(const std::string& label, double value, MessageSink& host);

// 1 multiplied by base, exponent times (1 for an exponent of 0 or less).
// Domain: the result must fit in an int (base 10: exponent at most 9).
int IntegerPower(int base, int exponent);

}  // namespace quorvane
