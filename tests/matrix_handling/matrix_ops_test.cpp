#include "matrix_handling/matrix_ops.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "matrix_handling/pattern.h"

namespace quorvane {
namespace {

// A dominant positive diagonal for Pattern: every leading block nonsingular,
// with positive variances.
constexpr long double kDominant = 100;

Vector VecPattern(int seed) {
  Vector v;
  for (int i = 1; i <= kMaxOrder; ++i) {
    v[i] = static_cast<long double>((i * 13 + seed * 7) % 17) / 4.0L + 0.5L;
  }
  return v;
}

// |actual - expected| <= ulps * LDBL_EPSILON * |expected|.
void ExpectRelNear(long double actual, long double expected, long double ulps,
                   const std::string& what) {
  EXPECT_LE(fabsl(actual - expected), ulps * LDBL_EPSILON * fabsl(expected))
      << what << ": got " << static_cast<double>(actual) << ", want "
      << static_cast<double>(expected);
}

// ---------------------------------------------------------------------------
// Aliasing: every output may be the very variable passed as an input.

struct MatrixCase {
  const char* name;
  int inputs;  // 1: only a is an input; 2: a and b
  std::function<void(Matrix& a, Matrix& b, Matrix& out)> run;
};

const std::vector<MatrixCase>& MatrixCases() {
  static const std::vector<MatrixCase> cases = {
      {"Mat_Copy", 1, [](Matrix& a, Matrix&, Matrix& o) { Mat_Copy(a, 4, o); }},
      {"Mat_Add", 2, [](Matrix& a, Matrix& b, Matrix& o) { Mat_Add(a, b, 4, o); }},
      {"Mat_Sub", 2, [](Matrix& a, Matrix& b, Matrix& o) { Mat_Sub(a, b, 4, o); }},
      {"Mat_Scale", 1, [](Matrix& a, Matrix&, Matrix& o) { Mat_Scale(4, a, o, 0.3L); }},
      {"Mat_Scale_Rect", 1,
       [](Matrix& a, Matrix&, Matrix& o) { Mat_Scale_Rect(3, 5, a, -1.7L, o); }},
      {"Mat_Div_Scalar", 1, [](Matrix& a, Matrix&, Matrix& o) { Mat_Div_Scalar(4, a, o, 3.1); }},
      {"Mat_Mult", 2, [](Matrix& a, Matrix& b, Matrix& o) { Mat_Mult(a, b, 4, o); }},
      {"Mat_Mult_Rect", 2,
       [](Matrix& a, Matrix& b, Matrix& o) { Mat_Mult_Rect(a, b, 3, 4, 5, o); }},
      {"Mat_Mult_Rect tall", 2,
       [](Matrix& a, Matrix& b, Matrix& o) { Mat_Mult_Rect(a, b, 6, 2, 3, o); }},
      {"Mat_Transpose", 1, [](Matrix& a, Matrix&, Matrix& o) { Mat_Transpose(a, 5, o); }},
      {"Mat_Transpose_Rect", 1,
       [](Matrix& a, Matrix&, Matrix& o) { Mat_Transpose_Rect(a, 3, 6, o); }},
      {"Mat_Scale_Both_Sides", 1,
       [](Matrix& a, Matrix&, Matrix& o) { Mat_Scale_Both_Sides(a, 4, VecPattern(1), o); }},
      {"Cov_To_Corr", 1,
       [](Matrix& a, Matrix&, Matrix& o) {
         Vector sd;
         Cov_To_Corr(a, 4, o, sd);
       }},
      {"Corr_To_SSCP", 1,
       [](Matrix& a, Matrix&, Matrix& o) { Corr_To_SSCP(a, 4, 12, VecPattern(2), o); }},
      {"SSCP_To_Cov", 1, [](Matrix& a, Matrix&, Matrix& o) { SSCP_To_Cov(a, 4, 9, o); }},
      {"Kronecker_Product", 2,
       [](Matrix& a, Matrix& b, Matrix& o) {
         int rows = 0;
         int cols = 0;
         bool ok = false;
         Kronecker_Product(a, b, 2, 3, 3, 2, o, rows, cols, ok);
         EXPECT_TRUE(ok);
       }},
  };
  return cases;
}

TEST(MatrixOpsAliasing, MatrixOutputAliasingAnInputGivesTheDistinctResult) {
  for (const MatrixCase& c : MatrixCases()) {
    for (int aliased = 1; aliased <= c.inputs; ++aliased) {
      SCOPED_TRACE(std::string(c.name) + (aliased == 1 ? ", output is a" : ", output is b"));
      const Matrix a0 = Pattern(1, kDominant);
      const Matrix b0 = Pattern(2, kDominant);

      // Distinct output that starts as the aliased input did, so that the
      // elements outside the live block compare too.
      Matrix a = a0;
      Matrix b = b0;
      Matrix expected = aliased == 1 ? a0 : b0;
      c.run(a, b, expected);
      ASSERT_EQ(a, a0) << "input a was written";
      ASSERT_EQ(b, b0) << "input b was written";

      Matrix x = aliased == 1 ? a0 : b0;
      Matrix other = aliased == 1 ? b0 : a0;
      if (aliased == 1) {
        c.run(x, other, x);
      } else {
        c.run(other, x, x);
      }
      EXPECT_EQ(x, expected);
    }
  }
}

TEST(MatrixOpsAliasing, VectorOutputAliasingAnInputGivesTheDistinctResult) {
  const Matrix A = Pattern(3, kDominant);
  const Vector a0 = VecPattern(4);
  const Vector b0 = VecPattern(5);
  struct VectorCase {
    const char* name;
    int inputs;
    std::function<void(Vector& a, Vector& b, Vector& out)> run;
  };
  const std::vector<VectorCase> cases = {
      {"Vec_Add", 2, [](Vector& a, Vector& b, Vector& o) { Vec_Add(6, a, b, o); }},
      {"Mat_Vec_Mult", 1, [&](Vector& a, Vector&, Vector& o) { Mat_Vec_Mult(A, 5, a, o); }},
      {"Mat_Vec_Mult_Rect", 1,
       [&](Vector& a, Vector&, Vector& o) { Mat_Vec_Mult_Rect(A, 3, 7, a, o); }},
      {"Mat_Vec_Mult_Rect tall", 1,
       [&](Vector& a, Vector&, Vector& o) { Mat_Vec_Mult_Rect(A, 7, 3, a, o); }},
  };
  for (const VectorCase& c : cases) {
    for (int aliased = 1; aliased <= c.inputs; ++aliased) {
      SCOPED_TRACE(std::string(c.name) + (aliased == 1 ? ", output is a" : ", output is b"));
      Vector a = a0;
      Vector b = b0;
      Vector expected = aliased == 1 ? a0 : b0;
      c.run(a, b, expected);
      Vector x = aliased == 1 ? a0 : b0;
      Vector other = aliased == 1 ? b0 : a0;
      if (aliased == 1) {
        c.run(x, other, x);
      } else {
        c.run(other, x, x);
      }
      EXPECT_EQ(x, expected);
    }
  }
}

TEST(MatrixOpsAliasing, DataCentreInPlace) {
  DataMatrix X(30);
  for (int i = 1; i <= 30; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) X(i, j) = static_cast<long double>(i * j % 11) / 3.0L;
  }
  DataMatrix expected = X;
  Data_Centre(X, 25, 4, expected);
  Data_Centre(X, 25, 4, X);
  EXPECT_EQ(X, expected);
}

// ---------------------------------------------------------------------------
// Sizes of 0: element loops do nothing, whole-array clearing still happens.

TEST(MatrixOpsEmptyBlock, SizeZeroChangesNothingButWholeArrayClearsStillHappen) {
  struct ZeroCase {
    const char* name;
    bool clears;
    std::function<void(const Matrix& in, Matrix& out)> run;
  };
  const std::vector<ZeroCase> cases = {
      {"Mat_Copy", false, [](const Matrix& in, Matrix& o) { Mat_Copy(in, 0, o); }},
      {"Mat_Add", false, [](const Matrix& in, Matrix& o) { Mat_Add(in, in, 0, o); }},
      {"Mat_Sub", false, [](const Matrix& in, Matrix& o) { Mat_Sub(in, in, 0, o); }},
      {"Mat_Scale", false, [](const Matrix& in, Matrix& o) { Mat_Scale(0, in, o, 2.0L); }},
      {"Mat_Scale_In_Place", false, [](const Matrix&, Matrix& o) { Mat_Scale_In_Place(0, o, 2); }},
      {"Mat_Scale_Rect", false,
       [](const Matrix& in, Matrix& o) { Mat_Scale_Rect(0, 5, in, 2.0L, o); }},
      {"Mat_Div_Scalar", false, [](const Matrix& in, Matrix& o) { Mat_Div_Scalar(0, in, o, 0); }},
      {"Mat_Mult", false, [](const Matrix& in, Matrix& o) { Mat_Mult(in, in, 0, o); }},
      {"Mat_Mult_Rect", false,
       [](const Matrix& in, Matrix& o) { Mat_Mult_Rect(in, in, 0, 3, 3, o); }},
      {"Mat_Transpose", false, [](const Matrix& in, Matrix& o) { Mat_Transpose(in, 0, o); }},
      {"Mat_Scale_Both_Sides", false,
       [](const Matrix& in, Matrix& o) { Mat_Scale_Both_Sides(in, 0, VecPattern(1), o); }},
      {"Corr_To_SSCP", false,
       [](const Matrix& in, Matrix& o) { Corr_To_SSCP(in, 0, 5, VecPattern(1), o); }},
      {"SSCP_To_Cov", false, [](const Matrix& in, Matrix& o) { SSCP_To_Cov(in, 0, 5, o); }},
      {"Cov_To_Corr", false,
       [](const Matrix& in, Matrix& o) {
         Vector sd = VecPattern(3);
         Cov_To_Corr(in, 0, o, sd);
         EXPECT_EQ(sd, Vector()) << "all 20 elements of sd are cleared";
       }},
      {"Mat_Transpose_Rect", true,
       [](const Matrix& in, Matrix& o) { Mat_Transpose_Rect(in, 0, 0, o); }},
      {"Mat_Zero", true, [](const Matrix&, Matrix& o) { Mat_Zero(o); }},
  };
  const Matrix in = Pattern(7, kDominant);
  for (const ZeroCase& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix out = Pattern(8, kDominant);
    c.run(in, out);
    EXPECT_EQ(out, c.clears ? Matrix() : Pattern(8, kDominant));
  }

  Vector v = VecPattern(1);
  Vec_Fill(0, v, 9.0L);
  Vec_Add(0, v, v, v);
  Mat_Vec_Mult(in, 0, v, v);
  EXPECT_EQ(v, VecPattern(1));
}

// ---------------------------------------------------------------------------
// Order of operations.

// With the terms 1, 1e20, -1e20 an accumulator that starts at 0 and takes the
// terms with the inner index ascending loses the 1 (1e20 + 1 rounds to 1e20,
// whose spacing in extended precision is 16) and ends at exactly 0; summing
// in the reverse order gives exactly 1.
TEST(MatrixOpsOrder, SumsOfProductsAccumulateWithInnerIndexAscending) {
  const long double terms[3] = {1.0L, 1e20L, -1e20L};
  Matrix A;
  Matrix B;
  Vector x;
  for (int k = 1; k <= 3; ++k) {
    A(1, k) = terms[k - 1];
    A(2, k) = terms[3 - k];  // reversed row: the exact 1 survives
    B(k, 1) = 1.0L;
    B(k, 2) = 2.0L;
    x[k] = 1.0L;
  }
  DataMatrix X(3);
  DataMatrixT XT(3);
  for (int k = 1; k <= 3; ++k) {
    XT(1, k) = terms[k - 1];
    XT(2, k) = terms[3 - k];
    X(k, 1) = 1.0L;
    X(k, 2) = 1.0L;
  }

  Matrix T;
  Mat_Mult(A, B, 3, T);
  EXPECT_EQ(T(1, 1), 0.0L);
  EXPECT_EQ(T(2, 1), 1.0L);
  EXPECT_EQ(T(1, 2), 0.0L);
  EXPECT_EQ(T(2, 2), 2.0L);

  Matrix R;
  Mat_Mult_Rect(A, B, 2, 3, 2, R);
  EXPECT_EQ(R(1, 1), 0.0L);
  EXPECT_EQ(R(2, 1), 1.0L);

  Vector y;
  Mat_Vec_Mult(A, 3, x, y);
  EXPECT_EQ(y[1], 0.0L);
  EXPECT_EQ(y[2], 1.0L);
  Vector z;
  Mat_Vec_Mult_Rect(A, 2, 3, x, z);
  EXPECT_EQ(z[1], 0.0L);
  EXPECT_EQ(z[2], 1.0L);

  Matrix C;
  Data_Cross_Product(XT, X, 2, 3, C);
  EXPECT_EQ(C(1, 1), 0.0L);
  EXPECT_EQ(C(2, 1), 1.0L);
}

// Products of three factors are formed left to right. With A = 1e4000,
// v[1] = 1e1000 and v[2] = 1e-1000, (A v1) overflows before v2 can bring it
// back, so the left-to-right order gives +inf where A (v1 v2) would give 1e4000.
TEST(MatrixOpsOrder, ThreeFactorProductsAreFormedLeftToRight) {
  Matrix A;
  A(1, 2) = 1e4000L;
  Vector v;
  v[1] = 1e1000L;
  v[2] = 1e-1000L;
  Matrix B;
  Mat_Scale_Both_Sides(A, 2, v, B);
  EXPECT_EQ(B(1, 2), std::numeric_limits<long double>::infinity());

  Matrix C;
  Corr_To_SSCP(A, 2, 11, v, C);
  EXPECT_EQ(C(1, 2), std::numeric_limits<long double>::infinity());
}

// R[i,j] divides by sqrt(S[j,j]) * sqrt(S[i,i]); a product of the variances
// themselves would overflow here (1e4000 * 1e4000) and give 0.
TEST(MatrixOpsOrder, CovToCorrDividesByTheProductOfRoots) {
  Matrix S;
  S(1, 1) = 1e4000L;
  S(2, 2) = 4e4000L;
  S(1, 2) = S(2, 1) = 1e4000L;  // correlation 1e4000 / (1e2000 * 2e2000) = 0.5
  Matrix R;
  Vector sd = VecPattern(1);
  Cov_To_Corr(S, 2, R, sd);
  ExpectRelNear(R(1, 2), 0.5L, 4, "R[1,2]");
  ExpectRelNear(R(2, 1), 0.5L, 4, "R[2,1]");
  ExpectRelNear(sd[1], 1e2000L, 1, "sd[1]");
  ExpectRelNear(sd[2], 2e2000L, 1, "sd[2]");
  for (int i = 3; i <= kMaxOrder; ++i) EXPECT_EQ(sd[i], 0.0L) << i;
}

TEST(MatrixOps, DivisionByZeroGivesInfinitiesAndNotANumber) {
  Matrix A;
  A(1, 1) = 2.0L;
  A(1, 2) = -3.0L;  // (2,1) and (2,2) stay 0
  Matrix B;
  Mat_Div_Scalar(2, A, B, 0.0);
  EXPECT_EQ(B(1, 1), std::numeric_limits<long double>::infinity());
  EXPECT_EQ(B(1, 2), -std::numeric_limits<long double>::infinity());
  EXPECT_TRUE(std::isnan(B(2, 1)));
  EXPECT_TRUE(std::isnan(B(2, 2)));
}

// The divisor is a double: 0.1 is rounded to double before the division, so
// 1 / 0.1 is not exactly 10 as it would be with the extended 0.1L either.
TEST(MatrixOps, DivScalarDividesByTheDoubleDivisor) {
  Matrix A;
  A(1, 1) = 1.0L;
  Matrix B;
  Mat_Div_Scalar(1, A, B, 0.1);
  EXPECT_EQ(B(1, 1), 1.0L / static_cast<long double>(0.1));
  EXPECT_NE(B(1, 1), 1.0L / 0.1L);
}

// ---------------------------------------------------------------------------
// Products and transposes on small hand-worked cases.

TEST(MatrixOps, RectangularProductsAndTransposes) {
  Matrix A;  // 2 x 3
  A(1, 1) = 1;
  A(1, 2) = 2;
  A(1, 3) = 3;
  A(2, 1) = 4;
  A(2, 2) = 5;
  A(2, 3) = 6;
  Matrix B;  // 3 x 2
  B(1, 1) = 7;
  B(1, 2) = 8;
  B(2, 1) = 9;
  B(2, 2) = 10;
  B(3, 1) = 11;
  B(3, 2) = 12;
  Matrix T = Pattern(4, kDominant);
  Mat_Mult_Rect(A, B, 2, 3, 2, T);
  EXPECT_EQ(T(1, 1), 58.0L);
  EXPECT_EQ(T(1, 2), 64.0L);
  EXPECT_EQ(T(2, 1), 139.0L);
  EXPECT_EQ(T(2, 2), 154.0L);
  EXPECT_EQ(T(1, 3), Pattern(4, kDominant)(1, 3)) << "outside the block untouched";

  Vector x;
  x[1] = 1;
  x[2] = -1;
  x[3] = 2;
  Vector y = VecPattern(2);
  Mat_Vec_Mult_Rect(A, 2, 3, x, y);
  EXPECT_EQ(y[1], 5.0L);
  EXPECT_EQ(y[2], 11.0L);
  EXPECT_EQ(y[3], VecPattern(2)[3]);

  Matrix At = Pattern(5, kDominant);
  Mat_Transpose_Rect(A, 2, 3, At);
  Matrix expected;
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) expected(j, i) = A(i, j);
  }
  EXPECT_EQ(At, expected) << "transpose is 3 x 2 and the rest cleared";

  Matrix Bt = Pattern(6, kDominant);
  Mat_Transpose(Pattern(7, kDominant), 3, Bt);
  for (int i = 1; i <= kMaxOrder; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) {
      EXPECT_EQ(Bt(i, j),
                (i <= 3 && j <= 3) ? Pattern(7, kDominant)(j, i) : Pattern(6, kDominant)(i, j));
    }
  }
}

