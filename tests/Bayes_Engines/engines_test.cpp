#include "Bayes_Engines/engines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Bayes_Engines/regression_from_summary.h"
#include "distrib/distributions.h"
#include "distrib/uniform.h"
#include "engine_fixture.h"
#include "matrix_handling/decompositions.h"
#include "reference_engine.h"

namespace quorvane {
namespace {

using testing::Hex;

using testing::FixtureSummary;
using testing::RunReferenceEngine;
using testing::SummariseFixture;

enum class Engine { Standard, Calibrated };

struct EngineRun {
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  bool finished = false;
};

EngineRun RunEngine(Engine engine, int k, int n, int D, bool twoSided, const FixtureSummary& s,
                    EngineOptions options = {}) {
  EngineRun r;
  auto run = engine == Engine::Standard ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
  r.finished = run(k, n, D, twoSided, 95, s.sds, s.means, s.caseScores, s.R, r.condMeans, r.condSDs,
                   r.partialR, r.condZ1, r.condZ2, r.results, options);
  return r;
}

std::vector<std::string> Fields(const EngineResults& r) {
  return {Hex(r.oneTailedP),      Hex(r.twoTailedP),     Hex(r.percentMoreExtreme),
          Hex(r.percentLower),    Hex(r.percentUpper),   Hex(r.effectSize),
          Hex(r.effectSizeLower), Hex(r.effectSizeUpper)};
}

struct AgreementCase {
  Engine engine;
  int k;
  int n;
  bool twoSided;
};

class EngineAgreement : public ::testing::TestWithParam<AgreementCase> {};

// The production engine (one thread and two; the x87 kernels where built, and
// the portable evaluation) gives exactly the numbers of the plain reference
// run built from library calls.
TEST_P(EngineAgreement, MatchesReferenceRunBitForBit) {
  const AgreementCase& c = GetParam();
  const FixtureSummary s = SummariseFixture(c.k, c.n);
  const int D = 12000;
  const auto ref = RunReferenceEngine(c.engine == Engine::Calibrated, c.k, c.n, D, c.twoSided, 95,
                                      s.sds, s.means, s.caseScores, s.R);
  for (const auto& [threads, kernels] : {std::pair{1, DrawKernelUse::Always},
                                         {2, DrawKernelUse::Always},
                                         {1, DrawKernelUse::Never},
                                         {2, DrawKernelUse::Never}}) {
    EngineOptions options;
    options.threads = threads;
    options.drawKernels = kernels;
    const EngineRun r = RunEngine(c.engine, c.k, c.n, D, c.twoSided, s, options);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(Fields(r.results), Fields(ref.results))
        << "threads " << threads << ", kernels " << (kernels == DrawKernelUse::Always);
    EXPECT_EQ(Hex(r.partialR), Hex(ref.partialR));
    EXPECT_EQ(Hex(r.condZ1), Hex(ref.condZ1));
    EXPECT_EQ(Hex(r.condZ2), Hex(ref.condZ2));
    EXPECT_TRUE(r.condMeans == ref.condMeans);
    EXPECT_TRUE(r.condSDs == ref.condSDs);
  }
}

INSTANTIATE_TEST_SUITE_P(BothEngines, EngineAgreement,
                         ::testing::Values(AgreementCase{Engine::Standard, 1, 12, true},
                                           AgreementCase{Engine::Standard, 5, 12, false},
                                           AgreementCase{Engine::Calibrated, 1, 12, false},
                                           AgreementCase{Engine::Calibrated, 5, 12, true},
                                           // the smallest N each prior admits: k + 3 and k + 4
                                           AgreementCase{Engine::Standard, 3, 6, true},
                                           AgreementCase{Engine::Calibrated, 3, 7, true}));

TEST(Engines, RepeatRunsAreIdenticalWhateverRanBetween) {
  const FixtureSummary s = SummariseFixture(2);
  const EngineRun first = RunEngine(Engine::Calibrated, 2, 12, 5000, true, s);
  Seed1 = 12345;
  Seed2 = 67890;
  (void)Uniform_01();
  const EngineRun other = RunEngine(Engine::Standard, 2, 12, 5000, true, s);
  const EngineRun second = RunEngine(Engine::Calibrated, 2, 12, 5000, true, s);
  EXPECT_EQ(Fields(first.results), Fields(second.results));
  const EngineRun standardAgain = RunEngine(Engine::Standard, 2, 12, 5000, true, s);
  EXPECT_EQ(Fields(other.results), Fields(standardAgain.results));
}

TEST(Engines, ShareSampleStatisticsAndDifferInTheDraws) {
  const FixtureSummary s = SummariseFixture(2);
  const EngineRun standard = RunEngine(Engine::Standard, 2, 12, 5000, true, s);
  const EngineRun calibrated = RunEngine(Engine::Calibrated, 2, 12, 5000, true, s);
  EXPECT_EQ(Hex(standard.results.effectSize), Hex(calibrated.results.effectSize));
  EXPECT_EQ(Hex(standard.partialR), Hex(calibrated.partialR));
  EXPECT_TRUE(standard.condMeans == calibrated.condMeans);
  EXPECT_TRUE(standard.condSDs == calibrated.condSDs);
  EXPECT_NE(Hex(standard.results.percentMoreExtreme), Hex(calibrated.results.percentMoreExtreme));
  EXPECT_NE(Hex(standard.results.effectSizeLower), Hex(calibrated.results.effectSizeLower));
}

TEST(Engines, ProbabilitiesAndConditionalMeansHaveTheirShape) {
  const FixtureSummary s = SummariseFixture(3);
  for (Engine engine : {Engine::Standard, Engine::Calibrated}) {
    EngineRun r;
    for (int i = 1; i <= 20; ++i) r.condMeans[i] = 7;  // stale values must be cleared
    auto run = engine == Engine::Standard ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
    ASSERT_TRUE(run(3, 12, 4000, true, 95, s.sds, s.means, s.caseScores, s.R, r.condMeans,
                    r.condSDs, r.partialR, r.condZ1, r.condZ2, r.results, {}));
    EXPECT_EQ(r.results.twoTailedP, 2 * r.results.oneTailedP);
    EXPECT_LE(r.results.percentMoreExtreme, 50);
    EXPECT_LE(r.results.twoTailedP, 1);
    EXPECT_LE(r.results.effectSizeLower, r.results.effectSizeUpper);
    EXPECT_LE(r.results.percentLower, r.results.percentUpper);
    for (int i = 3; i <= 20; ++i) EXPECT_EQ(r.condMeans[i], 0) << i;
  }
}

// The case of the fixture is high on Y1 and low on Y2: most controls lie below
// it, so P is turned to the case's side and the percentage limits come from the
// opposite ends. With Y1 and Y2 swapped no flip happens.
TEST(Engines, FlipTakesPercentageLimitsFromOppositeEnds) {
  const tNormal_distribution normal(0, 1);
  FixtureSummary high = SummariseFixture(1);
  FixtureSummary low = high;
  std::swap(low.means[1], low.means[2]);
  std::swap(low.sds[1], low.sds[2]);
  std::swap(low.caseScores[1], low.caseScores[2]);
  std::swap(low.R(1, 3), low.R(2, 3));
  std::swap(low.R(3, 1), low.R(3, 2));
  for (const auto& [summary, expectFlip] : {std::pair{high, true}, std::pair{low, false}}) {
    const auto ref = RunReferenceEngine(false, 1, 12, 4000, true, 95, summary.sds, summary.means,
                                        summary.caseScores, summary.R);
    ASSERT_EQ(ref.flipped, expectFlip) << "raw percentage " << static_cast<double>(ref.rawPercent);
    const EngineRun r = RunEngine(Engine::Standard, 1, 12, 4000, true, summary);
    const EngineResults& e = r.results;
    if (expectFlip) {
      EXPECT_EQ(e.percentLower, (1 - normal.Distribution_function(e.effectSizeUpper)) * 100);
      EXPECT_EQ(e.percentUpper, (1 - normal.Distribution_function(e.effectSizeLower)) * 100);
      EXPECT_EQ(e.percentMoreExtreme, 100 - ref.rawPercent);
    } else {
      EXPECT_EQ(e.percentLower, normal.Distribution_function(e.effectSizeLower) * 100);
      EXPECT_EQ(e.percentUpper, normal.Distribution_function(e.effectSizeUpper) * 100);
      EXPECT_EQ(e.percentMoreExtreme, ref.rawPercent);
    }
    EXPECT_LE(e.percentLower, e.percentUpper);
  }
}

TEST(Engines, CredibleLimitPositions) {
  struct Row {
    int L, D;
    bool twoSided;
    int lower, upper;
  };
  const Row rows[] = {
      {95, 1000000, true, 25000, 975001},
      {95, 1000000, false, 50000, 950001},
      {90, 1000000, true, 50000, 950001},
      {95, 1000, true, 25, 976},
      // 0.025 * 100 = 2.5 rounds half to even: 2; 97.5 -> 98 (+1)
      {95, 100, true, 2, 99},
      {95, 20, false, 1, 20},
  };
  for (const Row& row : rows) {
    int lower = 0, upper = 0;
    CredibleLimitPositions(row.L, row.D, row.twoSided, lower, upper);
    EXPECT_EQ(lower, row.lower) << row.L << " " << row.D << " " << row.twoSided;
    EXPECT_EQ(upper, row.upper) << row.L << " " << row.D << " " << row.twoSided;
  }
}

TEST(Engines, ProgressNeitherChangesResultsNorIsRequired_AndCancelStops) {
  const FixtureSummary s = SummariseFixture(2);
  const EngineRun quiet = RunEngine(Engine::Calibrated, 2, 12, 9000, true, s);
  std::vector<std::int64_t> seen;
  EngineOptions watched;
  watched.progress = [&seen](std::int64_t done, std::int64_t total) {
    EXPECT_EQ(total, 9000);
    seen.push_back(done);
    return true;
  };
  const EngineRun observed = RunEngine(Engine::Calibrated, 2, 12, 9000, true, s, watched);
  EXPECT_EQ(Fields(quiet.results), Fields(observed.results));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 9000);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);

