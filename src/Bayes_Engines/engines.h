// The two Monte Carlo engines: posterior draws of the regression of the two
// tasks (Y1, Y2) on the covariates, under the standard-theory (Jeffreys) prior
// or the calibrated prior, and the test, effect size and abnormality estimate
// for the case's standardized difference.
#pragma once

#include <cstdint>
#include <functional>

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

// Pivots below their thresholds met during a run (the Cholesky factorisations
// and Gauss-Jordan inversions of the setup and of the draws). The run carries
// on with the partial results, as the library leaves them; a caller that must
// not report numbers built on them checks Reliable().
struct EngineDiagnostics {
  std::int64_t failedFactorisations = 0;
  std::int64_t stoppedInversions = 0;
  // Draws the fast x87 evaluation handed back to the portable one (a pivot
  // below 1e-12, values beyond the double range). Same results either way.
  std::int64_t portableDraws = 0;
  bool Reliable() const { return failedFactorisations == 0 && stoppedInversions == 0; }
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
  // Receives the message of a failed Cholesky pivot (empty: the process-wide
  // handler). At most one message is passed on per run, from the thread that
  // called the engine.
  InfoMessageFn cholMessage;
  // Optional: filled with the run's pivot failures when the run finishes.
  EngineDiagnostics* diagnostics = nullptr;
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
// Returns false, leaving the outputs unspecified, when the progress callback
// cancelled the run, or when k or drawCount is outside the domain.
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

// Positions (1-based) of the credible limits in the sorted draws, rounded half
// to even: two-sided round((100 - L) / 2 / 100 * D) and
// round(((100 - L) / 2 + L) / 100 * D) + 1; one-sided round((100 - L) / 100 * D)
// and round(L / 100 * D) + 1.
void CredibleLimitPositions(int crediblePercent, int drawCount, bool twoSided, int& lower,
                            int& upper);

}  // namespace quorvane
