// Checks and derived values around the control-sample statistics.
#pragma once

#include <functional>
#include <string>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Whether the summary of the controls can enter an analysis: false when any
// control SD sds[1..K] is 0, or when any of R (K x K), means[1..K],
// sds[1..K] or caseScores[1..K] is not finite (NaN or infinite). A control
// column with zero variance makes its correlations 0 / 0; Compute then stops
// with the not-positive-definite message before any engine starts.
bool ControlStatisticsUsable(const Matrix& R, const Vector& means, const Vector& sds,
                             const Vector& caseScores, int K);

// Why the controls' statistics cannot enter an analysis, in a sentence that
// names the variable at fault (variables named by name(j), j = 1..K): a
// value that is not finite, a control column whose values are all equal, a
// variable that repeats (or mirrors) an earlier one, or one that is a linear
// combination of the variables before it (the first pivot of R's Cholesky
// factorisation that fails). Empty when none of these is found.
std::string NotAnalysableDetail(const Matrix& R, const Vector& means, const Vector& sds,
                                const Vector& caseScores, int K,
                                const std::function<std::string(int)>& name);

// The SD of the difference between the two conditioned z scores:
// sqrt(2.0 - (partialR * 2.0)) in extended precision, in that order.
long double SdDiff(long double partialR);

}  // namespace quorvane
