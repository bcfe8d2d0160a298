#include "matrix_handling/decompositions.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "matrix_handling/matrix_ops.h"
#include "matrix_handling/pattern.h"

namespace quorvane {
namespace {

Matrix FromRows(const std::vector<std::vector<long double>>& rows) {
  Matrix m;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      m(static_cast<int>(i + 1), static_cast<int>(j + 1)) = rows[i][j];
    }
  }
  return m;
}

// Collects the messages Chol shows.
struct Messages {
  std::vector<std::string> texts;
  InfoMessageFn Fn() {
    return [this](const std::string& text) { texts.push_back(text); };
  }
};

// ---------------------------------------------------------------------------
// Chol

TEST(Chol, TwoByTwoExample) {
  Matrix A = FromRows({{4, 2}, {2, 5}});
  Messages shown;
  Chol(2, A, shown.Fn());
  EXPECT_TRUE(shown.texts.empty());
  EXPECT_EQ(A, FromRows({{2, 0}, {1, 2}}));
}

// A = L0 L0' for an integer lower-triangular L0. Every intermediate of the
// factorisation is then an integer well inside 2^64 and every square root is
// of a perfect square, so the factor must be L0 exactly. Elements outside the
// 6 x 6 block are left alone.
TEST(Chol, RecoversAnIntegerFactorExactly) {
  const Matrix L0 = FromRows({{3, 0, 0, 0, 0, 0},
                              {-1, 2, 0, 0, 0, 0},
                              {4, 5, 7, 0, 0, 0},
                              {2, -3, 1, 1, 0, 0},
                              {0, 6, -2, 3, 5, 0},
                              {1, 1, 1, 1, 1, 4}});
  Matrix L0t;
  Mat_Transpose(L0, 6, L0t);
  Matrix A = Pattern(1);
  Mat_Mult(L0, L0t, 6, A);
  const Matrix before = A;
  Chol(6, A, [](const std::string& text) { ADD_FAILURE() << text; });
  for (int i = 1; i <= kMaxOrder; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) {
      EXPECT_EQ(A(i, j), (i <= 6 && j <= 6) ? L0(i, j) : before(i, j)) << i << "," << j;
    }
  }
  EXPECT_TRUE(Is_Pos_Def(6, before));
}

TEST(Chol, FailuresShowTheirMessageAndStop) {
  struct Case {
    const char* name;
    int n;
    Matrix A;
    std::string text;
    Matrix after;
  };
  Matrix late;  // identity of order 12 with a zero last pivot
  for (int i = 1; i <= 11; ++i) late(i, i) = 1;
  Matrix lateAfter = late;
  const std::vector<Case> cases = {
      {"zero first pivot leaves A unchanged", 2, FromRows({{0, 1}, {1, 3}}),
       "Not pos def 1st : sum=  0.000 ", FromRows({{0, 1}, {1, 3}})},
      {"negative first pivot", 3, FromRows({{-2.5L, 0, 0}, {0, 1, 0}, {0, 0, 1}}),
       "Not pos def 1st : sum=  -2.500 ", FromRows({{-2.5L, 0, 0}, {0, 1, 0}, {0, 0, 1}})},
      {"first pivot slightly negative", 1, FromRows({{-1e-13L}}), "Not pos def 1st : sum=  -0.000 ",
       FromRows({{-1e-13L}})},
      // Column 1 is factored (sqrt(1) = 1, 1 / 1 = 1); column 2's pivot is
      // 1 - 1 = 0, and the upper triangle is not cleared.
      {"all-ones matrix fails at column 2", 2, FromRows({{1, 1}, {1, 1}}),
       "Not pos def 2nd : sum=  0.000000000  i=  2  j=   2", FromRows({{1, 1}, {1, 1}})},
      {"indefinite matrix", 2, FromRows({{1, 2}, {2, 1}}),
       "Not pos def 2nd : sum=  -3.000000000  i=  2  j=   2", FromRows({{1, 2}, {2, 1}})},
      {"two-digit column index", 12, late, "Not pos def 2nd : sum=  0.000000000  i= 12  j=  12",
       lateAfter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix A = c.A;
    Messages shown;
    Chol(c.n, A, shown.Fn());
    ASSERT_EQ(shown.texts.size(), 1u);
    EXPECT_EQ(shown.texts[0], c.text);
    EXPECT_EQ(A, c.after);
    EXPECT_FALSE(Is_Pos_Def(c.n, c.A));
  }
}

TEST(Chol, PartlyFactoredMatrixKeepsTheColumnsDone) {
  // Columns 1 and 2 factor (L11 = 2, L21 = 1, L31 = 1, L22 = 2, L32 = 1);
  // column 3's pivot is 2 - 1 - 1 = 0.
  Matrix A = FromRows({{4, 2, 2}, {2, 5, 3}, {2, 3, 2}});
  Messages shown;
  Chol(3, A, shown.Fn());
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0], "Not pos def 2nd : sum=  0.000000000  i=  3  j=   3");
  EXPECT_EQ(A, FromRows({{2, 2, 2}, {1, 2, 3}, {1, 1, 2}}));
}

