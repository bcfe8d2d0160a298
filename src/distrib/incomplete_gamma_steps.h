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

// P(a, x) by its series, for x > 0 (the caller answers x near 0): at most 100
// added terms; reaching the limit is not reported.
[[gnu::always_inline]] inline long double IncGammaSeriesP(long double x, long double a,
                                                          long double log_gamma_a) {
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
  return sum * InlineExpl(a * InlineLogl(x) - x - log_gamma_a);
}

// Q(a, x) by the continued fraction in its recurrence form, rescaled at every
// step by 1 / a1 so that the partial numerators and denominators stay finite;
// NaN once the cap is reached.
[[gnu::always_inline]] inline long double IncGammaFractionQ(long double x, long double a,
                                                            long double log_gamma_a) {
  long double g = 0;
  long double g_old = 1;
  long double a0 = 1;
  long double a1 = x;
  long double b0 = 0;
  long double b1 = 1;
  long double fac = 1;
  std::int64_t n = 1;
  do {
    if (n > kIncGammaMaxFractionIterations) return std::numeric_limits<long double>::quiet_NaN();
    const long double nn = static_cast<long double>(n);
    const long double t = nn - a;
    a0 = (a1 + a0 * t) * fac;
    b0 = (b1 + b0 * t) * fac;
    const long double u = nn * fac;
    a1 = x * a0 + u * a1;
    b1 = x * b0 + u * b1;
    if (a1 != 0) {
      g_old = g;
      fac = 1 / a1;
      g = b1 * fac;
    }
    n = n + 1;
  } while (!(fabsl((g - g_old) / g) < kIncGammaTolerance));
  return g * InlineExpl(a * InlineLogl(x) - x - log_gamma_a);
}

}  // namespace quorvane::detail
