// Phi(z*) over a case's draws, the per-case work of shared draws: the
// library's distribution function (a single run's), the same steps inline
// one draw at a time (the shared draws' loop before batching), and the batch
// of a chunk's 2,048 draws (StandardNormalPhiBatch). The draws' z* are normal
// around a centre (the argument, in tenths: -10, -20, -30 for a case at about
// the 16th, 2nd and 0.1th percentile of the controls) with SD 0.6, as a
// case's z* spread over the posterior.
#include <benchmark/benchmark.h>

#include <random>
#include <span>
#include <vector>

#include "Bayes_Engines/normal_phi.h"
#include "distrib/distributions.h"
#include "distrib/numeric_helpers.h"

namespace quorvane {
namespace {

constexpr std::size_t kChunk = 2048;

std::vector<long double> Draws(benchmark::State& state) {
  std::mt19937_64 random(20261211);
  std::normal_distribution<double> spread(static_cast<double>(state.range(0)) / 10, 0.6);
  std::vector<long double> z(16 * kChunk);
  for (long double& v : z) v = spread(random);
  return z;
}

void BM_PhiLibrary(benchmark::State& state) {
  const std::vector<long double> z = Draws(state);
  const tNormal_distribution normal(0, 1);
  for (auto _ : state) {
    long double sum = 0;
    for (const long double v : z) sum += normal.Distribution_function(v);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(z.size()));
}
BENCHMARK(BM_PhiLibrary)->Arg(-10)->Arg(-20)->Arg(-30);

void BM_PhiInline(benchmark::State& state) {
  const std::vector<long double> z = Draws(state);
  const long double logGammaHalf = Log_Gamma(0.5L);
  for (auto _ : state) {
    long double sum = 0;
    for (const long double v : z) sum += detail::StandardNormalPhi(v, logGammaHalf);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(z.size()));
}
BENCHMARK(BM_PhiInline)->Arg(-10)->Arg(-20)->Arg(-30);

void BM_PhiBatch(benchmark::State& state) {
  const std::vector<long double> z = Draws(state);
  detail::StandardNormalPhiBatch batch(Log_Gamma(0.5L));
  std::vector<long double> phi(kChunk);
  for (auto _ : state) {
    long double sum = 0;
    for (std::size_t first = 0; first < z.size(); first += kChunk) {
      batch.Evaluate(std::span<const long double>(&z[first], kChunk), phi);
      for (const long double p : phi) sum += p;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(z.size()));
}
BENCHMARK(BM_PhiBatch)->Arg(-10)->Arg(-20)->Arg(-30);

}  // namespace
}  // namespace quorvane