// Column 2 of {{1, 1}, {1, 1 + e}} has the pivot e exactly (powers of two):
// 2^-40 (9.1e-13) is below the threshold of 1e-12, 2^-39 (1.8e-12) above it.
TEST(Chol, PivotThresholdAppliesInFullToEntriesOfOne) {
  const long double below = ldexpl(1, -40), above = ldexpl(1, -39);
  EXPECT_FALSE(Is_Pos_Def(2, FromRows({{1, 1}, {1, 1 + below}})));
  EXPECT_TRUE(Is_Pos_Def(2, FromRows({{1, 1}, {1, 1 + above}})));
}

// The pivot thresholds hold in full for entries of magnitude 1 or more and
// shrink in proportion below that, so a matrix and the same matrix in smaller
// units get the same verdict; a near-singular matrix fails at every scale.
TEST(Chol, PivotThresholdFollowsTheScaleOfSmallMatrices) {
  for (long double scale : {1e-16L, 1e-8L, 1e-4L, 1.0L}) {
    SCOPED_TRACE(static_cast<double>(scale));
    const Matrix clear = FromRows({{scale, scale}, {scale, scale * (1 + 4e-12L)}});
    const Matrix nearlySingular = FromRows({{scale, scale}, {scale, scale * (1 + 2.5e-13L)}});
    EXPECT_TRUE(Is_Pos_Def(2, clear));
    EXPECT_FALSE(Is_Pos_Def(2, nearlySingular));
  }
  // Above 1 the fixed threshold of 1e-12 applies.
  EXPECT_TRUE(Is_Pos_Def(2, FromRows({{1e4L, 1e4L}, {1e4L, 1e4L * (1 + 2.5e-13L)}})));
}

// The message goes to the receiver passed; with none, nothing is shown and
// the matrix is still left as the failed factorisation leaves it.
TEST(Chol, MessagesGoToTheReceiverPassedAndNowhereElse) {
  Matrix A = FromRows({{0}});
  Messages local;
  Chol(1, A, local.Fn());
  ASSERT_EQ(local.texts.size(), 1u);
  EXPECT_EQ(local.texts[0], "Not pos def 1st : sum=  0.000 ");

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  Matrix B = FromRows({{1, 1}, {1, 1}});
  Chol(2, B);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(B(1, 1), 1.0L);
  EXPECT_EQ(B(2, 2), 1.0L);
}