  for (int threads : {1, 2}) {
    int calls = 0;
    EngineOptions cancelling;
    cancelling.threads = threads;
    cancelling.progress = [&calls](std::int64_t, std::int64_t) { return ++calls < 2; };
    EXPECT_FALSE(RunEngine(Engine::Standard, 2, 12, 50000, true, s, cancelling).finished);
    EXPECT_EQ(calls, 2);
  }
}

// Summary statistics of a data set give back the ordinary least-squares fit of
// each task on an intercept and the covariates, solved here independently from
// the raw rows by Gaussian elimination with partial pivoting.
TEST(RegressionFromSummary, EqualsOrdinaryLeastSquaresOnTheRawData) {
  const int k = 3, n = 12, q = k + 1;
  const FixtureSummary s = SummariseFixture(k);
  Matrix betas, sigma, xtxInv;
  Regression_From_Summary(s.R, s.sds, s.means, 2, k, n, betas, sigma, xtxInv);

  long double xtx[4][4] = {}, xty[4][2] = {};
  for (int i = 0; i < n; ++i) {
    const long double x[4] = {1, testing::kFixtureRows[i][2], testing::kFixtureRows[i][3],
                              testing::kFixtureRows[i][4]};
    for (int a = 0; a < q; ++a) {
      for (int b = 0; b < q; ++b) xtx[a][b] += x[a] * x[b];
      for (int t = 0; t < 2; ++t) xty[a][t] += x[a] * testing::kFixtureRows[i][t];
    }
  }
  long double aug[4][6];
  for (int a = 0; a < q; ++a) {
    for (int b = 0; b < q; ++b) aug[a][b] = xtx[a][b];
    aug[a][4] = xty[a][0];
    aug[a][5] = xty[a][1];
  }
  for (int col = 0; col < q; ++col) {
    int piv = col;
    for (int r = col + 1; r < q; ++r) {
      if (std::fabs(aug[r][col]) > std::fabs(aug[piv][col])) piv = r;
    }
    for (int c = 0; c < 6; ++c) std::swap(aug[col][c], aug[piv][c]);
    for (int r = 0; r < q; ++r) {
      if (r == col) continue;
      const long double f = aug[r][col] / aug[col][col];
      for (int c = 0; c < 6; ++c) aug[r][c] -= f * aug[col][c];
    }
  }
  for (int a = 0; a < q; ++a) {
    for (int t = 0; t < 2; ++t) {
      const long double ols = aug[a][4 + t] / aug[a][a];
      EXPECT_NEAR(static_cast<double>(betas(a + 1, t + 1)), static_cast<double>(ols),
                  1e-9 * (1 + std::fabs(static_cast<double>(ols))))
          << "coefficient " << a << " task " << t;
    }
  }
  // Residual cross-products of that fit, divided by n - k - 1.
  long double e[2][2] = {};
  for (int i = 0; i < n; ++i) {
    const long double x[4] = {1, testing::kFixtureRows[i][2], testing::kFixtureRows[i][3],
                              testing::kFixtureRows[i][4]};
    long double res[2];
    for (int t = 0; t < 2; ++t) {
      long double fit = 0;
      for (int a = 0; a < q; ++a) fit += x[a] * (aug[a][4 + t] / aug[a][a]);
      res[t] = testing::kFixtureRows[i][t] - fit;
    }
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) e[a][b] += res[a] * res[b];
    }
  }
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      EXPECT_NEAR(static_cast<double>(sigma(a + 1, b + 1)),
                  static_cast<double>(e[a][b] / (n - k - 1)), 1e-9);
    }
  }
  // Everything outside the used blocks is zero.
  for (int i = 1; i <= 20; ++i) {
    for (int j = 1; j <= 20; ++j) {
      if (i > q || j > 2) {
        EXPECT_EQ(betas(i, j), 0);
      }
      if (i > 2 || j > 2) {
        EXPECT_EQ(sigma(i, j), 0);
      }
      if (i > q || j > q) {
        EXPECT_EQ(xtxInv(i, j), 0);
      }
    }
  }
}

