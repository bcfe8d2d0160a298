// The standard normal distribution function as the shared draws evaluate it
// for every case on every draw: tNormal_distribution(0, 1)'s
// Distribution_function with its operations written out in one place (the
// incomplete gamma function of z^2 / 2 with shape 1/2, its series below
// 1.5 and its continued fraction above), so that the compiler keeps the
// values in registers instead of passing them through three calls. The
// operations and their order are the library's, one for one; the bits are
// the same for every argument (tests/Bayes_Engines/normal_phi_test.cpp checks
// them against the library over every branch and its edges).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "distrib/inline_log_exp.h"

namespace quorvane::detail {

// The library's constants: the support's ends, the series' and the
// fraction's relative tolerance, the fraction's iteration cap.
inline constexpr long double kPhiBound = 2147483647.0L;
inline constexpr long double kPhiTolerance = 5e-12L;
inline constexpr std::int64_t kPhiMaxFractionIterations = 1'000'000;

// Phi(z); logGammaHalf is Log_Gamma(0.5L), as the library computes it.
[[gnu::always_inline]] inline long double StandardNormalPhi(long double z,
                                                            long double logGammaHalf) {
  constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
  // Outside the support (and NaN): the base class's rule. With mean 0 and SD
  // 1, (z - mean) / SD is z itself.
  if (!(-kPhiBound <= z && z <= kPhiBound)) {
    if (std::isnan(z)) return kNaN;
    if (z < -kPhiBound) return 0;
    return 1;
  }
  const long double x = z * z / 2;
  const long double a = 0.5L;
  long double p;  // the regularised lower incomplete gamma function P(1/2, x)
  if (x > kPhiBound) {
    p = 1;
  } else if (std::isnan(x)) {
    p = kNaN;
  } else if (x < a + 1) {
    if (fabsl(x - 0) < kPhiTolerance) {
      p = 0;
    } else {
      long double ap = a;
      long double sum = 1 / a;
      long double term = sum;
      int count = 1;
      do {
        ap = ap + 1;
        term = term * x / ap;
        sum = sum + term;
        count = count + 1;
      } while (!(fabsl(term) < fabsl(sum) * kPhiTolerance || count > 100));
      p = sum * InlineExpl(a * InlineLogl(x) - x - logGammaHalf);
    }
  } else {
    long double g = 0;
    long double g_old = 1;
    long double a0 = 1;
    long double a1 = x;
    long double b0 = 0;
    long double b1 = 1;
    long double fac = 1;
    std::int64_t n = 1;
    bool capped = false;
    do {
      if (n > kPhiMaxFractionIterations) {
        capped = true;
        break;
      }
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
    } while (!(fabsl((g - g_old) / g) < kPhiTolerance));
    const long double q = capped ? kNaN : g * InlineExpl(a * InlineLogl(x) - x - logGammaHalf);
    p = 1 - q;
  }
  if (z >= 0) return 0.5L + 0.5L * p;
  return 0.5L - 0.5L * p;
}

}  // namespace quorvane::detail
