// The state of L'Ecuyer's (1988) combined generator; Uniform_01 is in the header.
#include "distrib/uniform.h"

#include <array>

#include "distrib/cpu_dispatch.h"

namespace quorvane {

std::int32_t Seed1 = kStartSeed1;
std::int32_t Seed2 = kStartSeed2;

namespace detail {

UniformBlock uniformBlock;

namespace {

// x mod m for m = 2^31 - c and x < 2^62: since 2^31 = c (mod m), folding the
// bits above 31 back in twice leaves a value below 2m.
constexpr std::int64_t ModSpecial(std::uint64_t x, std::uint64_t c, std::uint64_t m) {
  x = (x >> 31) * c + (x & 0x7fffffffu);  // < 2^40
  x = (x >> 31) * c + (x & 0x7fffffffu);  // < 2^31 + 2^9 c < 2m
  return static_cast<std::int64_t>(x >= m ? x - m : x);
}

// a^1 .. a^B mod m.
constexpr std::array<std::uint32_t, kUniformBlockSize> Powers(std::uint64_t a, std::uint64_t c,
                                                              std::uint64_t m) {
  std::array<std::uint32_t, kUniformBlockSize> p{};
  std::uint64_t v = 1;
  for (auto& e : p) {
    v = static_cast<std::uint64_t>(ModSpecial(v * a, c, m));
    e = static_cast<std::uint32_t>(v);
  }
  return p;
}

constexpr auto kPowers1 = Powers(40014, 85, kModulus1);
constexpr auto kPowers2 = Powers(40692, 249, kModulus2);

}  // namespace

QUORVANE_X86_64_CLONES bool RefillUniformBlock(UniformBlock& b, std::int32_t seed1,
                                               std::int32_t seed2) {
  b.next = kUniformBlockSize;
  if (seed1 < 1 || seed1 >= kModulus1 || seed2 < 1 || seed2 >= kModulus2) return false;
  const auto s1 = static_cast<std::uint64_t>(seed1);
  const auto s2 = static_cast<std::uint64_t>(seed2);
  for (int q = 0; q < kUniformBlockSize; ++q) {
    const auto t1 = static_cast<std::int32_t>(ModSpecial(kPowers1[q] * s1, 85, kModulus1));
    const auto t2 = static_cast<std::int32_t>(ModSpecial(kPowers2[q] * s2, 249, kModulus2));
    b.seed1[q] = t1;
    b.seed2[q] = t2;
    const std::int32_t z = t1 - t2;
    b.z[q] = z < 1 ? z + 2147483562 : z;
  }
  b.next = 0;
  b.last1 = seed1;
  b.last2 = seed2;
  return true;
}

}  // namespace detail
}  // namespace quorvane
