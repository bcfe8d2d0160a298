// Elementary operations on the fixed-size arrays. See matrix_ops.h for the
// aliasing rule and the order in which sums of products are accumulated.
#include "matrix_handling/matrix_ops.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace quorvane {

namespace {

// Uninitialised room for the live block of a Matrix result, used only when an
// output aliases an input that is still being read. Only the elements that are
// written are read back.
struct Scratch {
  long double e[kMaxOrder * kMaxOrder];
  long double& operator()(int i, int j) { return e[(i - 1) * kMaxOrder + (j - 1)]; }
  const long double& operator()(int i, int j) const { return e[(i - 1) * kMaxOrder + (j - 1)]; }
};

// Copies the rows x cols block of src into dst.
template <class Src>
void CopyBlock(const Src& src, int rows, int cols, Matrix& dst) {
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) dst(i, j) = src(i, j);
  }
}

// out (rows x cols) = A (rows x inner) times B (inner x cols); each element is
// accumulated from 0 as acc = A[i,k] * B[k,j] + acc with k ascending.
template <class Out>
void MultInto(const Matrix& A, const Matrix& B, int rows, int inner, int cols, Out& out) {
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) {
      long double acc = 0.0L;
      for (int k = 1; k <= inner; ++k) acc = A(i, k) * B(k, j) + acc;
      out(i, j) = acc;
    }
  }
}

// y[i] = sum over j = 1..cols of A[i,j] x[j], i = 1..rows, written to out[i - 1].
void MatVecInto(const Matrix& A, int rows, int cols, const Vector& x, long double* out) {
  for (int i = 1; i <= rows; ++i) {
    long double acc = 0.0L;
    for (int j = 1; j <= cols; ++j) acc = A(i, j) * x[j] + acc;
    out[i - 1] = acc;
  }
}

// Stores the blocks A[i,j] * B of A (x) B into K.
template <class Out>
void KroneckerInto(const Matrix& A, const Matrix& B, int a_rows, int a_cols, int b_rows, int b_cols,
                   Out& K) {
  for (int i = 1; i <= a_rows; ++i) {
    for (int j = 1; j <= a_cols; ++j) {
      const long double a = A(i, j);
      for (int f = 1; f <= b_rows; ++f) {
        for (int h = 1; h <= b_cols; ++h) {
          K((i - 1) * b_rows + f, (j - 1) * b_cols + h) = a * B(f, h);
        }
      }
    }
  }
}

}  // namespace

// --- clearing, copying, filling

void Mat_Zero(Matrix& M) {
  std::fill_n(M.data(), kMaxOrder * kMaxOrder, 0.0L);
}

void Mat_Copy(const Matrix& A, int n, Matrix& B) {
  if (&A == &B) return;
  CopyBlock(A, n, n, B);
}

void Vec_Fill(int n, Vector& v, long double x) {
  for (int i = 1; i <= n; ++i) v[i] = x;
}

// --- element-wise sums and differences (alias-safe as they stand)

void Vec_Add(int n, const Vector& a, const Vector& b, Vector& c) {
  for (int i = 1; i <= n; ++i) c[i] = a[i] + b[i];
}

void Mat_Add(const Matrix& A, const Matrix& B, int n, Matrix& T) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) T(i, j) = A(i, j) + B(i, j);
  }
}

void Mat_Sub(const Matrix& A, const Matrix& B, int n, Matrix& T) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) T(i, j) = A(i, j) - B(i, j);
  }
}

// --- scalar multiplication and division

void Mat_Scale(int n, const Matrix& A, Matrix& B, long double x) {
  Mat_Scale_Rect(n, n, A, x, B);
}

void Mat_Scale_In_Place(int n, Matrix& M, long double x) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) M(i, j) = x * M(i, j);
  }
}

void Mat_Scale_Rect(int rows, int cols, const Matrix& A, long double x, Matrix& B) {
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) B(i, j) = x * A(i, j);
  }
}

void Mat_Div_Scalar(int n, const Matrix& A, Matrix& B, double x) {
  const long double divisor = static_cast<long double>(x);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) B(i, j) = A(i, j) / divisor;
  }
}

