// Checks and derived values around the control-sample statistics.
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Whether the summary of the controls can enter an analysis: false when any
// control SD sds[1..K] is 0, or when any of R (K x K), means[1..K],
// sds[1..K] or caseScores[1..K] is not finite (NaN or infinite). A control
// column with zero variance makes its correlations 0 / 0; Compute then stops
// with the not-positive-definite message before any engine starts.
bool ControlStatisticsUsable(const Matrix& R, const Vector& means, const Vector& sds,
                             const Vector& caseScores, int K);

// The SD of the difference between the two conditioned z scores:
// sqrt(2.0 - (partialR * 2.0)) in extended precision, in that order.
long double SdDiff(long double partialR);

}  // namespace quorvane
