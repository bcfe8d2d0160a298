// Cholesky factorisation, positive-definiteness test, Gauss-Jordan inversion,
// block selection and conditional-normal moments.
#include "matrix_handling/decompositions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "matrix_handling/matrix_ops.h"

namespace quorvane {

namespace {

using detail::kCholThreshold;
using detail::kPivotThreshold;
using detail::PivotScale;

// printf-style formatting of any length (a long double printed with %f may
// need thousands of characters).
template <class... Args>
std::string Format(const char* format, Args... args) {
  char small[128];
  const int needed = std::snprintf(small, sizeof small, format, args...);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

// Uninitialised n x n working copy for the elimination.
struct Work {
  long double e[kMaxOrder * kMaxOrder];
  long double& operator()(int i, int j) { return e[(i - 1) * kMaxOrder + (j - 1)]; }
};

// A pivot is accepted only when it reaches the threshold (or, under the
// Usable rule, is a positive finite number); a not-a-number pivot (from a
// zero-variance variable, say) is a failure, not a success.
bool PivotTooSmall(long double sum, long double diagonal, PivotRule rule) {
  if (rule == PivotRule::Usable) return !(sum > 0 && std::isfinite(sum));
  return !(sum >= kCholThreshold * PivotScale(diagonal));
}

}  // namespace

namespace detail {

CholOutcome CholFactorLower(int n, Matrix& A, PivotRule rule) {
  if (n < 1) return {};  // an empty block has nothing to factor
  if (PivotTooSmall(A(1, 1), A(1, 1), rule)) return {1, A(1, 1)};
  A(1, 1) = sqrtl(A(1, 1));
  for (int i = 2; i <= n; ++i) A(i, 1) = A(i, 1) / A(1, 1);
  for (int j = 2; j <= n; ++j) {
    long double sum = A(j, j);
    for (int k = 1; k <= j - 1; ++k) sum = sum - A(j, k) * A(j, k);
    if (PivotTooSmall(sum, A(j, j), rule)) return {j, sum};
    A(j, j) = sqrtl(sum);
    for (int i = j + 1; i <= n; ++i) {
      long double s = A(i, j);
      for (int k = 1; k <= j - 1; ++k) s = s - A(j, k) * A(i, k);
      A(i, j) = s / A(j, j);
    }
  }
  return {};
}

std::string CholFailureText(const CholOutcome& outcome) {
  if (outcome.failedColumn == 0) return std::string();
  if (outcome.failedColumn == 1) return Format("Not pos def 1st : sum=  %2.3Lf ", outcome.sum);
  return Format("Not pos def 2nd : sum=  %2.9Lf  i= %2d  j=  %2d", outcome.sum,
                outcome.failedColumn, outcome.failedColumn);
}

}  // namespace detail

PivotFailureCounts& ThreadPivotFailures() {
  thread_local PivotFailureCounts counts;
  return counts;
}

void Chol(int n, Matrix& A, const InfoMessageFn& show, PivotRule rule) {
  const detail::CholOutcome outcome = detail::CholFactorLower(n, A, rule);
  if (outcome.failedColumn != 0) {
    ++ThreadPivotFailures().factorisations;
    if (show) show(detail::CholFailureText(outcome));
    return;
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) A(i, j) = 0.0L;
  }
}

bool Is_Pos_Def(int n, const Matrix& A) {
  Matrix trial = A;
  return detail::CholFactorLower(n, trial).failedColumn == 0;
}

void Mat_Inverse(const Matrix& A, int n, Matrix& Ainv, PivotRule rule) {
  // W is taken before Ainv is cleared, so Ainv may be the same variable as A.
  Work W;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) W(i, j) = A(i, j);
  }
  long double threshold[kMaxOrder + 1];
  for (int p = 1; p <= n; ++p) {
    long double largest = 0;
    for (int i = 1; i <= n; ++i) largest = std::max(largest, fabsl(W(i, p)));
    threshold[p] = kPivotThreshold * PivotScale(largest);
  }
  Mat_Zero(Ainv);
  for (int i = 1; i <= n; ++i) Ainv(i, i) = 1.0L;

  for (int p = 1; p <= n; ++p) {
    int r = p;
    while (rule == PivotRule::Threshold ? !(fabsl(W(r, p)) >= threshold[p])
                                        : !(fabsl(W(r, p)) > 0 && std::isfinite(W(r, p)))) {
      if (r == n) {  // singular: Ainv keeps the steps done so far
        ++ThreadPivotFailures().inversions;
        return;
      }
      ++r;
    }
    if (r != p) {
      for (int j = 1; j <= n; ++j) {
        std::swap(W(r, j), W(p, j));
        std::swap(Ainv(r, j), Ainv(p, j));
      }
    }
    const long double f = 1.0L / W(p, p);
    for (int j = 1; j <= n; ++j) {
      W(p, j) = f * W(p, j);
      Ainv(p, j) = f * Ainv(p, j);
    }
    for (int i = 1; i <= n; ++i) {
      if (i == p) continue;
      const long double g = -W(i, p);
      for (int j = 1; j <= n; ++j) {
        W(i, j) = g * W(p, j) + W(i, j);
        Ainv(i, j) = g * Ainv(p, j) + Ainv(i, j);
      }
    }
  }
}

