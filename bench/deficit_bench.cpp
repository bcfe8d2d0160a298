// The cost of the deficit tests beside a whole analysis: both tasks' closed
// form (t, p, Z-CCC and its limits from the non-central t) for N = 30 and
// k = 1 to 5, the same made-up sample as BM_EngineRun, a case far from its
// prediction (the limits' roots then start far out), and the case among the
// controls' plot data with its predictive density over 1,000,000 draws.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "Bayes_Engines/deficit_test.h"
#include "TemplateForm/analysis.h"
#include "TemplateForm/plot_data.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

struct Sample {
  Matrix R;
  Vector means, sds, caseScores;
};

// As engine_bench.cpp's sample: 30 controls and a case from a fixed
// congruential sequence, the case `shift` above its Task Y1 prediction.
Sample MakeSample(int k, long double shift) {
  std::uint64_t state = 20261209;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<long double>(state >> 11) / 9007199254740992.0L - 0.5L;
  };
  const int n = 30;
  DataMatrix X;
  for (int i = 1; i <= n + 1; ++i) {
    long double y1 = 50, y2 = 48;
    for (int c = 1; c <= k; ++c) {
      const long double cov = 10 * c + 8 * next();
      X(i, c + 2) = cov;
      y1 += 0.4L * cov / c;
      y2 += 0.3L * cov / c;
    }
    const long double shared = 6 * next();
    X(i, 1) = y1 + shared + 4 * next();
    X(i, 2) = y2 + shared + 4 * next();
  }
  X(n + 1, 1) += shift;
  Sample s;
  Data_Summary(X, n, k + 2, s.R, s.means, s.sds);
  Data_Get_Row(X, n + 1, k + 2, s.caseScores);
  return s;
}

// Both tasks' tests per iteration. Arguments: k, the case's shift on Task Y1
// (8: the engine benchmark's case; 400: about 100 residual SDs out).
void BM_DeficitTests(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  const Sample s = MakeSample(k, static_cast<long double>(state.range(1)));
  for (auto _ : state) {
    for (int task = 1; task <= 2; ++task) {
      const DeficitResult r = Run_Deficit_Test(task, PoorerScores::Lower, k, 30, true, 95, s.sds,
                                               s.means, s.caseScores, s.R);
      benchmark::DoNotOptimize(r.effectSizeLower);
    }
  }
}
BENCHMARK(BM_DeficitTests)
    ->ArgNames({"k", "shift"})
    ->ArgsProduct({{1, 2, 3, 4, 5}, {8, 400}})
    ->Unit(benchmark::kMicrosecond);

// The plot data of the example's analysis (1,000,000 draws): the posterior's
// histogram and the case among the controls with its predictive density.
void BM_BuildPlotData(benchmark::State& state) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.keepDraws = true;
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  const AnalysisOutcome outcome = RunAnalysis(request);
  if (!outcome.ok()) {
    state.SkipWithError(outcome.error().message.c_str());
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(BuildPlotData(outcome.result()));
}
BENCHMARK(BM_BuildPlotData)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane
