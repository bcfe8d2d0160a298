// The standard normal distribution function as the shared draws evaluate it
// for every case on every draw: tNormal_distribution(0, 1)'s
// Distribution_function with its steps inline (the incomplete gamma function
// of z^2 / 2 with shape 1/2: its series below 1.5 and its continued fraction
// above, the library's own inline steps, distrib/incomplete_gamma_steps.h),
// so that the compiler keeps the values in registers instead of passing them
// through three calls. The operations and their order are the library's; the bits are
// the same for every argument (tests/Bayes_Engines/normal_phi_test.cpp checks
// them against the library over every branch and its edges).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "distrib/incomplete_gamma_steps.h"

namespace quorvane::detail {

// The library's constants: the support's ends, the series' relative
// tolerance.
inline constexpr long double kPhiBound = 2147483647.0L;
inline constexpr long double kPhiTolerance = kIncGammaTolerance;

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
    p = fabsl(x - 0) < kPhiTolerance ? 0 : IncGammaSeriesP(x, a, logGammaHalf);
  } else {
    p = 1 - IncGammaFractionQ(x, a, logGammaHalf);
  }
  if (z >= 0) return 0.5L + 0.5L * p;
  return 0.5L - 0.5L * p;
}

}  // namespace quorvane::detail