// --- products and transposes

void Mat_Mult(const Matrix& A, const Matrix& B, int n, Matrix& T) {
  Mat_Mult_Rect(A, B, n, n, n, T);
}

void Mat_Mult_Rect(const Matrix& A, const Matrix& B, int rows, int inner, int cols, Matrix& T) {
  if (&T == &A || &T == &B) {
    Scratch product;
    MultInto(A, B, rows, inner, cols, product);
    CopyBlock(product, rows, cols, T);
  } else {
    MultInto(A, B, rows, inner, cols, T);
  }
}

void Mat_Vec_Mult(const Matrix& A, int n, const Vector& x, Vector& y) {
  // y[1..n] is cleared and then every one of those elements is overwritten,
  // so only the products are stored.
  Mat_Vec_Mult_Rect(A, n, n, x, y);
}

void Mat_Vec_Mult_Rect(const Matrix& A, int rows, int cols, const Vector& x, Vector& y) {
  if (&y == &x) {
    long double product[kMaxOrder];
    MatVecInto(A, rows, cols, x, product);
    for (int i = 1; i <= rows; ++i) y[i] = product[i - 1];
  } else {
    MatVecInto(A, rows, cols, x, y.data());
  }
}

void Mat_Transpose(const Matrix& A, int n, Matrix& B) {
  if (&A == &B) {
    for (int i = 1; i <= n; ++i) {
      for (int j = i + 1; j <= n; ++j) std::swap(B(i, j), B(j, i));
    }
    return;
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) B(j, i) = A(i, j);
  }
}

void Mat_Transpose_Rect(const Matrix& A, int rows, int cols, Matrix& B) {
  if (&A == &B) {
    Scratch transposed;
    for (int i = 1; i <= rows; ++i) {
      for (int j = 1; j <= cols; ++j) transposed(j, i) = A(i, j);
    }
    Mat_Zero(B);
    CopyBlock(transposed, cols, rows, B);
    return;
  }
  Mat_Zero(B);
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) B(j, i) = A(i, j);
  }
}

// --- covariance, correlation and sums of squares

void Mat_Scale_Both_Sides(const Matrix& A, int n, const Vector& v, Matrix& B) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) B(i, j) = A(i, j) * v[i] * v[j];
  }
}

void Cov_To_Corr(const Matrix& S, int n, Matrix& R, Vector& sd) {
  // The square roots of the diagonal are taken before R is written, so R may
  // be the same variable as S.
  long double root[kMaxOrder];
  for (int i = 1; i <= n; ++i) root[i - 1] = sqrtl(S(i, i));
  Vec_Fill(kMaxOrder, sd, 0.0L);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) R(i, j) = S(i, j) / (root[j - 1] * root[i - 1]);
    sd[i] = root[i - 1];
  }
}

void Corr_To_SSCP(const Matrix& R, int n, int N, const Vector& sd, Matrix& B) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) B(i, j) = R(i, j) * sd[i] * sd[j];
  }
  const long double factor = static_cast<long double>(N - 1);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) B(i, j) = B(i, j) * factor;
  }
}

void SSCP_To_Cov(const Matrix& A, int n, int N, Matrix& S) {
  const long double divisor = static_cast<long double>(N - 1);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) S(i, j) = A(i, j) / divisor;
  }
}

// --- data matrices

void Data_Fill_Missing(DataMatrix& X) {
  std::fill_n(X.data(), X.size(), MissingValueMarker);
}

bool Data_Has_Missing(int rows, int cols, const DataMatrix& X) {
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) {
      if (X(i, j) == MissingValueMarker) return true;
    }
  }
  return false;
}

void Data_Get_Row(const DataMatrix& X, int row, int n, Vector& v) {
  for (int j = 1; j <= n; ++j) v[j] = X(row, j);
}

void Data_Col_Means(const DataMatrix& X, int rows, int cols, Vector& mean) {
  Vec_Fill(cols, mean, 0.0L);
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) mean[j] = mean[j] + X(i, j);
  }
  const long double count = static_cast<long double>(rows);
  for (int j = 1; j <= cols; ++j) mean[j] = mean[j] / count;
}

