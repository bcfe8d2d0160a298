// The two Monte Carlo engines: posterior draws of the regression of the two
// tasks (Y1, Y2) on the covariates, under the standard-theory (Jeffreys) prior
// or the calibrated prior, and the test, effect size and abnormality estimate
// for the case's standardized difference.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane {

struct EngineResults {
  long double oneTailedP = 0;
  long double twoTailedP = 0;
  long double percentMoreExtreme = 0;
  long double percentLower = 0;
  long double percentUpper = 0;
  long double effectSize = 0;
  long double effectSizeLower = 0;
  long double effectSizeUpper = 0;
  friend bool operator==(const EngineResults&, const EngineResults&) = default;
};

// Called now and then with the draws done so far and the total; returning
// false cancels the run. Called from the thread that runs the engine.
using EngineProgressFn = std::function<bool(std::int64_t done, std::int64_t total)>;

// Why a run stopped before its end, other than a cancel by the progress
// callback.
enum class EngineStop {
  None,
  // A value that would reach the report is not finite: a draw's residual
  // covariance could not be inverted (a zero or non-finite pivot), its
  // coefficient covariance could not be factorised (a pivot sum that is not a
  // positive finite number), or its z* is not finite. The run stops at once.
  NotFinite,
  // The calibrated prior's accept/reject step accepts fewer than one candidate
  // in kMaxMeanTrials (the tasks' partial correlation is within a hair of +-1):
  // the run would take days. Decided after kTrialsBeforeRateCheck trials.
  RarelyAccepted,
};
inline constexpr std::int64_t kMaxMeanTrials = 1000;
inline constexpr std::int64_t kTrialsBeforeRateCheck = 1 << 20;

// What a run met on its way. The setup (the Wishart scale's inversion and
// factorisation, the regression's (X'X)^-1 and the conditional statistics)
// keeps the library's pivot thresholds; a pivot below them leaves a partial
// result, and a caller that must not report numbers built on one checks
// Reliable().
struct EngineDiagnostics {
  std::int64_t failedFactorisations = 0;  // setup factorisations stopped at a threshold
  std::int64_t stoppedInversions = 0;     // setup inversions stopped at a threshold
  EngineStop stop = EngineStop::None;
  // Draws the fast x87 evaluation handed back to the portable one (a pivot
  // below 1e-12, values beyond the double range). Same results either way.
  std::int64_t portableDraws = 0;
  std::int64_t trials = 0;  // candidates drawn (the calibrated prior; else the draws)
  bool Reliable() const {
    return failedFactorisations == 0 && stoppedInversions == 0 && stop == EngineStop::None;
  }
};

struct PhiSums {
  long double sum = 0;
  long double squares = 0;
};

// Which draws the x87 kernels evaluate, where they are built (Linux x86-64);
// elsewhere every draw takes the portable evaluation. The results are
// identical bit for bit whatever the choice.
enum class DrawKernelUse {
  WhereFaster,  // for the numbers of covariates where they are measurably faster
  Never,        // every draw on the portable evaluation
  Always,       // for every number of covariates (benchmarks and tests)
};

struct EngineOptions {
  EngineProgressFn progress;  // optional
  // Threads to use: 1 runs everything on the calling thread; 2 draws the
  // variates on the calling thread and evaluates each draw on a second one.
  // 0 picks 2 when the machine has more than one core. The results are
  // identical bit for bit whatever the choice.
  int threads = 0;
  // Receives the message of a failed Cholesky pivot of the setup (at most one
  // per run, from the thread that called the engine). Empty: not shown.
  InfoMessageFn cholMessage;
  // Optional: filled with what the run met when it ends (also when it stops).
  EngineDiagnostics* diagnostics = nullptr;
  // Optional: receives every draw's z* in draw order (drawCount values).
  std::vector<long double>* draws = nullptr;
  // Optional: receives the sums of Phi(z*) and of Phi(z*)^2 over the draws,
  // each taken in draw order (for the Monte Carlo error of the p value).
  PhiSums* phiSums = nullptr;
  DrawKernelUse drawKernels = DrawKernelUse::WhereFaster;
};

// The seeds every run starts from.
inline constexpr std::int32_t kEngineSeed1 = 1111931815;
inline constexpr std::int32_t kEngineSeed2 = 2056071926;

// Both engines take the same arguments and fill the same outputs:
//   condMeans  all 20 entries cleared, then [1..2] the sample conditional means
//              of Y1 and Y2 at the case's covariate values;
//   condSDs    [1..2] the sample conditional SDs;
//   partialR   the sample partial correlation of Y1 and Y2;
//   condZ1/2   the case's conditional z scores;
//   results    the eight EngineResults fields.
// The domain is what the Compute command admits: 1 <= k <= 5, n - k - 1 >= 1
// (standard theory) or n - k - 3 >= 1 (calibrated), R positive definite.
// drawCount may be any positive count (the list of draws grows with it).
// Returns false, leaving the outputs unspecified, when the run did not reach
// its end: the progress callback cancelled it, or it stopped for a reason given
// in the diagnostics (EngineStop); or when k or drawCount is outside the domain.
bool Run_Standard_Theory_Engine(int covariateCount, int controlCount, int drawCount, bool twoSided,
                                int crediblePercent, const Vector& sds, const Vector& means,
                                const Vector& caseScores, const Matrix& R, Vector& condMeans,
                                Vector& condSDs, long double& partialR, long double& condZ1,
                                long double& condZ2, EngineResults& results,
                                const EngineOptions& options = {});

bool Run_Calibrated_Engine(int covariateCount, int controlCount, int drawCount, bool twoSided,
                           int crediblePercent, const Vector& sds, const Vector& means,
                           const Vector& caseScores, const Matrix& R, Vector& condMeans,
                           Vector& condSDs, long double& partialR, long double& condZ1,
                           long double& condZ2, EngineResults& results,
                           const EngineOptions& options = {});

// The summary of a run's draws, from the sum of Phi(z*) over the draws (taken
// in draw order) and the list of the draws' z*, which is reordered: the
// percentage below the case, turned to the case's side when it exceeds 50
// (exactly 50 is not turned), the one- and two-tailed probabilities, the
// Z-DCCC limits as order statistics at CredibleLimitPositions (clamped to
// 1 .. D), and the percentage limits. results.effectSize is not touched.
// NaN draws sort above every number. zlist must not be empty.
void SummariseDraws(long double phiSum, std::span<long double> zlist, int crediblePercent,
                    bool twoSided, EngineResults& results);

// Positions (1-based) of the credible limits in the sorted draws, rounded half
// to even: two-sided round((100 - L) / 2 / 100 * D) and
// round(((100 - L) / 2 + L) / 100 * D) + 1; one-sided round((100 - L) / 100 * D)
// and round(L / 100 * D) + 1.
void CredibleLimitPositions(int crediblePercent, int drawCount, bool twoSided, int& lower,
                            int& upper);

}  // namespace quorvane
