// Scores on any scale and at any origin, made safe for the engines.
//
// The analysis does not depend on the unit or the origin of any variable, but
// the engines rebuild the regression from uncentred cross-products
// (Y'Y - 2 B'X'Y + B'X'X B), which cancel catastrophically when a variable's
// mean is large against its SD, and their pivot thresholds are absolute. So:
//
// 1. Every variable is rescaled by the power of two that brings its SD into
//    [1, 2) before the engine sees it, and the conditional means and SDs are
//    scaled back. Multiplying by a power of two is exact, and so is every
//    operation of the engines on such rescaled values: for ordinary data the
//    results are the very bits of the unscaled run, and any unit (1e-12 or
//    1e12 times the scores) gives the same report.
// 2. The engine's regression is then measured against the same regression
//    worked from centred cross-products, which cannot cancel. Where they
//    differ by more than kRegressionTolerance, the engine runs on centred
//    scores (every mean 0, the case's scores as deviations from the means)
//    and the conditional means are shifted back. A shift moves which
//    posterior draw each random number makes, so such a run agrees with the
//    unshifted one within Monte Carlo error, not to the last digit.
#pragma once

#include "Bayes_Engines/summary_statistics.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Largest relative discrepancy accepted between the two regressions (the
// entries of the residual covariance relative to the SDs it implies, the
// case's fitted values relative to the residual SDs, the case's leverage).
// Ordinary data differ by about 1e-17; a report is moved by 1e-6 or more.
inline constexpr long double kRegressionTolerance = 1e-11L;

// The engine's view of the statistics: every variable in units that bring its
// SD into [1, 2), and, when the uncentred regression would not hold, centred.
struct EngineInputs {
  SummaryStatistics statistics;
  int exponent[kMaxOrder + 1] = {};  // variable j was divided by 2^exponent[j]
  bool centred = false;
};

// The statistics in the engine's units, centred where the uncentred
// regression would not hold (see above).
EngineInputs PrepareEngineInputs(const SummaryStatistics& statistics);

// The conditional means and SDs of Task Y1 and Task Y2 (entries 1 and 2), as
// an engine gave them for in, back in the variables' own units and origins
// (original: the statistics in.statistics were prepared from).
void RestoreUnits(const EngineInputs& in, const SummaryStatistics& original, Vector& condMeans,
                  Vector& condSDs);

// Whether the engines' uncentred regression holds for these statistics.
bool EngineRegressionAccurate(const SummaryStatistics& statistics);

}  // namespace quorvane