void Data_Centre(const DataMatrix& X, int rows, int cols, DataMatrix& Xc) {
  Vector mean;
  Data_Col_Means(X, rows, cols, mean);
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) Xc(i, j) = X(i, j) - mean[j];
  }
}

void Data_Transpose(const DataMatrix& X, int rows, int cols, DataMatrixT& XT) {
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j) XT(j, i) = X(i, j);
  }
}

void Data_Cross_Product(const DataMatrixT& XT, const DataMatrix& X, int cols, int rows, Matrix& T) {
  for (int i = 1; i <= cols; ++i) {
    for (int j = 1; j <= cols; ++j) {
      long double acc = 0.0L;
      for (int k = 1; k <= rows; ++k) acc = XT(i, k) * X(k, j) + acc;
      T(i, j) = acc;
    }
  }
}

void Data_SSCP(const DataMatrix& X, int rows, int cols, Matrix& T) {
  // Working tables of just the rows and columns in use.
  const int used = std::max(rows, 0);
  const int width = std::clamp(cols, 0, kMaxOrder);
  DataMatrix centred(used, width);
  Data_Centre(X, rows, cols, centred);
  DataMatrixT centredT(used, width);
  Data_Transpose(centred, rows, cols, centredT);
  Data_Cross_Product(centredT, centred, cols, rows, T);
}

void Data_Summary(const DataMatrix& X, int rows, int cols, Matrix& R, Vector& mean, Vector& sd) {
  Matrix sscp;
  Data_SSCP(X, rows, cols, sscp);
  Matrix cov;
  SSCP_To_Cov(sscp, cols, rows, cov);
  Cov_To_Corr(cov, cols, R, sd);
  Data_Col_Means(X, rows, cols, mean);
}

// --- Kronecker product and sort

void Kronecker_Product(const Matrix& A, const Matrix& B, int a_rows, int a_cols, int b_rows,
                       int b_cols, Matrix& K, int& k_rows, int& k_cols, bool& ok) {
  ok = true;
  if (a_rows * b_rows > kMaxOrder || a_cols * b_cols > kMaxOrder) {
    ok = false;
    return;
  }
  k_rows = a_rows * b_rows;
  k_cols = a_cols * b_cols;
  if (&K == &A || &K == &B) {
    // K is cleared before the blocks are stored: build the product aside.
    // Every element of the k_rows x k_cols block is written.
    Scratch product;
    KroneckerInto(A, B, a_rows, a_cols, b_rows, b_cols, product);
    Mat_Zero(K);
    CopyBlock(product, k_rows, k_cols, K);
    return;
  }
  Mat_Zero(K);
  KroneckerInto(A, B, a_rows, a_cols, b_rows, b_cols, K);
}

void Vec_Quicksort(int lo, int hi, std::span<long double> v) {
  long double* const base = v.data();
  auto at = [base](int i) -> long double& { return base[static_cast<std::ptrdiff_t>(i) - 1]; };
  // The smaller side is sorted by a recursive call and the larger one by the
  // next turn of this loop, so the recursion depth stays below log2(hi - lo + 1)
  // whatever the input. The two sides are disjoint, so the result is the same as
  // sorting the left side first and then the right side.
  while (hi > lo) {
    const long double pivot = at(hi);
    int i = lo - 1;
    int j = hi;
    for (;;) {
      // The pivot at hi stops this scan; the bound matters only when the pivot
      // is not-a-number, which compares false with everything.
      do {
        ++i;
      } while (i < hi && !(at(i) >= pivot));
      do {
        --j;
      } while (j > lo && !(at(j) <= pivot));
      if (i < j) std::swap(at(i), at(j));
      if (j <= i) break;
    }
    std::swap(at(i), at(hi));
    if (i - lo < hi - i) {
      Vec_Quicksort(lo, i - 1, v);
      lo = i + 1;
    } else {
      Vec_Quicksort(i + 1, hi, v);
      hi = i - 1;
    }
  }
}

}  // namespace quorvane