// Under the Usable rule a pivot is refused only when it is not a positive
// finite number: a positive pivot far below 1e-12 is factored (and inverted)
// where the Threshold rule stops.
TEST(PivotRule, UsableRefusesOnlyWhatCannotBeUsed) {
  const Matrix nearlySingular = FromRows({{1, 1}, {1, 1 + 1e-15L}});
  EXPECT_FALSE(Is_Pos_Def(2, nearlySingular));
  Matrix factor = nearlySingular;
  Chol(2, factor, {}, PivotRule::Usable);
  // L = [[1, 0], [1, sqrt(1e-15 + rounding)]]; L L' gives the matrix back.
  EXPECT_EQ(factor(1, 2), 0.0L);
  EXPECT_NEAR(static_cast<double>(factor(2, 2) * factor(2, 2)), 1e-15, 1e-18);
  Matrix inverse;
  const PivotFailureCounts before = ThreadPivotFailures();
  Mat_Inverse(nearlySingular, 2, inverse, PivotRule::Usable);
  EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions);
  // The inverse of [[1, 1], [1, 1 + e]] is [[1 + 1/e, -1/e], [-1/e, 1/e]].
  EXPECT_NEAR(static_cast<double>(inverse(2, 2)), 1e15, 1e15 * 1e-3);
  Mat_Inverse(nearlySingular, 2, inverse);
  EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions + 1);

  for (const long double bad : {0.0L, -1.0L, std::numeric_limits<long double>::quiet_NaN(),
                                std::numeric_limits<long double>::infinity()}) {
    Matrix m = FromRows({{bad}});
    EXPECT_EQ(detail::CholFactorLower(1, m, PivotRule::Usable).failedColumn, 1)
        << static_cast<double>(bad);
  }
}

// A large negative pivot prints thousands of digits with %f; the whole text
// must come through.
TEST(Chol, HugePivotValuePrintsInFull) {
  Matrix A = FromRows({{-1e300L}});
  Messages shown;
  Chol(1, A, shown.Fn());
  ASSERT_EQ(shown.texts.size(), 1u);
  const std::string& t = shown.texts[0];
  EXPECT_EQ(t.rfind("Not pos def 1st : sum=  -1000000", 0), 0u);
  EXPECT_EQ(t.size(), std::string("Not pos def 1st : sum=  -").size() + 301 + 4 + 1);
}

// ---------------------------------------------------------------------------
// Is_Pos_Def

TEST(IsPosDef, IdentityAndCollinearCorrelationMatrices) {
  Matrix I;
  for (int i = 1; i <= 5; ++i) I(i, i) = 1;
  const Matrix before = I;
  EXPECT_TRUE(Is_Pos_Def(5, I));
  EXPECT_EQ(I, before);

  // Third variable = first + second: the sample correlation matrix is
  // singular up to rounding.
  DataMatrix X;
  const long double a[6] = {1.5L, 2, 7, 4.25L, 3, 9};
  const long double b[6] = {3, -1, 2, 8, 5.5L, 0};
  for (int i = 1; i <= 6; ++i) {
    X(i, 1) = a[i - 1];
    X(i, 2) = b[i - 1];
    X(i, 3) = a[i - 1] + b[i - 1];
  }
  Matrix R;
  Vector mean;
  Vector sd;
  Data_Summary(X, 6, 3, R, mean, sd);
  const Matrix Rbefore = R;
  EXPECT_FALSE(Is_Pos_Def(3, R));
  EXPECT_EQ(R, Rbefore);
  EXPECT_TRUE(Is_Pos_Def(2, R)) << "the first two variables alone are fine";
}

// A variable with no variance makes its correlations 0/0. Such a matrix is
// not positive definite, and the test must say so rather than let the
// not-a-number pivots through.
TEST(IsPosDef, ZeroVarianceColumnIsNotPositiveDefinite) {
  for (int constant = 1; constant <= 3; ++constant) {
    SCOPED_TRACE(constant);
    DataMatrix X;
    const long double values[5] = {1, 4, 2, 8, 5};
    for (int i = 1; i <= 5; ++i) {
      for (int j = 1; j <= 3; ++j) X(i, j) = values[(i + j) % 5] * j;
      X(i, constant) = 7;
    }
    Matrix R;
    Vector mean;
    Vector sd;
    Data_Summary(X, 5, 3, R, mean, sd);
    EXPECT_TRUE(std::isnan(R(constant, constant)));
    EXPECT_FALSE(Is_Pos_Def(3, R));
    Messages shown;
    Chol(3, R, shown.Fn());
    EXPECT_EQ(shown.texts.size(), 1u);
  }
}

