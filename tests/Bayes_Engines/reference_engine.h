// A deliberately plain engine for the tests: every step of a run written with
// the matrix library's own operations, one draw after another on one thread,
// sorted with Vec_Quicksort. The production engines must agree with it bit for
// bit. Inside the draws a pivot is refused only when it cannot be used
// (PivotRule::Usable); a draw that then cannot be completed, or whose values
// are not finite, stops the run.
#pragma once

#include "Bayes_Engines/engines.h"

namespace quorvane::testing {

struct ReferenceRun {
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  long double rawPercent = 0;  // P before the flip
  bool flipped = false;
  bool stopped = false;  // a draw could not be completed: no results
};

ReferenceRun RunReferenceEngine(bool calibrated, int k, int n, int D, bool twoSided, int L,
                                const Vector& sds, const Vector& means, const Vector& caseScores,
                                const Matrix& R);

}  // namespace quorvane::testing