// ---------------------------------------------------------------------------
// Data tables.

TEST(DataMatrixOps, FillMissingCoversTheWholeCapacity) {
  DataMatrix X(600);
  Data_Fill_Missing(X);
  for (int i = 1; i <= 600; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) ASSERT_EQ(X(i, j), MissingValueMarker) << i << "," << j;
  }
  EXPECT_TRUE(Data_Has_Missing(600, 20, X));
}

TEST(DataMatrixOps, HasMissingIsExactAndBoundedByTheBlock) {
  const long double above = nextafterl(MissingValueMarker, 0.0L);
  const long double below = nextafterl(MissingValueMarker, -1e9L);
  struct Case {
    const char* name;
    int row;
    int col;
    long double value;
    bool expected;
  };
  const Case cases[] = {
      {"marker at the first cell", 1, 1, MissingValueMarker, true},
      {"marker at the last live cell", 5, 3, MissingValueMarker, true},
      {"one ulp above the marker", 2, 2, above, false},
      {"one ulp below the marker", 2, 2, below, false},
      {"the double nearest the marker", 2, 2, static_cast<long double>(-99999.999), false},
      {"marker in the row after the block", 6, 1, MissingValueMarker, false},
      {"marker in the column after the block", 1, 4, MissingValueMarker, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataMatrix X;
    X(c.row, c.col) = c.value;
    EXPECT_EQ(Data_Has_Missing(5, 3, X), c.expected);
  }
}

TEST(DataMatrixOps, GetRowAndTransposeWriteOnlyTheirBlock) {
  DataMatrix X(4);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) X(i, j) = 100.0L * i + j;
  }
  Vector v = VecPattern(1);
  Data_Get_Row(X, 4, 3, v);
  EXPECT_EQ(v[1], 401.0L);
  EXPECT_EQ(v[3], 403.0L);
  EXPECT_EQ(v[4], VecPattern(1)[4]);

  DataMatrixT XT(4);
  XT(4, 4) = -7.0L;
  XT(1, 4) = -8.0L;
  Data_Transpose(X, 3, 2, XT);
  EXPECT_EQ(XT(2, 3), 302.0L);
  EXPECT_EQ(XT(1, 1), 101.0L);
  EXPECT_EQ(XT(4, 4), -7.0L) << "XT is not cleared";
  EXPECT_EQ(XT(1, 4), -8.0L) << "XT is not cleared";
}

