// The shared draws' normal distribution function gives the library's bits
// for every argument: on a fine grid over the range draws reach, at random
// points of every magnitude, and at the edges of each branch (x = z^2 / 2 at
// the series' tolerance, at 1.5 where the continued fraction takes over, at
// the support's end and beyond it, zeros of both signs, infinities, NaN).
#include "Bayes_Engines/normal_phi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "distrib/distributions.h"
#include "distrib/numeric_helpers.h"

namespace quorvane {
namespace {

bool SameBits(long double a, long double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::memcmp(&a, &b, 10) == 0;
}

TEST(StandardNormalPhi, GivesTheLibrarysBitsForEveryArgument) {
  const tNormal_distribution normal(0, 1);
  const long double logGammaHalf = Log_Gamma(0.5L);
  std::vector<long double> z;
  // A grid over [-45, 45] in steps of 2^-10, each point also nudged off it.
  for (int i = -45 * 1024; i <= 45 * 1024; ++i) {
    const long double x = static_cast<long double>(i) / 1024;
    z.push_back(x);
    z.push_back(x + 0.000123456789L);
  }
  // Random points: normal around several centres, and log-uniform magnitudes.
  std::mt19937_64 random(20261210);
  std::normal_distribution<double> unit(0, 1);
  std::uniform_real_distribution<double> exponent(-30, 12);
  for (int i = 0; i < 200000; ++i) {
    const long double centre = (i % 9) - 4;
    z.push_back(centre + static_cast<long double>(unit(random)) * (1 + 1e-9L * unit(random)));
    const long double magnitude = std::pow(10.0L, static_cast<long double>(exponent(random)));
    z.push_back(i % 2 == 0 ? magnitude : -magnitude);
  }
  // The edges of the branches, with their neighbours.
  const long double edges[] = {0.0L,
                               std::sqrt(2 * 5e-12L),         // x at the series' tolerance
                               std::sqrt(3.0L),               // x = 1.5
                               std::sqrt(2 * 2147483647.0L),  // x at the bound
                               2147483647.0L,                 // the support's end
                               1e300L,
                               std::numeric_limits<long double>::max()};
  for (const long double edge : edges) {
    long double below = edge, above = edge;
    for (int step = 0; step < 40; ++step) {
      for (const long double x : {below, above}) {
        z.push_back(x);
        z.push_back(-x);
      }
      below = std::nextafter(below, -1.0L / 0.0L);
      above = std::nextafter(above, 1.0L / 0.0L);
    }
  }
  z.push_back(-0.0L);
  z.push_back(std::numeric_limits<long double>::infinity());
  z.push_back(-std::numeric_limits<long double>::infinity());
  z.push_back(std::numeric_limits<long double>::quiet_NaN());

  std::size_t differ = 0;
  for (const long double x : z) {
    const long double want = normal.Distribution_function(x);
    const long double got = detail::StandardNormalPhi(x, logGammaHalf);
    if (!SameBits(got, want)) {
      if (++differ <= 5)
        ADD_FAILURE() << "z = " << static_cast<double>(x) << std::hexfloat << ": " << got
                      << " against " << want;
    }
  }
  EXPECT_EQ(differ, 0u) << "of " << z.size();
  EXPECT_GT(z.size(), 500000u);
}

}  // namespace
}  // namespace quorvane
