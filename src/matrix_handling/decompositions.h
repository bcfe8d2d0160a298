// Cholesky factorisation, positive-definiteness test, Gauss-Jordan inversion,
// block selection and conditional-normal moments, on the fixed-size types of
// matrix_types.h with the same aliasing rule as matrix_ops.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Receives the information message of a failed Cholesky pivot.
using InfoMessageFn = std::function<void(const std::string& text)>;

// When a pivot is refused. Threshold: below the library's thresholds (1e-12
// for a Cholesky pivot sum, 1e-10 in magnitude for a Gauss-Jordan pivot, both
// scaled by PivotScale), as for the setup of an analysis. Usable: only when it
// cannot be used at all (a Cholesky pivot sum that is not a positive finite
// number; a Gauss-Jordan pivot that is zero or not finite), as for the
// posterior draws, which may legitimately be nearly singular.
enum class PivotRule { Threshold, Usable };

// How many factorisations (Chol) and inversions (Mat_Inverse) on the calling
// thread met a pivot below their threshold and so left a partial result.
// Neither operation reports that to its caller; code that must not build on a
// partial result compares these counts before and after its work.
struct PivotFailureCounts {
  std::int64_t factorisations = 0;
  std::int64_t inversions = 0;
};
PivotFailureCounts& ThreadPivotFailures();

namespace detail {
// Smallest acceptable Cholesky pivot (before its square root is taken) and
// smallest acceptable magnitude of a Gauss-Jordan pivot, for matrices whose
// entries are of magnitude 1 or more.
inline constexpr long double kCholThreshold = 1e-12L;
inline constexpr long double kPivotThreshold = 1e-10L;

// The thresholds are absolute for a column (or diagonal element) of magnitude
// 1 or more and shrink in proportion below that, so that whether a pivot is
// accepted does not depend on the units the scores are measured in (scores in
// the thousands give Wishart draws and inverse covariances of order 1e-7).
// Entries of magnitude 1 or more keep the fixed thresholds exactly.
inline long double PivotScale(long double magnitude) {
  return magnitude > 0 && magnitude < 1 ? magnitude : 1;
}

// Outcome of the shared lower-triangular factorisation.
struct CholOutcome {
  int failedColumn = 0;  // 0 when every pivot reached the threshold; else the failing column
  long double sum = 0;   // the failing pivot value
};
// The Cholesky factorisation A = L L' column by column (each pivot the
// diagonal element less the squares of the row's earlier entries, each entry
// below it the element less the row products, divided by the pivot's square
// root), in place on the n x n block (lower triangle written; the upper
// triangle is not touched). Stops at the first pivot the
// rule refuses (Threshold: below 1e-12 x PivotScale(the column's diagonal
// element as given)); a NaN pivot fails under both rules.
CholOutcome CholFactorLower(int n, Matrix& A, PivotRule rule = PivotRule::Threshold);
// The message text Chol shows for a failed outcome.
std::string CholFailureText(const CholOutcome& outcome);
}  // namespace detail

// Replaces the n x n block of A by its lower-triangular Cholesky factor L
// (A = L L') and zeroes the upper triangle. A pivot below its threshold
// (1e-12, scaled down for diagonal elements below 1: see PivotScale) shows
//   "Not pos def 1st : sum=  %2.3f "                      (column 1) or
//   "Not pos def 2nd : sum=  %2.9f  i= %2d  j=  %2d"      (column j > 1)
// through `show` (nothing is shown when it is empty) and returns early, A left
// partly factored.
void Chol(int n, Matrix& A, const InfoMessageFn& show = {}, PivotRule rule = PivotRule::Threshold);

// True when the factorisation of a copy of A completes; no message.
bool Is_Pos_Def(int n, const Matrix& A);

// Gauss-Jordan inversion of the n x n block with the first acceptable pivot
// (|W[r,p]| >= 1e-10 x PivotScale(largest magnitude in column p of A) under
// the Threshold rule; no search for the largest). A singular matrix stops the
// elimination silently (counted in ThreadPivotFailures) and Ainv holds the
// partial result.
void Mat_Inverse(const Matrix& A, int n, Matrix& Ainv, PivotRule rule = PivotRule::Threshold);

// B = rows and columns i <= n with mask[i], packed top left; B cleared first.
void Mat_Select(const Matrix& A, int n, const SelectionMask& mask, Matrix& B);

// The four blocks of S split after row and column k (all four cleared first).
void Mat_Partition(const Matrix& S, int n, int k, Matrix& S11, Matrix& S12, Matrix& S21,
                   Matrix& S22);

// Conditional covariance and mean of variables 1..n-m given variables
// n-m+1..n at the values in x, from the correlation matrix R, standard
// deviations sd and means.
void Conditional_Normal(int n, int m, const Matrix& R, const Vector& sd, const Vector& mean,
                        const Vector& x, Matrix& cond_cov, Vector& cond_mean);

}  // namespace quorvane