// Reference values for a 5 x 3 table, computed with Python's fractions
// (exact means and covariances) and decimal (square roots to 40 digits).
// Tolerances: means within 2 ulps, SDs within 4 ulps, correlations within 8
// ulps of the exact value (the table's values are exact in binary; the rounded
// means and the centring make up the error).
TEST(DataMatrixOps, SummaryMatchesExactReference) {
  const long double data[5][3] = {{10.0L, 3.5L, 100.0L},
                                  {12.0L, 2.25L, 98.0L},
                                  {14.0L, 4.0L, 105.0L},
                                  {11.0L, 3.0L, 99.5L},
                                  {13.5L, 2.75L, 101.0L}};
  DataMatrix X;
  Data_Fill_Missing(X);  // cells outside the block must not be read
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 3; ++j) X(i, j) = data[i - 1][j - 1];
  }
  Matrix R = Pattern(1, kDominant);
  Vector mean = VecPattern(1);
  Vector sd = VecPattern(2);
  Data_Summary(X, 5, 3, R, mean, sd);

  const long double wantMean[3] = {12.1L, 3.1L, 100.7L};
  const long double wantSd[3] = {1.673320053068151095956344051570374978786L,
                                 0.6754628043053148015436708428717185797122L,
                                 2.636285265292813489384325079940576109034L};
  const long double r12 = 0.1271825121210950343087745997112719869710L;
  const long double r13 = 0.6602288778296861651256023493693064051243L;
  const long double r23 = 0.8283200603635707972584009228772645813527L;
  const long double wantR[3][3] = {{1.0L, r12, r13}, {r12, 1.0L, r23}, {r13, r23, 1.0L}};
  for (int j = 1; j <= 3; ++j) {
    ExpectRelNear(mean[j], wantMean[j - 1], 2, "mean " + std::to_string(j));
    ExpectRelNear(sd[j], wantSd[j - 1], 4, "sd " + std::to_string(j));
    for (int l = 1; l <= 3; ++l) {
      ExpectRelNear(R(j, l), wantR[j - 1][l - 1], 8,
                    "R " + std::to_string(j) + "," + std::to_string(l));
    }
  }
  for (int j = 4; j <= kMaxOrder; ++j) {
    EXPECT_EQ(sd[j], 0.0L);
    EXPECT_EQ(mean[j], VecPattern(1)[j]) << "mean beyond cols untouched";
  }
  EXPECT_EQ(R(1, 4), Pattern(1, kDominant)(1, 4)) << "R outside the block untouched";
}

