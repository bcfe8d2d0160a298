// The program's one source of uniform random numbers: L'Ecuyer's (1988)
// combined multiplicative congruential generator, each component stepped with
// Schrage's method in 32-bit signed arithmetic.
#pragma once

#include <cstdint>

namespace quorvane {

inline constexpr std::int32_t kStartSeed1 = 897183450;
inline constexpr std::int32_t kStartSeed2 = 1841323562;

// Process-wide generator state, shared by every distribution object. The
// engines assign both at the start of every run. Not synchronised: only one
// thread draws at a time.
extern std::int32_t Seed1;
extern std::int32_t Seed2;

// The next uniform real in (0, 1), advancing Seed1 and Seed2. Each component
// a * s mod m is stepped with Schrage's method, s = q k + r, so that every
// product fits in 32-bit signed arithmetic:
//   component 1: a = 40014, m = 2147483563, q = 53668, r = 12211;
//   component 2: a = 40692, m = 2147483399, q = 52774, r = 3791.
// Defined here so that the generators' loops can inline it.
inline long double Uniform_01() {
  std::int32_t k = Seed1 / 53668;
  Seed1 = 40014 * (Seed1 - k * 53668) - k * 12211;
  if (Seed1 < 0) Seed1 += 2147483563;
  k = Seed2 / 52774;
  Seed2 = 40692 * (Seed2 - k * 52774) - k * 3791;
  if (Seed2 < 0) Seed2 += 2147483399;
  std::int32_t z = Seed1 - Seed2;
  if (z < 1) z += 2147483562;
  // z lies in 1 .. 2147483562, so the result lies in [4.66e-10, 0.99999998721]:
  // never 0 and never 1. The scale is the extended real nearest to
  // 4.656613e-10, slightly below 1 / 2147483563.
  return static_cast<long double>(z) * 4.656613e-10L;
}

}  // namespace quorvane
