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

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

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

// The continued fraction's value as IncGammaFractionValue(x, 1/2) gives it,
// bit for bit, with its stopping rule looked at afterwards. In the plain loop
// every step waits for the rule's division and comparison, which depend on
// that step's own division; here the first `steps` steps run back to back and
// keep their values, the rule is then applied to those values in order (the
// first step that meets it gives the result, as in the loop). Where none
// does, or a step's a1 comes out 0 (which the loop would skip), x goes
// through the plain loop instead. `steps` (at most kPhiMaxUntestedSteps) only
// decides how much work is done, never the result.
inline constexpr int kPhiMaxUntestedSteps = 48;

// Steps 1 .. steps of the fraction at x, unchecked: g[n] the value after step
// n. Bit n of the result is set where the stopping rule may hold at step n; it
// fails for certain elsewhere, as a look at the values in double shows: where
// the change exceeds three times the tolerance's share in double, whose
// rounding moves it by less than 2^-52 of the values (far below the
// tolerance's 5e-12), the exact change is above twice the tolerance's share,
// and the rule's quotient, rounded, above the tolerance. (That look runs in
// the SSE unit beside the x87 steps; values that are not normal doubles are
// always unsure.) Bit 0 set: a step's a1 came out 0. Out of line, so that the
// loop has the x87 registers to itself (inline, the compiler keeps one of
// its values in memory).
[[gnu::noinline]] inline std::uint64_t NormalFractionSteps(long double x, int steps,
                                                           long double* g) {
  IncGammaFraction f(x);
  constexpr double kShare = 3 * static_cast<double>(kIncGammaTolerance);
  std::uint64_t unsure = 0;
  double previous = 0;  // the value before the first step
  for (int n = 1; n <= steps; ++n) {
    if (!f.Step(x, 0.5L, n)) [[unlikely]]
      return 1;
    const long double value = f.Value();
    g[n] = value;
    const double rounded = static_cast<double>(value);
    const double size = std::fabs(rounded);
    const bool sure = (size >= 0x1p-900) & (size <= 0x1p900) &  // no branches
                      (std::fabs(rounded - previous) > kShare * size);
    unsure |= static_cast<std::uint64_t>(!sure) << n;
    previous = rounded;
  }
  return unsure;
}

inline long double NormalFractionValue(long double x, int steps) {
  long double g[kPhiMaxUntestedSteps + 1];
  g[0] = 0;  // the value before the first step
  std::uint64_t unsure = NormalFractionSteps(x, steps, g);
  if ((unsure & 1) == 0) {
    // The rule where it may hold, in order of the steps, as the loop evaluates it.
    for (; unsure != 0; unsure &= unsure - 1) {
      const int i = std::countr_zero(unsure);
      if (IncGammaFractionConverged(g[i], g[i - 1])) return g[i];
    }
  }
  return IncGammaFractionValue(x, 0.5L);
}

// Phi of many arguments, each with StandardNormalPhi's bits. The arguments
// are taken in order of x = z^2 / 2 (a counting sort on 16 x, which keeps
// the series' and the fraction's step counts alike from one argument to the
// next, so that the processor predicts where each loop ends), and the
// fraction runs unchecked as many steps as the largest count in x's
// sixteenth needs (NormalFractionValue).
class StandardNormalPhiBatch {
 public:
  // steps: 0 to take the counts from the fraction itself (what the program
  // does); otherwise that many for every x (tests).
  explicit StandardNormalPhiBatch(long double logGammaHalf, int steps = 0)
      : logGammaHalf_(logGammaHalf) {
    for (std::size_t key = 0; key < kKeys; ++key) {
      const long double lo = std::max(static_cast<long double>(key) / kKeysPerUnit, 1.5L);
      const long double hi =
          key + 1 < kKeys ? static_cast<long double>(key + 1) / kKeysPerUnit : kPhiBound;
      steps_[key] = steps > 0    ? std::min(steps, kPhiMaxUntestedSteps)
                    : hi <= 1.5L ? 1
                                 : std::clamp(std::max(FractionSteps(lo), FractionSteps(hi)), 1,
                                              kPhiMaxUntestedSteps);
    }
  }

