// One draw's evaluation outside a run, for tests of the per-draw arithmetic.
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane::detail {

// The portable evaluation of one draw, as a run makes it: the conditional means
// mu1, mu2 of Y1 and Y2 at the case's covariate values, B*' score with
// B* = bHat + Chol(Sigma* (x) (X'X)^-1) u. xtxInv is (X'X)^-1 (k + 1 square),
// bHat the stacked least-squares coefficients (2 (k + 1)), score 1 and the
// case's covariate values (k + 1), all 1-based; sigmaLower is Sigma*[1,1],
// [2,1], [2,2]; u holds 2 (k + 1) variates. Returns false when a pivot sum of
// the factorisation is not a positive finite number, or k is outside 1 .. 5.
bool EvaluateDrawPortably(int k, const Matrix& xtxInv, const Vector& bHat, const Vector& score,
                          const long double sigmaLower[3], const long double* u, long double& mu1,
                          long double& mu2);

}  // namespace quorvane::detail