// ---------------------------------------------------------------------------
// Kronecker product.

TEST(KroneckerProduct, FillsTheFullTwentyByTwenty) {
  const Matrix A = Pattern(1, kDominant);
  const Matrix B = Pattern(2, kDominant);
  Matrix K = Pattern(3, kDominant);
  int rows = -1;
  int cols = -1;
  bool ok = false;
  Kronecker_Product(A, B, 5, 5, 4, 4, K, rows, cols, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(rows, 20);
  EXPECT_EQ(cols, 20);
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 5; ++j) {
      for (int f = 1; f <= 4; ++f) {
        for (int h = 1; h <= 4; ++h) {
          ASSERT_EQ(K((i - 1) * 4 + f, (j - 1) * 4 + h), A(i, j) * B(f, h));
        }
      }
    }
  }
}

TEST(KroneckerProduct, RectangularResultClearsTheRest) {
  const Matrix A = Pattern(1, kDominant);
  const Matrix B = Pattern(2, kDominant);
  Matrix K = Pattern(3, kDominant);
  int rows = 0;
  int cols = 0;
  bool ok = false;
  Kronecker_Product(A, B, 2, 3, 3, 2, K, rows, cols, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(rows, 6);
  EXPECT_EQ(cols, 6);
  EXPECT_EQ(K(4, 3), A(2, 2) * B(1, 1));
  EXPECT_EQ(K(6, 6), A(2, 3) * B(3, 2));
  for (int i = 1; i <= kMaxOrder; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) {
      if (i > 6 || j > 6) {
        ASSERT_EQ(K(i, j), 0.0L) << i << "," << j;
      }
    }
  }
}

