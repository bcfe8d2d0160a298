// Numbers in the program's plain text files (the raw data file and the saved
// inputs): the accepted syntax and its conversion, independent of the
// process's locale.
#pragma once

#include <istream>
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

// One number read as from a text file: characters with codes below 33 (line
// ends included) are skipped, the number is the characters up to the next
// such character or the end. At the end of the stream the number is 0.
// std::nullopt when the text is not a number (ParsePlainDecimal).
std::optional<long double> ReadSavedNumber(std::istream& in);

}  // namespace quorvane
