// The per-draw evaluation (the portable one, and the x87 kernels where they are
// built) against the library's own operations, draw by draw.
#include "Bayes_Engines/draw_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "Bayes_Engines/draw_evaluation.h"
#include "Bayes_Engines/regression_from_summary.h"
#include "engine_fixture.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

using testing::Hex;

#if QUORVANE_X87_KERNELS
// The x87 tag word: 0xFFFF when every register is empty.
std::uint16_t X87TagWord() {
  unsigned char env[28];
  asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
  return static_cast<std::uint16_t>(env[8] | (env[9] << 8));
}
#endif

struct Constants {
  int k = 0;
  Matrix xtxInv;
  Vector bHat, score;
#if QUORVANE_X87_KERNELS
  DrawKernelFrame frame{};
#endif
};

Constants ConstantsFor(int k) {
  const testing::FixtureSummary s = testing::SummariseFixture(k);
  Constants c;
  c.k = k;
  Matrix betas, sigmaHat;
  Regression_From_Summary(s.R, s.sds, s.means, 2, k, testing::kFixtureControls, betas, sigmaHat,
                          c.xtxInv);
  c.score[1] = 1;
  for (int i = 2; i <= k + 1; ++i) c.score[i] = s.caseScores[i + 1];
  for (int i = 1; i <= k + 1; ++i) {
    c.bHat[i] = betas(i, 1);
    c.bHat[k + 1 + i] = betas(i, 2);
  }
#if QUORVANE_X87_KERNELS
  c.frame.threshold = SplitOf(1e-12L);
  for (int r = 0; r <= k; ++r) {
    for (int col = 0; col <= k; ++col) c.frame.xtx[r][col] = SplitOf(c.xtxInv(r + 1, col + 1));
    c.frame.score[r] = SplitOf(c.score[r + 1]);
  }
  for (int i = 0; i < 2 * (k + 1); ++i) c.frame.bHat[i] = SplitOf(c.bHat[i + 1]);
#endif
  return c;
}

// mu = B*' score with B* = bHat + Cf u and Cf = Chol(Sigma* (x) (X'X)^-1), each
// step a library call.
void LibraryMeans(const Constants& c, const Matrix& sigma, const Vector& u, long double& mu1,
                  long double& mu2) {
  const int kp1 = c.k + 1, d = 2 * kp1;
  Matrix lambda;
  int rows = 0, cols = 0;
  bool ok = false;
  Kronecker_Product(sigma, c.xtxInv, 2, 2, kp1, kp1, lambda, rows, cols, ok);
  Matrix cf;
  Mat_Copy(lambda, d, cf);
  Chol(d, cf, [](const std::string& text) { ADD_FAILURE() << text; });
  Vector cu, bStar, mu;
  Mat_Vec_Mult(cf, d, u, cu);
  Vec_Add(d, c.bHat, cu, bStar);
  Matrix bt;
  for (int col = 1; col <= kp1; ++col) {
    bt(1, col) = bStar[col];
    bt(2, col) = bStar[kp1 + col];
  }
  Mat_Vec_Mult_Rect(bt, 2, kp1, c.score, mu);
  mu1 = mu[1];
  mu2 = mu[2];
}

// One draw by the portable evaluation and, where built, the kernel: the
// conditional means are the library's bit for bit.
void ExpectLibraryMeans(Constants& c, const Matrix& sigma, const Vector& u,
                        const std::string& what) {
  long double mu1 = 0, mu2 = 0;
  LibraryMeans(c, sigma, u, mu1, mu2);
  const long double lower[3] = {sigma(1, 1), sigma(2, 1), sigma(2, 2)};
  long double portable1 = 0, portable2 = 0;
  ASSERT_TRUE(detail::EvaluateDrawPortably(c.k, c.xtxInv, c.bHat, c.score, lower, &u[1], portable1,
                                           portable2))
      << what;
  EXPECT_EQ(Hex(portable1), Hex(mu1)) << "portable, " << what;
  EXPECT_EQ(Hex(portable2), Hex(mu2)) << "portable, " << what;
#if QUORVANE_X87_KERNELS
  Split slots[12];
  for (int i = 0; i < 2 * (c.k + 1); ++i) slots[i] = SplitOf(u[i + 1]);
  ASSERT_TRUE(DrawKernelFor(c.k)(&c.frame, lower, slots)) << "kernel, " << what;
  EXPECT_EQ(Hex(c.frame.mu1), Hex(mu1)) << "kernel, " << what;
  EXPECT_EQ(Hex(c.frame.mu2), Hex(mu2)) << "kernel, " << what;
#endif
}

