#include "file_io/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "text/format_text.h"

#if !defined(_WIN32)
#include <locale.h>
#endif

namespace quorvane {

namespace {

constexpr std::size_t kMaxLength = 64;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsPlainDecimal(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == s.size();
}

// strtold as in the "C" locale, whatever locale the program runs in.
long double StrToLongDoubleC(const char* text, char** end) {
#if defined(__MINGW32__)
  // MinGW's own strtold: the Microsoft C library has none for 80-bit reals.
  // The programs built there never leave the "C" locale.
  return std::strtold(text, end);
#elif defined(_WIN32)
  static const _locale_t c = _create_locale(LC_NUMERIC, "C");
  return _strtold_l(text, end, c);
#else
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  const locale_t old = uselocale(c);
  const long double v = std::strtold(text, end);
  uselocale(old);
  return v;
#endif
}

}  // namespace

std::optional<long double> ParsePlainDecimal(std::string_view text) {
  if (text.size() > kMaxLength || !IsPlainDecimal(text)) return std::nullopt;
  const std::string s(text);
  char* end = nullptr;
  const long double v = StrToLongDoubleC(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool KeepsItsDigits(std::string_view text, long double value) {
  // The significand's digits without the sign, point, leading and trailing zeros.
  std::string digits;
  for (const char c : text) {
    if (c == 'e' || c == 'E') break;
    if (IsDigit(c) && !(digits.empty() && c == '0')) digits += c;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return true;  // zero
  if (value == 0) return false;     // too small to be told from zero
  // Up to 18 significant digits always come back from a normal 80-bit real;
  // a subnormal one carries fewer.
  if (digits.size() <= 18 && std::isnormal(value)) return true;
  const std::string printed =
      FormatText("%.*Le", static_cast<int>(digits.size()) - 1, std::fabs(value));
  std::string back;
  for (const char c : printed) {
    if (c == 'e') break;
    if (IsDigit(c)) back += c;
  }
  return back == digits;
}

}  // namespace quorvane