TEST(IsPosDef, EmptyBlockIsPositiveDefinite) {
  Matrix A;  // A[1,1] = 0 lies outside the empty block
  EXPECT_TRUE(Is_Pos_Def(0, A));
  Messages shown;
  Chol(0, A, shown.Fn());
  EXPECT_TRUE(shown.texts.empty());
}

// ---------------------------------------------------------------------------
// Mat_Inverse

// |actual - expected| <= tolerance * |expected| for every element of the
// n x n block.
void ExpectInverseNear(const Matrix& got, const Matrix& want, int n, long double tolerance) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      EXPECT_LE(fabsl(got(i, j) - want(i, j)), tolerance * fabsl(want(i, j)))
          << i << "," << j << ": got " << static_cast<double>(got(i, j));
    }
  }
}

// A zero pivot at [1,1] is exchanged with row 2. Exact inverse by hand:
// [[0, 2], [3, 1]]^-1 = [[-1/6, 1/3], [1/2, 0]]. Tolerance: 2 ulps.
TEST(MatInverse, ZeroPivotExchangesRows) {
  const Matrix A = FromRows({{0, 2}, {3, 1}});
  Matrix Ainv = Pattern(1);
  Mat_Inverse(A, 2, Ainv);
  const long double tol = 2 * LDBL_EPSILON;
  EXPECT_LE(fabsl(Ainv(1, 1) + 1.0L / 6), tol / 6);
  EXPECT_LE(fabsl(Ainv(1, 2) - 1.0L / 3), tol / 3);
  EXPECT_LE(fabsl(Ainv(2, 1) - 0.5L), tol / 2);
  EXPECT_EQ(Ainv(2, 2), 0.0L);
  EXPECT_EQ(Ainv(1, 3), 0.0L) << "all 400 elements cleared first";
  EXPECT_EQ(Ainv(20, 20), 0.0L);
}

// A pivot below 1e-10 in magnitude is passed over like a zero.
TEST(MatInverse, TinyPivotIsPassedOver) {
  const Matrix A = FromRows({{5e-11L, 1}, {1, 0}});
  Matrix Ainv;
  Mat_Inverse(A, 2, Ainv);
  // Row exchange first: [[1, 0], [5e-11, 1]] reduces with exact steps to
  // [[0, 1], [1, -5e-11]].
  EXPECT_EQ(Ainv(1, 1), 0.0L);
  EXPECT_EQ(Ainv(1, 2), 1.0L);
  EXPECT_EQ(Ainv(2, 1), 1.0L);
  EXPECT_EQ(Ainv(2, 2), -5e-11L);
}

TEST(MatInverse, ZeroMatrixGivesTheIdentity) {
  Matrix Ainv = Pattern(2);
  Mat_Inverse(Matrix(), 4, Ainv);
  Matrix I;
  for (int i = 1; i <= 4; ++i) I(i, i) = 1;
  EXPECT_EQ(Ainv, I);
}

// [[1, 2], [2, 4]]: column 1 reduces (row 2 becomes [0, 0], its identity row
// [-2, 1]); no pivot is left in column 2, so the elimination stops there.
TEST(MatInverse, SingularMatrixStopsWithThePartialResult) {
  Matrix Ainv;
  Mat_Inverse(FromRows({{1, 2}, {2, 4}}), 2, Ainv);
  EXPECT_EQ(Ainv, FromRows({{1, 0}, {-2, 1}}));
}

// Exact inverse from Python's fractions: 1476 A^-1 is the integer matrix
// below. The matrix is well conditioned; tolerance 16 ulps of each element.
TEST(MatInverse, IntegerMatrixAgainstExactInverse) {
  const Matrix A = FromRows({{4, -2, 1, 3}, {1, 5, -3, 2}, {2, 1, 6, -1}, {-3, 2, 1, 7}});
  const long double scaled[4][4] = {
      {220, 128, 48, -124}, {-116, 221, 129, 5}, {-32, -79, 201, 65}, {132, 3, -45, 147}};
  Matrix want;
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) want(i, j) = scaled[i - 1][j - 1] / 1476.0L;
  }
  Matrix Ainv;
  Mat_Inverse(A, 4, Ainv);
  ExpectInverseNear(Ainv, want, 4, 16 * LDBL_EPSILON);
}

