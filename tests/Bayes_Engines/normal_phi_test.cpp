// The shared draws' normal distribution function gives the library's bits
// for every argument: on a fine grid over the range draws reach, at random
// points of every magnitude, and at the edges of each branch (x = z^2 / 2 at
// the series' tolerance, at 1.5 where the continued fraction takes over, at
// the support's end and beyond it, zeros of both signs, infinities, NaN).
// So does its batched form, whatever the order of the arguments, the size of
// a batch and the number of fraction steps it leaves unchecked.
#include "Bayes_Engines/normal_phi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "distrib/distributions.h"
#include "distrib/numeric_helpers.h"

namespace quorvane {
namespace {

bool SameBits(long double a, long double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::memcmp(&a, &b, 10) == 0;
}

std::vector<long double> Arguments() {
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
  // The edges of the batch's sixteenths of x (where the step counts change).
  for (int k = 24; k <= 256; ++k) {
    const long double x = static_cast<long double>(k) / 16;
    long double z0 = std::sqrt(2 * x);
    for (int step = 0; step < 8; ++step) {
      z.push_back(z0);
      z.push_back(-z0);
      z0 = std::nextafter(z0, 0.0L);
    }
  }
  z.push_back(-0.0L);
  z.push_back(std::numeric_limits<long double>::infinity());
  z.push_back(-std::numeric_limits<long double>::infinity());
  z.push_back(std::numeric_limits<long double>::quiet_NaN());
  return z;
}

TEST(StandardNormalPhi, GivesTheLibrarysBitsForEveryArgument) {
  const tNormal_distribution normal(0, 1);
  const long double logGammaHalf = Log_Gamma(0.5L);
  const std::vector<long double> z = Arguments();
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

// The batch: the arguments shuffled (so that every batch mixes the branches),
// in batches of the engine's 2,048 and of odd sizes down to one; with the
// unchecked steps the program takes (each sixteenth's largest count), with
// every fraction left unchecked for 48 steps (the rule then met among the
// unchecked ones) and for one (met only in the plain loop that follows).
TEST(StandardNormalPhi, BatchedGivesTheLibrarysBitsForEveryArgument) {
  const tNormal_distribution normal(0, 1);
  const long double logGammaHalf = Log_Gamma(0.5L);
  std::vector<long double> z = Arguments();
  std::shuffle(z.begin(), z.end(), std::mt19937_64(7));
  std::vector<long double> want(z.size());
  for (std::size_t i = 0; i < z.size(); ++i) want[i] = normal.Distribution_function(z[i]);
  for (const int steps : {0, 48, 1}) {
    detail::StandardNormalPhiBatch batch(logGammaHalf, steps);
    for (const std::size_t size : {std::size_t{2048}, std::size_t{777}, std::size_t{1}}) {
      // Every argument at 2,048; a part of them at the smaller sizes.
      const std::size_t count = size == 2048 ? z.size() : std::min<std::size_t>(z.size(), 40000);
      std::vector<long double> got(count);
      for (std::size_t first = 0; first < count; first += size) {
        const std::size_t n = std::min(size, count - first);
        batch.Evaluate(std::span<const long double>(&z[first], n),
                       std::span<long double>(&got[first], n));
      }
      std::size_t differ = 0;
      for (std::size_t i = 0; i < count; ++i) {
        if (!SameBits(got[i], want[i]) && ++differ <= 5) {
          ADD_FAILURE() << "steps " << steps << ", batches of " << size
                        << ": z = " << static_cast<double>(z[i]) << std::hexfloat << ": " << got[i]
                        << " against " << want[i];
        }
      }
      EXPECT_EQ(differ, 0u) << "steps " << steps << ", batches of " << size;
    }
  }
}

}  // namespace
}  // namespace quorvane