  // Starts a set of at most `capacity` arguments.
  void Begin(std::size_t capacity) {
    x_.resize(capacity);
    key_.resize(capacity);
    order_.resize(capacity);
    count_ = 0;
    start_.fill(0);
  }
  // Adds the next argument, z, whose Phi goes to *phi: at once for the ends of
  // the support, a zero and NaN (StandardNormalPhi itself), else in End().
  [[gnu::always_inline]] void Add(long double z, long double* phi) {
    const std::size_t i = count_++;
    std::uint16_t key = kSpecial;
    if (-kPhiBound <= z && z <= kPhiBound) {
      const long double x = z * z / 2;
      x_[i] = x;
      if (!(x > kPhiBound) && !std::isnan(x) && !(x < 1.5L && fabsl(x - 0) < kPhiTolerance)) {
        // The sixteenth, in double (a long double's conversion to an integer
        // would switch the x87 unit's rounding); an x at an edge may land on
        // either side, which only moves work.
        const double scaled = static_cast<double>(x) * kKeysPerUnit;
        key = scaled < kKeys - 1 ? static_cast<std::uint16_t>(scaled) : kKeys - 1;
        key = static_cast<std::uint16_t>(key | (z >= 0 ? 0 : kNegative));
        ++start_[(key & kKeyMask) + 1];
      }
    }
    key_[i] = key;
    if (key == kSpecial) *phi = StandardNormalPhi(z, logGammaHalf_);
  }
  // Phi of every argument added since Begin, into phi (in the order added).
  void End(std::span<long double> phi) {
    for (std::size_t key = 0; key < kKeys; ++key) start_[key + 1] += start_[key];
    const std::size_t regular = start_[kKeys];
    for (std::size_t i = 0; i < count_; ++i) {
      if (key_[i] != kSpecial) {
        order_[start_[key_[i] & kKeyMask]++] = static_cast<std::uint32_t>(i);
      }
    }
    for (std::size_t j = 0; j < regular; ++j) {
      const std::size_t i = order_[j];
      const long double x = x_[i];
      const long double a = 0.5L;
      long double p;
      if (x < a + 1) {
        p = IncGammaSeriesP(x, a, logGammaHalf_);
      } else {
        const long double g = NormalFractionValue(x, steps_[key_[i] & kKeyMask]);
        p = 1 - IncGammaFractionScaled(g, x, a, logGammaHalf_);
      }
      phi[i] = (key_[i] & kNegative) == 0 ? 0.5L + 0.5L * p : 0.5L - 0.5L * p;
    }
  }

  // phi[i] = StandardNormalPhi(z[i]); phi has z's size.
  void Evaluate(std::span<const long double> z, std::span<long double> phi) {
    Begin(z.size());
    for (std::size_t i = 0; i < z.size(); ++i) Add(z[i], &phi[i]);
    End(phi);
  }

 private:
  static constexpr int kKeysPerUnit = 16;
  static constexpr std::size_t kKeys = 256;  // the last takes every x from 255/16 on
  static constexpr std::uint16_t kKeyMask = 0xff;
  static constexpr std::uint16_t kNegative = 0x100;  // z < 0
  static constexpr std::uint16_t kSpecial = 0xffff;  // answered in Add

  // The steps the fraction takes at x.
  static int FractionSteps(long double x) {
    IncGammaFraction f(x);
    long double g = 0, g_old = 1;
    int n = 1;
    do {
      if (f.Step(x, 0.5L, n)) {
        g_old = g;
        g = f.Value();
      }
      ++n;
    } while (!IncGammaFractionConverged(g, g_old) && n <= kPhiMaxUntestedSteps);
    return n - 1;
  }

  long double logGammaHalf_;
  std::array<int, kKeys> steps_{};
  std::array<std::uint32_t, kKeys + 1> start_{};
  std::size_t count_ = 0;
  std::vector<long double> x_;
  std::vector<std::uint16_t> key_;
  std::vector<std::uint32_t> order_;
};

}  // namespace quorvane::detail