// The order-5 Hilbert matrix, whose exact inverse is an integer matrix
// (computed with Python's fractions). Its entries 1/(i+j-1) are rounded on
// input and its condition number is about 4.8e5, so the tolerance is 1e-13
// relative to each element (about twice condition number x epsilon).
TEST(MatInverse, HilbertMatrixAgainstExactInverse) {
  Matrix H;
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 5; ++j) H(i, j) = 1.0L / static_cast<long double>(i + j - 1);
  }
  const Matrix want = FromRows({{25, -300, 1050, -1400, 630},
                                {-300, 4800, -18900, 26880, -12600},
                                {1050, -18900, 79380, -117600, 56700},
                                {-1400, 26880, -117600, 179200, -88200},
                                {630, -12600, 56700, -88200, 44100}});
  Matrix Hinv;
  Mat_Inverse(H, 5, Hinv);
  ExpectInverseNear(Hinv, want, 5, 1e-13L);
}

// ---------------------------------------------------------------------------
// Mat_Select and Mat_Partition

TEST(MatSelect, PacksTheChosenRowsAndColumns) {
  const Matrix A = Pattern(3);
  SelectionMask none;
  Matrix B = Pattern(4);
  Mat_Select(A, 5, none, B);
  EXPECT_EQ(B, Matrix());

  SelectionMask mask;
  mask[1] = true;
  mask[3] = true;
  mask[6] = true;  // beyond n: ignored
  Mat_Select(A, 4, mask, B);
  Matrix want;
  want(1, 1) = A(1, 1);
  want(1, 2) = A(1, 3);
  want(2, 1) = A(3, 1);
  want(2, 2) = A(3, 3);
  EXPECT_EQ(B, want);

  Matrix same = A;
  Mat_Select(same, 4, mask, same);
  EXPECT_EQ(same, want) << "output aliasing the input";
}

TEST(MatPartition, SplitsAfterRowAndColumnK) {
  Matrix S;
  for (int i = 1; i <= kMaxOrder; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) S(i, j) = 10.0L * i + j;
  }
  Matrix S11 = Pattern(1);
  Matrix S12 = Pattern(2);
  Matrix S21 = Pattern(3);
  Matrix S22 = Pattern(4);
  Mat_Partition(S, 5, 2, S11, S12, S21, S22);
  Matrix w11, w12, w21, w22;
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 2; ++j) w11(i, j) = S(i, j);
    for (int j = 1; j <= 3; ++j) w12(i, j) = S(i, j + 2);
  }
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 2; ++j) w21(i, j) = S(j, i + 2);  // S12 transposed
    for (int j = 1; j <= 3; ++j) w22(i, j) = S(i + 2, j + 2);
  }
  EXPECT_EQ(S11, w11);
  EXPECT_EQ(S12, w12);
  EXPECT_EQ(S21, w21);
  EXPECT_EQ(S22, w22);

  // Each output in turn aliasing S.
  for (int which = 1; which <= 4; ++which) {
    SCOPED_TRACE(which);
    Matrix x = S;
    Matrix o1, o2, o3, o4;
    Matrix* outs[4] = {&o1, &o2, &o3, &o4};
    outs[which - 1] = &x;
    Mat_Partition(x, 5, 2, *outs[0], *outs[1], *outs[2], *outs[3]);
    EXPECT_EQ(*outs[0], w11);
    EXPECT_EQ(*outs[1], w12);
    EXPECT_EQ(*outs[2], w21);
    EXPECT_EQ(*outs[3], w22);
  }
}

TEST(MatInverse, OutputAliasingTheInput) {
  const Matrix A = FromRows({{4, -2, 1}, {1, 5, -3}, {2, 1, 6}});
  Matrix want;
  Mat_Inverse(A, 3, want);
  Matrix x = A;
  Mat_Inverse(x, 3, x);
  EXPECT_EQ(x, want);
}

