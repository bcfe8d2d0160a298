// Many cases against one control sample on one set of posterior draws.
//
// For given controls (the engine's statistics: means, SDs and correlations),
// prior and number of draws, the draws do not depend on the case: the
// variates, the calibrated prior's accept/reject step, each draw's residual
// covariance Sigma*, its coefficient covariance's factor and the coefficient
// draw B* are the same for every case. A case enters only at the end of a
// draw, through its covariate vector (the conditional means B*' score) and its
// scores (z*). So the draws are made once and every case is evaluated on each
// of them, with the operations of its own single run in the same order: each
// case's outputs equal, bit for bit, those of Run_Standard_Theory_Engine or
// Run_Calibrated_Engine with its scores.
//
// A case keeps, of its draws, only what its summary needs: the sums of
// Phi(z*) and Phi(z*)^2 in draw order, and for each credible limit the draws
// that can still be the order statistic at its position (CredibleLimitPositions
// telling which; a threshold that a selection tightens keeps the others out).
// Phi(z*) of a chunk's draws is evaluated in one batch
// (StandardNormalPhiBatch, normal_phi.h), each with the single run's bits.
#pragma once

#include <cstddef>
#include <span>

#include "Bayes_Engines/engines.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane {

// One case of a shared run: its scores in, its outputs out (as the single
// run's arguments of the same names).
struct SharedCase {
  const Vector* caseScores = nullptr;  // Y1, Y2 and the covariates, in the engine's units
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  PhiSums phiSums;
  // What the case's single run would have met (trials, stop and the setup's
  // pivots); portableDraws counts every draw (the shared draws are evaluated
  // the portable way).
  EngineDiagnostics diagnostics;
  bool completed = false;  // the single run would have returned true
  // False when the shared run cannot promise the single run's bits for this
  // case: its setup gave other case-free constants than the first case's
  // (other controls), its limits' positions are out of order, or a credible
  // limit is a zero that the draws hold with both signs (which zero a full
  // sort leaves there is not defined). Such a case must be run alone.
  bool exact = true;
};

struct SharedRunOptions {
  // Called now and then on the calling thread with the draws every case has
  // been evaluated on and the number of draws; returning false cancels.
  EngineProgressFn progress;
  // Threads: the calling thread draws and also evaluates cases; 0 takes one
  // per core. The results are the same whatever the choice.
  int threads = 0;
};

// Runs the cases (all with the same statistics sds, means and R, in the
// engine's units) on one set of draws. Returns false when cancelled (no
// case's outputs are then meaningful); else each case's outputs are filled as
// its single run would fill them, completed telling whether that run would
// have reached its end.
bool Run_Shared_Draws(bool calibrated, int covariateCount, int controlCount, int drawCount,
                      bool twoSided, int crediblePercent, const Vector& sds, const Vector& means,
                      const Matrix& R, std::span<SharedCase> cases,
                      const SharedRunOptions& options = {});

// The bytes a case keeps for its credible limits in a shared run.
std::size_t SharedCaseBytes(int drawCount, int crediblePercent, bool twoSided);

}  // namespace quorvane