TEST(KroneckerProduct, TooLargeLeavesEverythingAsItWas) {
  struct Case {
    int ar, ac, br, bc;
  };
  const Case cases[] = {{3, 3, 7, 7}, {3, 1, 7, 1}, {1, 7, 1, 3}, {21, 1, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ar << "x" << c.ac << " (x) " << c.br << "x" << c.bc);
    Matrix K = Pattern(3, kDominant);
    int rows = -5;
    int cols = -6;
    bool ok = true;
    Kronecker_Product(Pattern(1, kDominant), Pattern(2, kDominant), c.ar, c.ac, c.br, c.bc, K, rows,
                      cols, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(K, Pattern(3, kDominant));
    EXPECT_EQ(rows, -5);
    EXPECT_EQ(cols, -6);
  }
}

// ---------------------------------------------------------------------------
// Quicksort.

// Sorts v[lo..hi] of a buffer with guards on both sides. The guards below lo
// are larger, and those above hi smaller, than every value: a scan that ran
// past either end would pick them up and move them.
void ExpectSortsInsideGuards(const std::vector<long double>& values) {
  const long double big = 1e30L;
  std::vector<long double> buffer = {big, big, big};
  const int lo = static_cast<int>(buffer.size()) + 1;
  buffer.insert(buffer.end(), values.begin(), values.end());
  const int hi = static_cast<int>(buffer.size());
  buffer.insert(buffer.end(), {-big, -big, -big});

  Vec_Quicksort(lo, hi, buffer);

  std::vector<long double> expected = values;
  std::sort(expected.begin(), expected.end());
  const std::vector<long double> got(buffer.begin() + lo - 1, buffer.begin() + hi);
  EXPECT_EQ(got, expected);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(buffer[static_cast<std::size_t>(g)], big);
    EXPECT_EQ(buffer[buffer.size() - 1 - static_cast<std::size_t>(g)], -big);
  }
}