// ---------------------------------------------------------------------------
// Conditional_Normal

// n = 3, m = 1: the closed forms S11 - S13^2 / S33 for the conditional
// variance and mean[1] + S13 / S33 (x[3] - mean[3]) for the conditional mean,
// evaluated independently here; tolerance 64 ulps.
TEST(ConditionalNormal, OneConditioningVariableMatchesTheClosedForm) {
  const Matrix R = FromRows({{1, 0.3L, 0.6L}, {0.3L, 1, -0.45L}, {0.6L, -0.45L, 1}});
  Vector sd, mean, x;
  sd[1] = 2.5L;
  sd[2] = 0.8L;
  sd[3] = 12;
  mean[1] = 50;
  mean[2] = 7;
  mean[3] = 100;
  x[3] = 118.5L;
  Matrix cov;
  Vector cm;
  Conditional_Normal(3, 1, R, sd, mean, x, cov, cm);

  auto s = [&](int i, int j) { return R(i, j) * sd[i] * sd[j]; };
  const long double var1 = s(1, 1) - s(1, 3) * s(1, 3) / s(3, 3);
  const long double var2 = s(2, 2) - s(2, 3) * s(2, 3) / s(3, 3);
  const long double cov12 = s(1, 2) - s(1, 3) * s(2, 3) / s(3, 3);
  const long double mean1 = mean[1] + s(1, 3) / s(3, 3) * (x[3] - mean[3]);
  const long double mean2 = mean[2] + s(2, 3) / s(3, 3) * (x[3] - mean[3]);
  const long double tol = 64 * LDBL_EPSILON;
  EXPECT_LE(fabsl(cov(1, 1) - var1), tol * var1);
  EXPECT_LE(fabsl(cov(2, 2) - var2), tol * var2);
  EXPECT_LE(fabsl(cov(1, 2) - cov12), tol * fabsl(cov12));
  EXPECT_LE(fabsl(cm[1] - mean1), tol * mean1);
  EXPECT_LE(fabsl(cm[2] - mean2), tol * mean2);
}

