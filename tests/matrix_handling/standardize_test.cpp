#include "matrix_handling/standardize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

constexpr long double kEps = std::numeric_limits<long double>::epsilon();

Vector Make(std::initializer_list<long double> values) {
  Vector v;
  int i = 1;
  for (const long double x : values) v[i++] = x;
  return v;
}

TEST(StandardizeScores, ControlsTenTwelveFourteen) {
  // Controls 10, 12, 14: mean 12, SD 2 with divisor N - 1 (by hand:
  // squared deviations 4 + 0 + 4 = 8, 8 / 2 = 4). A case one SD above the
  // mean scores 14, one at the mean 12.
  DataMatrix data;
  data(1, 1) = 10;
  data(2, 1) = 12;
  data(3, 1) = 14;
  Matrix R;
  Vector mean, sd;
  Data_Summary(data, 3, 1, R, mean, sd);
  ASSERT_EQ(mean[1], 12.0L);
  ASSERT_EQ(sd[1], 2.0L);

  struct Case {
    long double score;
    long double z;
  };
  for (const Case c : {Case{14, 1}, Case{12, 0}, Case{8, -2}}) {
    Vector x;
    x[1] = c.score;
    Vector z;
    StandardizeScores(x, mean, sd, 1, 0.0L, 1.0L, z);
    EXPECT_EQ(z[1], c.z) << "score " << static_cast<double>(c.score);
  }
}

TEST(StandardizeScores, ShiftAndScale) {
  // A T score (scale 10, shift 50): one SD above the mean gives 60.
  const Vector x = Make({14, 9});
  const Vector m = Make({12, 12});
  const Vector s = Make({2, 2});
  Vector z;
  StandardizeScores(x, m, s, 2, 50.0L, 10.0L, z);
  EXPECT_EQ(z[1], 60.0L);
  EXPECT_EQ(z[2], 35.0L);
}

TEST(StandardizeScores, InexactQuotientWithinTwoEpsilons) {
  // (7 - 3) / 3 = 4/3 (exact value from Python's fractions.Fraction); the
  // program's order e * x - e * mean with e = 1/3 rounded may differ from
  // the correctly rounded 4/3 by a rounding or two.
  const Vector x = Make({7});
  const Vector m = Make({3});
  const Vector s = Make({3});
  Vector z;
  StandardizeScores(x, m, s, 1, 0.0L, 1.0L, z);
  const long double ref = 4.0L / 3.0L;
  EXPECT_LE(std::fabs(z[1] - ref) / ref, 2 * kEps);
}

TEST(StandardizeScores, OutputMayAliasInputAndLaterEntriesStayUntouched) {
  Vector x = Make({14, 20, 30, 777});
  const Vector m = Make({12, 10, 0});
  const Vector s = Make({2, 5, 10});
  StandardizeScores(x, m, s, 3, 0.0L, 1.0L, x);
  EXPECT_EQ(x[1], 1.0L);
  EXPECT_EQ(x[2], 2.0L);
  EXPECT_EQ(x[3], 3.0L);
  EXPECT_EQ(x[4], 777.0L);  // beyond count

  Vector sdAlias = Make({2, 4});
  StandardizeScores(Make({16, 12}), Make({12, 12}), sdAlias, 2, 0.0L, 1.0L, sdAlias);
  EXPECT_EQ(sdAlias[1], 2.0L);
  EXPECT_EQ(sdAlias[2], 0.0L);
}

}  // namespace
}  // namespace quorvane