// The residual covariance rescaled to divisor n - 1 is the Schur complement
// that Conditional_Normal gives, which the engines print.
TEST(RegressionFromSummary, ResidualCovarianceIsTheSchurComplement) {
  for (int k : {1, 2, 5}) {
    const int n = 12;
    const FixtureSummary s = SummariseFixture(k);
    Matrix betas, sigma, xtxInv, cov;
    Vector condMean;
    Regression_From_Summary(s.R, s.sds, s.means, 2, k, n, betas, sigma, xtxInv);
    Conditional_Normal(k + 2, k, s.R, s.sds, s.means, s.caseScores, cov, condMean);
    for (int a = 1; a <= 2; ++a) {
      for (int b = 1; b <= 2; ++b) {
        const long double rescaled = sigma(a, b) * (n - k - 1) / (n - 1);
        EXPECT_NEAR(static_cast<double>(rescaled), static_cast<double>(cov(a, b)),
                    1e-10 * std::fabs(static_cast<double>(cov(a, b))) + 1e-12)
            << "k " << k;
      }
    }
  }
}

TEST(RegressionFromSummary, InterceptVarianceWithOneCovariate) {
  // (X'X)^-1 [1,1] = 1/n + xbar^2 / C_XX[1,1] for a single covariate.
  const FixtureSummary s = SummariseFixture(1);
  Matrix betas, sigma, xtxInv;
  Regression_From_Summary(s.R, s.sds, s.means, 2, 1, 12, betas, sigma, xtxInv);
  long double mean = 0, cxx = 0;
  for (int i = 0; i < 12; ++i) mean += testing::kFixtureRows[i][2];
  mean /= 12;
  for (int i = 0; i < 12; ++i) {
    cxx += (testing::kFixtureRows[i][2] - mean) * (testing::kFixtureRows[i][2] - mean);
  }
  EXPECT_NEAR(static_cast<double>(xtxInv(1, 1)), static_cast<double>(1.0L / 12 + mean * mean / cxx),
              1e-12);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

using testing::Hex;

// At N = k + 2 (below what either prior admits) the residual covariance has
// no degree of freedom left and is singular: the setup's factorisation fails
// its threshold, its message goes to the caller, and the run stops before any
// draw instead of reporting numbers built on a partial factor.
TEST(EngineDiagnostics, ASetupOnAPartialFactorStopsTheRun) {
  struct Row {
    const char* what;
    Engine engine;
    int k, n;
    bool reliable;
  };
  const Row rows[] = {
      {"ordinary data", Engine::Calibrated, 2, 12, true},
      {"ordinary data", Engine::Standard, 2, 12, true},
      {"N = k + 2, singular residual covariance", Engine::Standard, 3, 5, false},
  };
  for (const Row& row : rows) {
    const FixtureSummary s = SummariseFixture(row.k, row.n);
    for (int threads : {1, 2}) {
      EngineDiagnostics diagnostics;
      diagnostics.stoppedInversions = -1;  // must be overwritten
      std::vector<std::string> messages;
      EngineOptions options;
      options.threads = threads;
      options.diagnostics = &diagnostics;
      options.cholMessage = [&messages](const std::string& text) { messages.push_back(text); };
      const EngineRun r = RunEngine(row.engine, row.k, row.n, 3000, true, s, options);
      EXPECT_EQ(r.finished, row.reliable) << row.what;
      EXPECT_EQ(diagnostics.Reliable(), row.reliable) << row.what << ", threads " << threads;
      EXPECT_EQ(messages.empty(), row.reliable) << row.what;
      EXPECT_GE(diagnostics.stoppedInversions, 0);
      EXPECT_EQ(diagnostics.stop, EngineStop::None);
    }
  }
}

// The same data in other units: no pivot fails and the test barely moves (the
// draws differ only by the rounding of the rescaled arithmetic).
TEST(EngineDiagnostics, ScoresInOtherUnitsRunReliably) {
  const FixtureSummary base = SummariseFixture(2);
  EngineRun reference;
  for (long double scale : {1.0L, 1e-7L, 1e3L, 1e6L}) {
    FixtureSummary s = base;
    for (int j = 1; j <= 4; ++j) {
      s.means[j] *= scale;
      s.sds[j] *= scale;
      s.caseScores[j] *= scale;
    }
    for (Engine engine : {Engine::Calibrated, Engine::Standard}) {
      EngineDiagnostics diagnostics;
      EngineOptions options;
      options.diagnostics = &diagnostics;
      const EngineRun r = RunEngine(engine, 2, 12, 20000, true, s, options);
      EXPECT_TRUE(diagnostics.Reliable()) << static_cast<double>(scale);
      if (engine == Engine::Calibrated && scale == 1.0L) reference = r;
      if (engine == Engine::Calibrated) {
        EXPECT_NEAR(static_cast<double>(r.results.percentMoreExtreme),
                    static_cast<double>(reference.results.percentMoreExtreme), 1e-6)
            << static_cast<double>(scale);
        EXPECT_NEAR(static_cast<double>(r.results.effectSizeLower),
                    static_cast<double>(reference.results.effectSizeLower), 1e-6)
            << static_cast<double>(scale);
      }
    }
  }
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

using testing::Hex;

// Outside the engines' domain (a correlation above 1 between two covariates,
// which the analysis never lets through) every draw's Lambda has a negative
// pivot: no draw can be completed, and the run stops at the first one, on one
// thread or two, as the plain reference run does.
TEST(EngineStops, ADrawThatCannotBeCompletedStopsTheRun) {
  FixtureSummary s = SummariseFixture(2);
  s.R(3, 4) = s.R(4, 3) = 1.5L;
  const auto ref =
      RunReferenceEngine(false, 2, 12, 3000, true, 95, s.sds, s.means, s.caseScores, s.R);
  EXPECT_TRUE(ref.stopped);
  for (int threads : {1, 2}) {
    EngineDiagnostics diagnostics;
    EngineOptions options;
    options.threads = threads;
    options.diagnostics = &diagnostics;
    const EngineRun r = RunEngine(Engine::Standard, 2, 12, 3000, true, s, options);
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(diagnostics.stop, EngineStop::NotFinite) << "threads " << threads;
    EXPECT_FALSE(diagnostics.Reliable());
  }
}

// Task scores that are almost the same variable once the covariates are taken
// into account: the calibrated prior's accept/reject step would need about
// 1 / sqrt(1 - r^2) candidates per draw. The run is refused once it is clear
// that fewer than one in kMaxMeanTrials is accepted, not left to run for days.
TEST(EngineStops, AnAcceptanceRateNearZeroIsRefused) {
  FixtureSummary s = SummariseFixture(1);
  const long double r = 1 - 1e-9L;  // 1 - r^2 = 2e-9: the matrix is still positive definite
  s.R(1, 2) = s.R(2, 1) = r;
  s.R(1, 3) = s.R(3, 1) = s.R(2, 3) = s.R(3, 2) = 0;
  EngineDiagnostics diagnostics;
  EngineOptions options;
  options.diagnostics = &diagnostics;
  const EngineRun run = RunEngine(Engine::Calibrated, 1, 400, 1000000, true, s, options);
  EXPECT_FALSE(run.finished);
  EXPECT_EQ(diagnostics.stop, EngineStop::RarelyAccepted);
  EXPECT_GE(diagnostics.trials, kTrialsBeforeRateCheck);
  EXPECT_LT(diagnostics.trials, 2 * kTrialsBeforeRateCheck);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

using testing::Hex;

// Tasks in extreme units (the covariates as they are): Lambda's pivots fall
// below 1e-12 (tiny scores) or Sigma* leaves the double range (scores near
// 1e165), so the fast evaluation hands draws back to the portable one. The
// numbers are still exactly the reference run's. Near 1e-165 the setup's
// inversions meet their thresholds: the engine refuses the run rather than
// build on a partial inverse (the analysis rescales such scores before they
// reach the engine).
TEST(EngineAgreementAtExtremeScales, DrawsHandedBackMatchTheReference) {
  const FixtureSummary base = SummariseFixture(3);
  for (long double scale : {1e-7L, 1e-165L, 1e165L}) {
    FixtureSummary s = base;
    for (int j = 1; j <= 2; ++j) {
      s.means[j] *= scale;
      s.sds[j] *= scale;
      s.caseScores[j] *= scale;
    }
    const bool setupFails = scale == 1e-165L;
    for (bool calibrated : {false, true}) {
      const auto ref =
          RunReferenceEngine(calibrated, 3, 12, 3000, true, 95, s.sds, s.means, s.caseScores, s.R);
      EngineDiagnostics diagnostics;
      EngineOptions options;
      options.diagnostics = &diagnostics;
      options.drawKernels = DrawKernelUse::Always;
      const EngineRun r = RunEngine(calibrated ? Engine::Calibrated : Engine::Standard, 3, 12, 3000,
                                    true, s, options);
      EXPECT_EQ(r.finished, !setupFails) << static_cast<double>(scale);
      EXPECT_EQ(diagnostics.Reliable(), !setupFails) << static_cast<double>(scale);
      if (setupFails) continue;
      EXPECT_EQ(Fields(r.results), Fields(ref.results)) << static_cast<double>(scale);
#if QUORVANE_X87_KERNELS
      EXPECT_GT(diagnostics.portableDraws, 1000) << static_cast<double>(scale);
#endif
    }
  }
}

// At ordinary scales every draw takes the fast evaluation.
TEST(EngineAgreementAtExtremeScales, OrdinaryDataStaysOnTheFastPath) {
  const FixtureSummary s = SummariseFixture(5);
  EngineDiagnostics diagnostics;
  EngineOptions options;
  options.diagnostics = &diagnostics;
  RunEngine(Engine::Calibrated, 5, 12, 3000, true, s, options);
  EXPECT_EQ(diagnostics.portableDraws, 0);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

using testing::Hex;

// The summary of a run's draws on its own (the percentage below the case,
// the probabilities, the order-statistic limits), from a sum and a list of
// draws chosen so that the outcome can be worked by hand.
TEST(SummariseDraws, PercentageFlipAndLimitsFromTheDraws) {
  const tNormal_distribution normal(0, 1);
  // Exactly 50: not turned. The sum of Phi over 4 draws is 2, so P = 50.
  std::vector<long double> draws = {0.5L, -1.0L, 2.0L, -0.25L};
  EngineResults r;
  SummariseDraws(2.0L, draws, 95, true, r);
  EXPECT_EQ(r.percentMoreExtreme, 50.0L);
  EXPECT_EQ(r.oneTailedP, 0.5L);
  EXPECT_EQ(r.twoTailedP, 1.0L);
  // D = 4, L = 95: positions round(0.1) = 0 -> 1 and round(3.9) + 1 = 5 -> 4.
  EXPECT_EQ(r.effectSizeLower, -1.0L);
  EXPECT_EQ(r.effectSizeUpper, 2.0L);
  EXPECT_EQ(r.percentLower, normal.Distribution_function(-1.0L) * 100);
  EXPECT_EQ(r.percentUpper, normal.Distribution_function(2.0L) * 100);

  // Just above 50: turned to the case's side, the limits from the other ends.
  draws = {0.5L, -1.0L, 2.0L, -0.25L};
  SummariseDraws(2.0L + 4e-6L, draws, 95, true, r);
  EXPECT_LT(r.percentMoreExtreme, 50.0L);
  EXPECT_NEAR(static_cast<double>(r.percentMoreExtreme), 50 - 1e-4, 1e-12);
  EXPECT_EQ(r.twoTailedP, r.percentMoreExtreme / 50);
  EXPECT_EQ(r.percentLower, (1 - normal.Distribution_function(2.0L)) * 100);
  EXPECT_EQ(r.percentUpper, (1 - normal.Distribution_function(-1.0L)) * 100);
  EXPECT_LE(r.percentLower, r.percentUpper);

  // One draw: both limits are that draw, whatever the positions say.
  std::vector<long double> one = {0.75L};
  SummariseDraws(normal.Distribution_function(0.75L), one, 95, false, r);
  EXPECT_EQ(r.effectSizeLower, 0.75L);
  EXPECT_EQ(r.effectSizeUpper, 0.75L);
  EXPECT_GT(r.percentMoreExtreme, 0);

  // 40 draws, one-sided: positions round(2) = 2 and round(38) + 1 = 39.
  std::vector<long double> many;
  for (int i = 40; i >= 1; --i) many.push_back(i);
  SummariseDraws(10.0L, many, 95, false, r);
  EXPECT_EQ(r.effectSizeLower, 2.0L);
  EXPECT_EQ(r.effectSizeUpper, 39.0L);
  EXPECT_EQ(r.percentMoreExtreme, 25.0L);
}

}  // namespace
}  // namespace quorvane
