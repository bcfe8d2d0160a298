// Numbers in the program's plain text files (raw data, summary statistics,
// cases, saved inputs): the accepted syntax and its conversion, independent of
// the process's locale.
#pragma once

#include <optional>
#include <string_view>

namespace quorvane {

// The value of a plain decimal number: optional sign, digits with an optional
// point and fraction (at least one digit in all), optional exponent (e or E,
// optional sign, at least one digit); at most 64 characters; converted in
// extended precision as in the "C" locale. std::nullopt for anything else
// (commas, hexadecimal, "nan", "inf", blanks, an empty text) and for a value
// too large to be finite. A value too small to be told from 0 reads as 0 (or
// the nearest subnormal).
std::optional<long double> ParsePlainDecimal(std::string_view text);

// Whether value (text read by ParsePlainDecimal) keeps every significant
// digit the text gave: false when the text holds more digits than an 80-bit
// real can carry at that magnitude (about 19), so that the value read differs
// from the one written within those digits ("10000000000000000021.5" reads as
// 10000000000000000022). Leading and trailing zeros of the digits carry no
// precision and are not counted.
bool KeepsItsDigits(std::string_view text, long double value);

}  // namespace quorvane
