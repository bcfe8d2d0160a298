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

// The next uniform real in (0, 1), advancing Seed1 and Seed2.
long double Uniform_01();

}  // namespace quorvane