// n = 4, m = 2 with exactly representable inputs. Exact results from
// Python's fractions (S11 - S12 S22^-1 S21 and mean1 + S12 S22^-1 d):
// covariance [[41/12, 41/32], [41/32, 123/64]], means [313/24, 81/4].
// Tolerance 64 ulps.
TEST(ConditionalNormal, TwoConditioningVariablesMatchExactValues) {
  const Matrix R = FromRows({{1, 0.5L, 0.25L, -0.125L},
                             {0.5L, 1, 0.375L, 0.25L},
                             {0.25L, 0.375L, 1, 0.5L},
                             {-0.125L, 0.25L, 0.5L, 1}});
  Vector sd, mean, x;
  const long double sds[4] = {2, 1.5L, 4, 0.5L};
  for (int i = 1; i <= 4; ++i) {
    sd[i] = sds[i - 1];
    mean[i] = 10.0L * i;
  }
  x[3] = 35;
  x[4] = 38.5L;
  x[1] = -1;  // not read
  Matrix cov = Pattern(5);
  Vector cm;
  cm[3] = 99;
  Conditional_Normal(4, 2, R, sd, mean, x, cov, cm);
  const long double tol = 64 * LDBL_EPSILON;
  const long double want[2][2] = {{41.0L / 12, 41.0L / 32}, {41.0L / 32, 123.0L / 64}};
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 2; ++j) {
      EXPECT_LE(fabsl(cov(i, j) - want[i - 1][j - 1]), tol * want[i - 1][j - 1]) << i << j;
    }
  }
  EXPECT_LE(fabsl(cm[1] - 313.0L / 24), tol * 313.0L / 24);
  EXPECT_LE(fabsl(cm[2] - 81.0L / 4), tol * 81.0L / 4);
  EXPECT_EQ(cm[3], 99.0L) << "only the first n - m means are written";
  EXPECT_EQ(cov(3, 3), 0.0L) << "cond_cov is cleared outside its block";

  // Outputs sharing a variable with the inputs give the same results.
  Matrix covAliased = R;
  Vector meanAliased = mean;
  Conditional_Normal(4, 2, covAliased, sd, meanAliased, x, covAliased, meanAliased);
  EXPECT_EQ(covAliased, cov);
  EXPECT_EQ(meanAliased[1], cm[1]);
  EXPECT_EQ(meanAliased[2], cm[2]);
  for (Vector* shared : {&sd, &x}) {
    Vector in = *shared;
    Vector out = *shared;
    Matrix c;
    if (shared == &sd) {
      Conditional_Normal(4, 2, R, out, mean, x, c, out);
    } else {
      Conditional_Normal(4, 2, R, sd, mean, out, c, out);
    }
    EXPECT_EQ(c, cov);
    EXPECT_EQ(out[1], cm[1]);
    EXPECT_EQ(out[2], cm[2]);
    EXPECT_EQ(out[3], in[3]);
  }
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// Chol and Mat_Inverse count, per thread, the pivots that stopped them;
// Is_Pos_Def, a test by design, does not.
TEST(PivotFailures, AreCountedPerThreadByCholAndMatInverseOnly) {
  Matrix singular;  // all ones: second pivot 0
  singular(1, 1) = singular(1, 2) = singular(2, 1) = singular(2, 2) = 1;
  Matrix identity;
  identity(1, 1) = identity(2, 2) = 1;
  const PivotFailureCounts before = ThreadPivotFailures();
  Matrix out;
  Mat_Inverse(identity, 2, out);
  Matrix a = identity;
  Chol(2, a, [](const std::string&) {});
  EXPECT_FALSE(Is_Pos_Def(2, singular));
  EXPECT_EQ(ThreadPivotFailures().factorisations, before.factorisations);
  EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions);

  Mat_Inverse(singular, 2, out);
  a = singular;
  Chol(2, a, [](const std::string&) {});
  EXPECT_EQ(ThreadPivotFailures().factorisations, before.factorisations + 1);
  EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions + 1);

  PivotFailureCounts other;
  std::thread([&other, &singular] {
    Matrix o;
    Mat_Inverse(singular, 2, o);
    other = ThreadPivotFailures();
  }).join();
  EXPECT_EQ(other.inversions, 1);
  EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions + 1);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// Gauss-Jordan's pivot threshold follows the column's scale below 1: the
// inverse of a well-conditioned matrix in small units is found, where a fixed
// 1e-10 would stop at once; at magnitude 1 or more the fixed threshold holds.
TEST(MatInverse, PivotThresholdFollowsTheScaleOfSmallColumns) {
  for (long double scale : {1e-14L, 1e-9L, 1.0L}) {
    SCOPED_TRACE(static_cast<double>(scale));
    const Matrix A = FromRows({{2 * scale, scale}, {scale, 3 * scale}});  // det 5 scale^2
    Matrix inv;
    const PivotFailureCounts before = ThreadPivotFailures();
    Mat_Inverse(A, 2, inv);
    EXPECT_EQ(ThreadPivotFailures().inversions, before.inversions);
    const long double expected[2][2] = {{3 / (5 * scale), -1 / (5 * scale)},
                                        {-1 / (5 * scale), 2 / (5 * scale)}};
    for (int i = 1; i <= 2; ++i) {
      for (int j = 1; j <= 2; ++j) {
        EXPECT_NEAR(static_cast<double>(inv(i, j) * scale),
                    static_cast<double>(expected[i - 1][j - 1] * scale), 1e-15);
      }
    }
  }
  // A pivot of 5e-11 in a column whose largest entry is 1 is passed over.
  Matrix inv;
  Mat_Inverse(FromRows({{5e-11L, 1}, {1, 0}}), 2, inv);
  EXPECT_EQ(inv(1, 1), 0);
  EXPECT_EQ(inv(1, 2), 1);
}

}  // namespace
}  // namespace quorvane
