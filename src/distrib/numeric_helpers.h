// Scalar numeric routines under the random variate generators: the tolerant
// comparison, message formatting of values, the argument checks that raise
// EArgumentError, integer and real powers, ln Gamma and the regularised lower
// incomplete gamma function. All reals are 80-bit extended.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvane {

// Raised for invalid arguments of the generator classes and the special
// functions. Carries the numeric message identifier; what() is the readable
// text registered for that identifier, followed directly by the offending
// value (formatted by Format_Number) where there is one.
class EArgumentError : public std::invalid_argument {
 public:
  EArgumentError(int identifier, const std::string& message)
      : std::invalid_argument(message), identifier_(identifier) {}
  int Identifier() const { return identifier_; }

 private:
  int identifier_;
};

// The text registered under a message identifier.
std::string ArgumentErrorText(int identifier);

// |a - b| < 5e-12 (an absolute tolerance, whatever the magnitudes).
bool Same_Value(long double a, long double b);

// x with at least one integer digit, at most twelve decimals, trailing zeros
// dropped, no thousands separator, '.' as the decimal separator ("0.5", "2", "-1.25").
std::string Format_Number(long double x);

// Raises EArgumentError(identifier) when condition holds; otherwise returns true.
bool Raise_If(bool condition, int identifier);

// Raises EArgumentError(identifier) with Format_Number(value) appended when the
// comparison the identifier selects fails: 1301/1305/1309 value <= bound;
// 1302/1306/1310 value < bound; 1303/1307/1311 value >= bound; 1315 value > bound.
// Every other identifier never fails. Returns true otherwise. For the comparing
// identifiers a NaN value is never admissible and fails the check.
bool Check_Compare(int identifier, long double value, long double bound);

// base^exponent by square-and-multiply over the bits of |exponent|; 1 for 0.
long double Int_Power(long double base, int exponent);

// base^exponent: 1 for exponent 0; 0 for base 0 and exponent > 0; Int_Power for
// whole exponents up to 2147483647 in magnitude; exp(e ln(base)) otherwise
// (NaN for a negative base with a fractional exponent).
long double Real_Power(long double base, long double exponent);

// ln Gamma(x) for x > 0: the six-term Lanczos series worked on x - 1, the series
// starting at exactly 1. Good to about 1e-10 absolute for x up to ~1000 (relative
// 1e-14 beyond); no domain check.
long double Log_Gamma(long double x);

// P(a, x), the regularised lower incomplete gamma function (x first, shape a
// second), by the series for x < a + 1 and by 1 - the continued fraction for
// Q(a, x) otherwise. Convergence tolerance 5e-12 (relative).
// @throws EArgumentError 1302 when x < 0, 1361 when x > 2147483647,
//         1301 when a <= 0, 1361 when a > 2147483647.
// NaN arguments give NaN.
long double Reg_Inc_Gamma_P(long double x, long double a);

}  // namespace quorvane
