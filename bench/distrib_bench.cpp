// Costs of the calls the Monte Carlo engines make a million times or more per
// run: normal and chi-square variates, the uniform source, and the normal
// distribution function.
#include <benchmark/benchmark.h>

#include <vector>

#include "distrib/distributions.h"
#include "distrib/uniform.h"

namespace quorvane {
namespace {

void Reseed() {
  Seed1 = 1111931815;
  Seed2 = 2056071926;
}

void BM_Uniform_01(benchmark::State& state) {
  Reseed();
  for (auto _ : state) benchmark::DoNotOptimize(Uniform_01());
}
BENCHMARK(BM_Uniform_01);

void BM_Normal_Random_Variate(benchmark::State& state) {
  Reseed();
  tNormal_distribution normal(0, 1);
  for (auto _ : state) benchmark::DoNotOptimize(normal.Random_Variate());
}
BENCHMARK(BM_Normal_Random_Variate);

// A draw's twelve coefficient variates (k = 5) from the engines' source, one
// call at a time and all at once; the time is for twelve.
void BM_Normal_Twelve_Variates(benchmark::State& state) {
  Reseed();
  const tNormal_distribution normal(0, 1);
  UniformSource source(1111931815, 2056071926);
  long double out[12];
  for (auto _ : state) {
    if (state.range(0) == 0) {
      for (long double& x : out) x = normal.Random_Variate(source);
    } else {
      normal.Random_Variates(source, out, 12);
    }
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_Normal_Twelve_Variates)->ArgName("together")->Arg(0)->Arg(1);

void BM_Chi_square_Random_Variate(benchmark::State& state) {
  Reseed();
  tChi_square_distribution chi(static_cast<long double>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(chi.Random_Variate());
}
BENCHMARK(BM_Chi_square_Random_Variate)->Arg(23)->Arg(1);

// z cycles through 4096 values spread evenly over [-6, 6], so both the series
// (|z| < sqrt 3) and the continued fraction are timed in their proportions.
void BM_Normal_Distribution_function(benchmark::State& state) {
  const tNormal_distribution normal(0, 1);
  std::vector<long double> z(4096);
  for (std::size_t i = 0; i < z.size(); ++i) {
    z[i] = -6 + 12 * static_cast<long double>(i) / static_cast<long double>(z.size() - 1);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(normal.Distribution_function(z[i]));
    i = (i + 1) & 4095;
  }
}
BENCHMARK(BM_Normal_Distribution_function);

}  // namespace
}  // namespace quorvane
