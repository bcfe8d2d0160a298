// printf-style formatting into a std::string, for the report and the messages
// of the worksheet. Reals are passed as long double with the L length
// modifier ("%11.3Lf"), so nothing is rounded to double on the way.
#pragma once

#include <string>

namespace quorvane {

// MinGW's printf family (with __USE_MINGW_ANSI_STDIO) is the GNU one, which
// takes long double with L; the checks must know it is not Microsoft's.
#if defined(__MINGW32__)
#define QUORVANE_PRINTF_FORMAT gnu_printf
#else
#define QUORVANE_PRINTF_FORMAT printf
#endif

// The text snprintf would write for the format and arguments, of any length.
std::string FormatText(const char* format, ...)
    __attribute__((format(QUORVANE_PRINTF_FORMAT, 1, 2)));

// A long double as decimal text with 21 significant digits ("%.21Lg"):
// enough to read back the same 80-bit value.
std::string FullPrecision(long double value);

// 1000000 as "1,000,000".
std::string GroupDigits(long long value);

// A box's text as lines for a terminal: each carriage return (the boxes'
// line break) a line feed.
std::string WithLineFeeds(std::string text);

// s with its leading and trailing blanks (and other characters up to the
// blank, such as tabs and line ends) removed.
std::string TrimBlanks(const std::string& s);

}  // namespace quorvane
