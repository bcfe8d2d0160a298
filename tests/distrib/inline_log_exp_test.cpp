// The inline logl and expl against the C library's, bit for bit.
#include "distrib/inline_log_exp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace quorvane {
namespace {

// The value's 80 bits (a NaN compares by its bits too).
std::string Bits(long double x) {
  unsigned char b[10];
  std::memcpy(b, &x, sizeof b);
  char text[32];
  std::snprintf(text, sizeof text, "%02x%02x:%02x%02x%02x%02x%02x%02x%02x%02x", b[9], b[8], b[7],
                b[6], b[5], b[4], b[3], b[2], b[1], b[0]);
  return text;
}

// Counts disagreements (reporting the first few) instead of failing per value.
struct Agreement {
  int mismatches = 0;
  void Check(const char* name, long double x, long double ours, long double libm) {
    if (std::memcmp(&ours, &libm, 10) == 0) return;
    if (++mismatches <= 5) {
      ADD_FAILURE() << name << "(" << Bits(x) << ") = " << Bits(ours) << ", libm " << Bits(libm);
    }
  }
  void Both(long double x) {
    Check("logl", x, InlineLogl(x), logl(x));
    Check("expl", x, InlineExpl(x), expl(x));
  }
};

// Every special case and both sides of every branch: logl's switch between
// log2(x) and log2(1 + (x - 1)) at |x - 1| = 0.29; expl's limits 2^-67 and
// 2^15, its overflow near 11356.5 and its underflow to subnormals and to 0.
TEST(InlineLogExp, EqualLibmAtTheBoundaries) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double denormal = std::numeric_limits<long double>::denorm_min();
  std::vector<long double> xs = {0.0L,
                                 -0.0L,
                                 1.0L,
                                 0.71L,
                                 1.29L,
                                 static_cast<long double>(0.29) + 1,
                                 1 - static_cast<long double>(0.29),
                                 0x1p-67L,
                                 0x1p-68L,
                                 0x1p15L,
                                 11356.5L,
                                 11357.0L,
                                 -11355.0L,
                                 -11380.0L,
                                 -11500.0L,
                                 denormal,
                                 std::numeric_limits<long double>::min(),
                                 std::numeric_limits<long double>::max(),
                                 inf,
                                 -inf,
                                 nan};
  Agreement agreement;
  for (const long double x : xs) {
    agreement.Both(x);
    agreement.Both(-x);
    agreement.Both(std::nextafter(x, inf));
    agreement.Both(std::nextafter(x, -inf));
  }
  EXPECT_EQ(agreement.mismatches, 0);
}

// Millions of arguments: every binade the engines can meet, uniform variates
// as the generators take their logarithms, and the band around 1.
TEST(InlineLogExp, EqualLibmOnMillionsOfArguments) {
  std::mt19937_64 generator(20261210);
  Agreement agreement;
  for (int i = 0; i < 1'000'000 && agreement.mismatches == 0; ++i) {
    const std::uint64_t mantissa = generator() | (std::uint64_t{1} << 63);
    const int exponent = static_cast<int>(generator() % 240) - 120;
    agreement.Both(std::ldexp(static_cast<long double>(mantissa), exponent - 63));
    const long double u = static_cast<long double>(generator() >> 11) * 0x1p-53L;
    agreement.Both(u);
    agreement.Both(0.6L + 0.8L * u);
    agreement.Both(-60 * u);
  }
  EXPECT_EQ(agreement.mismatches, 0);
}

}  // namespace
}  // namespace quorvane
