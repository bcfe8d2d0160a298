// The two halves of the regularised incomplete gamma function P(a, x), as
// inline steps: the series for P below x = a + 1 and the continued fraction
// for Q = 1 - P above it. Reg_Inc_Gamma_P calls them, and so does the shared
// draws' normal distribution function (which wants them in registers, inside
// its loop over the cases); one definition keeps the two bit for bit alike.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "distrib/inline_log_exp.h"

namespace quorvane::detail {

// The relative change at which both stop.
inline constexpr long double kIncGammaTolerance = 5e-12L;

// The continued fraction for Q(a, x) has no natural iteration limit. Over the
// whole domain (0 < a <= 2147483647, a + 1 <= x <= 2147483647) it converges in
// far fewer steps: the count grows like sqrt(a) near x = a + 1, reaching about
// 9,700 at a = 2147483647, and is at most 34 for the normal distribution
// function (a = 1/2). The cap, a hundred times that worst case, only guards
// against arguments that could never converge; reaching it gives NaN rather
// than a false value.
inline constexpr std::int64_t kIncGammaMaxFractionIterations = 1'000'000;

// The series for P(a, x), for x > 0 (the caller answers x near 0): its sum
// of at most 100 added terms; reaching the limit is not reported.
[[gnu::always_inline]] inline long double IncGammaSeriesSum(long double x, long double a) {
  long double ap = a;
  long double sum = 1 / a;
  long double term = sum;
  int count = 1;
  do {
    ap = ap + 1;
    term = term * x / ap;
    sum = sum + term;
    count = count + 1;
  } while (!(fabsl(term) < fabsl(sum) * kIncGammaTolerance || count > 100));
  return sum;
}

// x^a e^-x / Gamma(a), the factor both halves scale by.
[[gnu::always_inline]] inline long double IncGammaScale(long double x, long double a,
                                                        long double log_gamma_a) {
  return InlineExpl(a * InlineLogl(x) - x - log_gamma_a);
}

// P(a, x) by its series, for x > 0.
[[gnu::always_inline]] inline long double IncGammaSeriesP(long double x, long double a,
                                                          long double log_gamma_a) {
  return IncGammaSeriesSum(x, a) * IncGammaScale(x, a, log_gamma_a);
}

// The continued fraction for Q(a, x) in its recurrence form, rescaled at every
// step by 1 / a1 so that the partial numerators and denominators stay finite:
// the state after each step.
struct IncGammaFraction {
  long double a0 = 1, a1, b0 = 0, b1 = 1, fac = 1;
  explicit IncGammaFraction(long double x) : a1(x) {}
  // Step n; false when a1 came out 0 (fac is then kept).
  [[gnu::always_inline]] bool Step(long double x, long double a, std::int64_t n) {
    const long double nn = static_cast<long double>(n);
    const long double t = nn - a;
    a0 = (a1 + a0 * t) * fac;
    b0 = (b1 + b0 * t) * fac;
    const long double u = nn * fac;
    a1 = x * a0 + u * a1;
    b1 = x * b0 + u * b1;
    if (a1 == 0) return false;
    fac = 1 / a1;
    return true;
  }
  long double Value() const { return b1 * fac; }
};

// The stopping rule: the relative change of the value below the tolerance.
[[gnu::always_inline]] inline bool IncGammaFractionConverged(long double g, long double g_old) {
  return fabsl((g - g_old) / g) < kIncGammaTolerance;
}

// The fraction's value from step n on (g the value after step n - 1, g_old
// the one before it); NaN once the cap is reached.
[[gnu::always_inline]] inline long double IncGammaFractionFrom(IncGammaFraction& f, long double x,
                                                               long double a, std::int64_t n,
                                                               long double g, long double g_old) {
  do {
    if (n > kIncGammaMaxFractionIterations) return std::numeric_limits<long double>::quiet_NaN();
    if (f.Step(x, a, n)) {
      g_old = g;
      g = f.Value();
    }
    n = n + 1;
  } while (!IncGammaFractionConverged(g, g_old));
  return g;
}

// The fraction's value (Q(a, x) before its scale factor), or NaN.
[[gnu::always_inline]] inline long double IncGammaFractionValue(long double x, long double a) {
  IncGammaFraction f(x);
  return IncGammaFractionFrom(f, x, a, 1, 0, 1);
}

// Q(a, x) = the fraction's value x^a e^-x / Gamma(a); NaN once the cap is reached.
[[gnu::always_inline]] inline long double IncGammaFractionScaled(long double g, long double x,
                                                                 long double a,
                                                                 long double log_gamma_a) {
  if (std::isnan(g)) return g;
  return g * IncGammaScale(x, a, log_gamma_a);
}

// Q(a, x) by the continued fraction; NaN once the cap is reached.
[[gnu::always_inline]] inline long double IncGammaFractionQ(long double x, long double a,
                                                            long double log_gamma_a) {
  return IncGammaFractionScaled(IncGammaFractionValue(x, a), x, a, log_gamma_a);
}

}  // namespace quorvane::detail