// Random draws of Sigma* (both signs of the covariance, and exactly 0, which
// leaves exact zeros in the factor) and of u, for every number of covariates.
// Each draw is also taken with its first variates zero (+0 or -0): the rows
// whose sum Cf u is still 0 then add the products of the zeros above the
// diagonal with the later variates, as the full product does.
TEST(DrawEvaluation, BothPathsMatchTheLibraryOperationsBitForBit) {
  std::mt19937_64 generator(20261210);
  std::normal_distribution<double> normal;
  for (int k = 1; k <= 5; ++k) {
    Constants c = ConstantsFor(k);
    const int d = 2 * (k + 1);
    for (int draw = 0; draw < 400; ++draw) {
      const long double a = 1 + 0.4L * normal(generator), b = normal(generator) / 3;
      Matrix sigma;
      sigma(1, 1) = a * a + 0.05L;
      sigma(2, 1) = draw % 10 == 0 ? 0.0L : a * b * 1.0000000001L;
      sigma(1, 2) = sigma(2, 1);
      sigma(2, 2) = b * b + 0.7L + std::fabs(normal(generator) * normal(generator)) / 5;
      Vector u;
      for (int i = 1; i <= d; ++i) u[i] = normal(generator) * (1 + 1e-13L * draw);
      const std::string what = "k " + std::to_string(k) + ", draw " + std::to_string(draw);
      ExpectLibraryMeans(c, sigma, u, what);
      // The first 1 .. d variates zero, every other draw with the sign bit set.
      const int zeros = draw % d + 1;
      for (int i = 1; i <= zeros; ++i) u[i] = draw % 2 == 0 ? 0.0L : -0.0L;
      ExpectLibraryMeans(c, sigma, u, what + ", " + std::to_string(zeros) + " zero variates");
    }
  }
#if QUORVANE_X87_KERNELS
  EXPECT_EQ(X87TagWord(), 0xFFFF);
#endif
}

#if QUORVANE_X87_KERNELS

// What a kernel cannot take exactly, it hands back (false), leaving the x87
// register stack empty: pivots below 1e-12, NaN, and values outside the range
// of doubles.
TEST(DrawKernels, HandBackWhatTheyCannotTakeExactly) {
  Constants c = ConstantsFor(2);
  Split slots[6];
  for (int i = 0; i < 6; ++i) slots[i] = SplitOf(0.5L - 0.25L * i);
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  struct Case {
    const char* what;
    long double s11, s21, s22;
    bool taken;
  };
  const Case cases[] = {
      {"ordinary", 2.0L, 0.5L, 1.5L, true},
      {"pivot below 1e-12", 2e-14L, 5e-15L, 1.5e-14L, false},
      {"singular", 1.0L, 1.0L, 1.0L, false},
      {"NaN", nan, 0.5L, 1.5L, false},
      {"below the double range", 2e-4000L, 5e-4001L, 1.5e-4000L, false},
      {"above the double range", 2e4000L, 5e3999L, 1.5e4000L, false},
  };
  const DrawKernel kernel = DrawKernelFor(2);
  for (const Case& t : cases) {
    const long double lower[3] = {t.s11, t.s21, t.s22};
    EXPECT_EQ(kernel(&c.frame, lower, slots), t.taken) << t.what;
    EXPECT_EQ(X87TagWord(), 0xFFFF) << t.what;
  }
}

TEST(DrawKernels, SplitsAreExactInTheDoubleRangeOnly) {
  for (long double x : {1.0L / 3, -2.718281828459045235360287L, 0.0L, -0.0L, 1e-300L, 1e300L}) {
    EXPECT_TRUE(SplitsExactly(x)) << static_cast<double>(x);
  }
  EXPECT_EQ(Hex(Join(SplitOf(1.0L / 3))), Hex(1.0L / 3));
  EXPECT_FALSE(SplitsExactly(1e-4000L));
  EXPECT_FALSE(SplitsExactly(1e4000L));
}

#else

TEST(DrawKernels, NotBuiltOnThisPlatform) {
  GTEST_SKIP() << "the x87 kernels are built on Linux x86-64 only (QUORVANE_X87_KERNELS)";
}

#endif

}  // namespace
}  // namespace quorvane