TEST(VecQuicksort, SmallArrays) {
  struct Case {
    const char* name;
    std::vector<long double> values;
  };
  const std::vector<Case> cases = {
      {"pivot smaller than every other element", {5, 3, 9, 1, 7, 0}},
      {"pivot smallest with equal neighbours", {2, 2, 2, -1}},
      {"pivot largest", {5, 3, 9, 1, 7, 10}},
      {"already sorted", {1, 2, 3, 4, 5, 6, 7, 8}},
      {"reverse sorted", {8, 7, 6, 5, 4, 3, 2, 1}},
      {"all equal", {4, 4, 4, 4, 4, 4, 4}},
      {"two elements", {2, 1}},
      {"one element", {3}},
      {"duplicates and negatives", {0.5L, -2, 3, -2, 0.5L, 7, 3, -9, 0.5L}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSortsInsideGuards(c.values);
  }
}

// The downward scan must stop at lo. Here v[lo] is the first element of a
// page whose predecessor is unreadable, so one read below lo is a crash; the
// pivot (0) is smaller than every other element, which sends the scan as far
// down as it can go.
TEST(VecQuicksort, DownwardScanNeverReadsBelowLo) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* base = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(base, MAP_FAILED);
  ASSERT_EQ(mprotect(base, page, PROT_NONE), 0);
  auto* first = reinterpret_cast<long double*>(static_cast<char*>(base) + page);
  const std::vector<long double> values = {5, 3, 9, 1, 7, 8, 2, 0};
  std::copy(values.begin(), values.end(), first);
  std::span<long double> v(first, values.size());
  EXPECT_EXIT(
      {
        Vec_Quicksort(1, static_cast<int>(values.size()), v);
        std::exit(std::is_sorted(v.begin(), v.end()) ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  munmap(base, 2 * page);
}

TEST(VecQuicksort, EmptyAndReversedRangesChangeNothing) {
  std::vector<long double> v = {3, 1, 2};
  Vec_Quicksort(2, 1, v);
  Vec_Quicksort(3, 3, v);
  Vec_Quicksort(1, 0, v);
  EXPECT_EQ(v, (std::vector<long double>{3, 1, 2}));
}

TEST(VecQuicksort, MatchesStdSortOnRandomValuesWithDuplicates) {
  std::mt19937_64 engine(20240611);
  std::uniform_real_distribution<double> real(-5.0, 5.0);
  std::uniform_int_distribution<int> coarse(-40, 40);
  std::vector<long double> v(100000);
  for (std::size_t i = 0; i < v.size(); ++i) {
    // Half the values come from 81 levels, so there are many duplicates.
    v[i] = (i % 2 == 0) ? static_cast<long double>(coarse(engine)) / 8.0L
                        : static_cast<long double>(real(engine)) / 3.0L;
  }
  std::vector<long double> expected = v;
  std::sort(expected.begin(), expected.end());
  Vec_Quicksort(1, static_cast<int>(v.size()), v);
  EXPECT_EQ(v, expected);
}

// Sorted input is the worst case of a last-element pivot: every partition
// leaves all other elements on one side. A plain recursion on both sides
// would nest 20,000 calls deep; the sort must run in a 64 KiB stack.
TEST(VecQuicksort, WorstCaseInputRunsInASmallStack) {
  struct Job {
    std::vector<long double> v;
  };
  for (const bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    Job job;
    for (int i = 0; i < 20000; ++i) {
      job.v.push_back(static_cast<long double>(descending ? 20000 - i : i));
    }
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
    pthread_t thread;
    auto body = [](void* p) -> void* {
      auto* j = static_cast<Job*>(p);
      Vec_Quicksort(1, static_cast<int>(j->v.size()), j->v);
      return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &job), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(std::is_sorted(job.v.begin(), job.v.end()));
    EXPECT_EQ(job.v.front(), descending ? 1.0L : 0.0L);
  }
}

// Not-a-number compares false with everything. The sort must still stay
// inside lo..hi, keep every value, and order the other values.
TEST(VecQuicksort, NotANumberStaysInsideTheRange) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const std::vector<std::vector<long double>> cases = {
      {3, nan, 1, 2},
      {3, 1, 2, nan},
      {nan, nan, nan},
      {5, nan, 4, 3, nan, 2, 1, 0},
  };
  for (const auto& values : cases) {
    const long double big = 1e30L;
    std::vector<long double> buffer = {big};
    buffer.insert(buffer.end(), values.begin(), values.end());
    buffer.push_back(-big);
    Vec_Quicksort(2, static_cast<int>(values.size()) + 1, buffer);
    EXPECT_EQ(buffer.front(), big);
    EXPECT_EQ(buffer.back(), -big);
    std::vector<long double> numbers;
    int nans = 0;
    for (std::size_t i = 1; i + 1 < buffer.size(); ++i) {
      if (std::isnan(buffer[i])) {
        ++nans;
      } else {
        numbers.push_back(buffer[i]);
      }
    }
    EXPECT_EQ(nans, std::count_if(values.begin(), values.end(),
                                  [](long double x) { return std::isnan(x); }));
    std::vector<long double> expected;
    for (long double x : values) {
      if (!std::isnan(x)) expected.push_back(x);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(numbers, expected);
  }
}

}  // namespace
}  // namespace quorvane
