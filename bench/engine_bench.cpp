// Whole engine runs at the production draw count: N = 30 controls with k = 1
// to 5 covariates, under both priors, on one and on two threads, with the x87
// draw kernels and without.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "Bayes_Engines/engines.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

struct Summary {
  Matrix R;
  Vector means, sds, caseScores;
};

// A made-up sample of 30 controls and a case: covariates, and two tasks that
// depend on them, from a fixed congruential sequence.
Summary MakeSample(int k) {
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
  X(n + 1, 1) += 8;  // the case: high on Y1 for its covariates
  Summary s;
  Data_Summary(X, n, k + 2, s.R, s.means, s.sds);
  Data_Get_Row(X, n + 1, k + 2, s.caseScores);
  return s;
}

// One whole analysis (1,000,000 draws, N = 30) per iteration. Arguments:
// calibrated prior (0/1), k, threads, x87 kernels (1: for every k, 0: never;
// where they are not built both settings run the portable evaluation). The kernel settings of a
// case run one after the other, so that a pass over all cases alternates them.
void BM_EngineRun(benchmark::State& state) {
  const bool calibrated = state.range(0) != 0;
  const int k = static_cast<int>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  const Summary s = MakeSample(k);
  EngineOptions options;
  options.threads = threads;
  options.drawKernels = state.range(3) != 0 ? DrawKernelUse::Always : DrawKernelUse::Never;
  for (auto _ : state) {
    Vector condMeans, condSDs;
    long double partialR = 0, z1 = 0, z2 = 0;
    EngineResults results;
    auto run = calibrated ? Run_Calibrated_Engine : Run_Standard_Theory_Engine;
    run(k, 30, 1000000, true, 95, s.sds, s.means, s.caseScores, s.R, condMeans, condSDs, partialR,
        z1, z2, results, options);
    benchmark::DoNotOptimize(results);
  }
}
BENCHMARK(BM_EngineRun)
    ->ArgNames({"calibrated", "k", "threads", "kernels"})
    ->Apply([](benchmark::internal::Benchmark* b) {
      for (int k = 1; k <= 5; ++k) {
        for (int calibrated : {1, 0}) {
          for (int threads : {1, 2}) {
            for (int kernels : {1, 0}) b->Args({calibrated, k, threads, kernels});
          }
        }
      }
    })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace quorvane