void Mat_Select(const Matrix& A, int n, const SelectionMask& mask, Matrix& B) {
  if (&A == &B) {
    // B is cleared first: select from a copy of the live block.
    Matrix copy;
    Mat_Copy(A, n, copy);
    Mat_Select(copy, n, mask, B);
    return;
  }
  Mat_Zero(B);
  int r = 0;
  for (int i = 1; i <= n; ++i) {
    if (!mask[i]) continue;
    r = r + 1;
    int s = 0;
    for (int j = 1; j <= n; ++j) {
      if (mask[j]) {
        s = s + 1;
        B(r, s) = A(i, j);
      }
    }
  }
}

void Mat_Partition(const Matrix& S, int n, int k, Matrix& S11, Matrix& S12, Matrix& S21,
                   Matrix& S22) {
  if (&S == &S11 || &S == &S12 || &S == &S21 || &S == &S22) {
    const Matrix copy = S;
    Mat_Partition(copy, n, k, S11, S12, S21, S22);
    return;
  }
  Mat_Zero(S11);
  Mat_Zero(S12);
  Mat_Zero(S21);
  Mat_Zero(S22);

  SelectionMask leading;
  SelectionMask trailing;
  for (int i = 1; i <= kMaxOrder; ++i) {
    leading[i] = i <= k;
    trailing[i] = i > k;
  }
  Mat_Select(S, n, leading, S11);
  Mat_Select(S, n, trailing, S22);

  for (int i = 1; i <= k; ++i) {
    for (int j = k + 1; j <= n; ++j) S12(i, j - k) = S(i, j);
  }
  Mat_Transpose_Rect(S12, k, n - k, S21);
}

void Conditional_Normal(int n, int m, const Matrix& R, const Vector& sd, const Vector& mean,
                        const Vector& x, Matrix& cond_cov, Vector& cond_mean) {
  const int q = n - m;  // the conditioned variables come first

  Matrix S;
  Mat_Scale_Both_Sides(R, n, sd, S);
  Matrix Sinv;
  Mat_Inverse(S, n, Sinv);
  Mat_Inverse(Sinv, q, cond_cov);  // (leading q x q block of S^-1)^-1 = S11 - S12 S22^-1 S21

  // x and mean are read only after cond_cov is written and before cond_mean
  // is, so the outputs may share variables with the inputs.
  Vector d;
  for (int t = 1; t <= m; ++t) d[t] = x[q + t] - mean[q + t];

  SelectionMask conditioning;
  for (int i = q + 1; i <= n; ++i) conditioning[i] = true;
  Matrix S22;
  Mat_Select(S, n, conditioning, S22);
  Matrix S22inv;
  Mat_Inverse(S22, m, S22inv);

  Matrix S11;
  Matrix S12;
  Matrix S21;
  Matrix S22part;
  Mat_Partition(S, n, q, S11, S12, S21, S22part);

  Matrix T;
  Mat_Mult_Rect(S12, S22inv, q, m, m, T);
  Vector a;
  Mat_Vec_Mult_Rect(T, q, m, d, a);
  Vec_Add(q, mean, a, cond_mean);
}

}  // namespace quorvane
