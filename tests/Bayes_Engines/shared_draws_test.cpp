// Many cases on one set of draws: each case's outputs are, bit for bit, those
// of its own single run (the engines' outputs, the sums of Phi, the trials and
// the stop), whatever the number of threads, the prior, k, or where the draws
// end a chunk; a case whose own z* is not finite stops alone, as its single
// run does; a cancel stops the run.
#include "Bayes_Engines/shared_draws.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Bayes_Engines/engine_fixture.h"
#include "Bayes_Engines/engines.h"

namespace quorvane {
namespace {

using testing::FixtureSummary;
using testing::Hex;
using testing::SummariseFixture;

struct Single {
  bool completed = false;
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  PhiSums phiSums;
  EngineDiagnostics diagnostics;
};

Single RunAlone(bool calibrated, int k, int n, int D, bool twoSided, const FixtureSummary& s,
                const Vector& scores) {
  Single one;
  EngineOptions options;
  options.threads = 1;
  options.phiSums = &one.phiSums;
  options.diagnostics = &one.diagnostics;
  const auto run = calibrated ? Run_Calibrated_Engine : Run_Standard_Theory_Engine;
  one.completed = run(k, n, D, twoSided, 95, s.sds, s.means, scores, s.R, one.condMeans,
                      one.condSDs, one.partialR, one.condZ1, one.condZ2, one.results, options);
  return one;
}

// Every output the analysis reads, as full-precision text.
std::string Outputs(bool completed, const Vector& condMeans, const Vector& condSDs,
                    long double partialR, long double z1, long double z2, const EngineResults& r,
                    const PhiSums& phi, const EngineDiagnostics& diagnostics) {
  std::string text = completed ? "completed" : "stopped";
  text += " stop " + std::to_string(static_cast<int>(diagnostics.stop));
  if (!completed) return text;  // the single run leaves the other outputs unspecified
  for (const long double x :
       {condMeans[1], condMeans[2], condSDs[1], condSDs[2], partialR, z1, z2, r.oneTailedP,
        r.twoTailedP, r.percentMoreExtreme, r.percentLower, r.percentUpper, r.effectSize,
        r.effectSizeLower, r.effectSizeUpper, phi.sum, phi.squares}) {
    text += " " + Hex(x);
  }
  return text + " trials " + std::to_string(diagnostics.trials);
}

// Cases around the fixture's case: each task and covariate moved by a
// multiple of its SD, so that the z* fall on both sides of zero and the
// percentage is turned for some and not for others.
std::vector<Vector> Cases(const FixtureSummary& s, int k, int count) {
  std::vector<Vector> cases;
  for (int c = 0; c < count; ++c) {
    Vector v = s.caseScores;
    v[1] = s.means[1] + s.sds[1] * (static_cast<long double>(c % 7) - 3) * 0.9L;
    v[2] = s.means[2] - s.sds[2] * (static_cast<long double>(c % 5) - 2) * 0.7L;
    for (int j = 3; j <= k + 2; ++j) {
      v[j] = s.means[j] + s.sds[j] * (static_cast<long double>((c + j) % 9) - 4) * 0.6L;
    }
    cases.push_back(v);
  }
  return cases;
}

struct Setting {
  bool calibrated;
  int k;
  int draws;
  bool twoSided;
  int threads;
};

TEST(SharedDraws, EveryCaseEqualsItsSingleRunBitForBit) {
  // 20,000 draws: ten chunks, more than the ring holds, the last one short;
  // 2,048 draws: exactly one chunk; 1 draw. k = 3 to 5 run alone on the x87
  // kernels where they are built, and the shared draws the portable way.
  const std::vector<Setting> settings = {
      {true, 2, 20000, true, 2},  {false, 2, 20000, true, 2}, {true, 1, 20000, false, 1},
      {false, 3, 20000, true, 3}, {true, 5, 20000, false, 2}, {false, 4, 2048, true, 2},
      {true, 2, 1, true, 2},      {false, 1, 5000, false, 1},
  };
  for (const Setting& setting : settings) {
    const int n = 12;
    const FixtureSummary s = SummariseFixture(setting.k);
    const std::vector<Vector> scores = Cases(s, setting.k, 9);
    std::vector<SharedCase> cases(scores.size());
    for (std::size_t c = 0; c < scores.size(); ++c) cases[c].caseScores = &scores[c];
    SharedRunOptions options;
    options.threads = setting.threads;
    ASSERT_TRUE(Run_Shared_Draws(setting.calibrated, setting.k, n, setting.draws, setting.twoSided,
                                 95, s.sds, s.means, s.R, cases, options));
    for (std::size_t c = 0; c < scores.size(); ++c) {
      const Single want =
          RunAlone(setting.calibrated, setting.k, n, setting.draws, setting.twoSided, s, scores[c]);
      const SharedCase& got = cases[c];
      const std::string where = "prior " + std::to_string(setting.calibrated) + " k " +
                                std::to_string(setting.k) + " draws " +
                                std::to_string(setting.draws) + " case " + std::to_string(c);
      ASSERT_TRUE(want.completed) << where;
      EXPECT_TRUE(got.exact) << where;
      EXPECT_EQ(Outputs(got.completed, got.condMeans, got.condSDs, got.partialR, got.condZ1,
                        got.condZ2, got.results, got.phiSums, got.diagnostics),
                Outputs(want.completed, want.condMeans, want.condSDs, want.partialR, want.condZ1,
                        want.condZ2, want.results, want.phiSums, want.diagnostics))
          << where;
    }
  }
}

// Task scores near the largest extended real, of opposite signs, make that
// case's z* overflow on some draw: its single run stops (NotFinite); in a
// shared run it stops alone and the others end as their single runs do.
TEST(SharedDraws, ACaseWhoseDrawIsNotFiniteStopsAloneAsItsSingleRunDoes) {
  const int k = 2, n = 12, D = 6000;
  const FixtureSummary s = SummariseFixture(k);
  std::vector<Vector> scores = Cases(s, k, 3);
  scores[1][1] = 1e4932L;
  scores[1][2] = -1e4932L;
  std::vector<SharedCase> cases(scores.size());
  for (std::size_t c = 0; c < scores.size(); ++c) cases[c].caseScores = &scores[c];
  ASSERT_TRUE(Run_Shared_Draws(false, k, n, D, true, 95, s.sds, s.means, s.R, cases));
  for (std::size_t c = 0; c < scores.size(); ++c) {
    const Single want = RunAlone(false, k, n, D, true, s, scores[c]);
    EXPECT_EQ(want.completed, c != 1);
    EXPECT_EQ(cases[c].completed, want.completed) << c;
    EXPECT_EQ(cases[c].diagnostics.stop, want.diagnostics.stop) << c;
    if (want.completed) {
      EXPECT_EQ(cases[c].results, want.results) << c;
    }
  }
  EXPECT_EQ(cases[1].diagnostics.stop, EngineStop::NotFinite);
}

// Controls whose draws cannot be completed (a covariate correlation of 1.5:
// every Lambda has a negative pivot) stop every case, with the single run's
// reason.
TEST(SharedDraws, DrawsThatCannotBeCompletedStopEveryCase) {
  FixtureSummary s = SummariseFixture(2);
  s.R(3, 4) = s.R(4, 3) = 1.5L;
  std::vector<Vector> scores = Cases(s, 2, 4);
  std::vector<SharedCase> cases(scores.size());
  for (std::size_t c = 0; c < scores.size(); ++c) cases[c].caseScores = &scores[c];
  ASSERT_TRUE(Run_Shared_Draws(false, 2, 12, 3000, true, 95, s.sds, s.means, s.R, cases));
  for (std::size_t c = 0; c < scores.size(); ++c) {
    const Single want = RunAlone(false, 2, 12, 3000, true, s, scores[c]);
    EXPECT_FALSE(want.completed);
    EXPECT_FALSE(cases[c].completed) << c;
    EXPECT_EQ(cases[c].diagnostics.stop, want.diagnostics.stop) << c;
    EXPECT_EQ(cases[c].diagnostics.stop, EngineStop::NotFinite) << c;
  }
}

TEST(SharedDraws, ProgressReachesTheEndAndACancelStopsTheRun) {
  const int k = 1, D = 30000;
  const FixtureSummary s = SummariseFixture(k);
  const std::vector<Vector> scores = Cases(s, k, 5);
  for (const int threads : {1, 2}) {
    std::vector<SharedCase> cases(scores.size());
    for (std::size_t c = 0; c < scores.size(); ++c) cases[c].caseScores = &scores[c];
    std::int64_t last = -1;
    bool ordered = true;
    SharedRunOptions options;
    options.threads = threads;
    options.progress = [&](std::int64_t done, std::int64_t total) {
      ordered = ordered && done >= last && done <= total && total == D;
      last = done;
      return true;
    };
    ASSERT_TRUE(Run_Shared_Draws(true, k, 12, D, true, 95, s.sds, s.means, s.R, cases, options));
    EXPECT_TRUE(ordered);
    EXPECT_EQ(last, D) << threads;

    int calls = 0;
    options.progress = [&calls](std::int64_t, std::int64_t) { return ++calls < 3; };
    EXPECT_FALSE(Run_Shared_Draws(true, k, 12, D, true, 95, s.sds, s.means, s.R, cases, options));
    EXPECT_EQ(calls, 3) << threads;
  }
}

// One-sided limits at 30%: the upper limit's position lies below the lower
// one's, where a single run reads whatever a partial sort left there. The
// shared draws cannot promise that value: every case is marked to run alone,
// its other outputs still its single run's.
TEST(SharedDraws, LimitsOutOfOrderSendTheCasesToRunAlone) {
  const int k = 1, n = 12, D = 4000;
  const FixtureSummary s = SummariseFixture(k);
  const std::vector<Vector> scores = Cases(s, k, 3);
  for (const int percent : {30, 95}) {
    std::vector<SharedCase> cases(scores.size());
    for (std::size_t c = 0; c < scores.size(); ++c) cases[c].caseScores = &scores[c];
    ASSERT_TRUE(Run_Shared_Draws(true, k, n, D, false, percent, s.sds, s.means, s.R, cases));
    for (std::size_t c = 0; c < scores.size(); ++c) {
      EXPECT_EQ(cases[c].exact, percent == 95) << percent << " " << c;
      EXPECT_TRUE(cases[c].completed);
      Single want;
      EngineOptions options;
      options.threads = 1;
      options.phiSums = &want.phiSums;
      EXPECT_TRUE(Run_Calibrated_Engine(k, n, D, false, percent, s.sds, s.means, scores[c], s.R,
                                        want.condMeans, want.condSDs, want.partialR, want.condZ1,
                                        want.condZ2, want.results, options));
      EXPECT_EQ(Hex(cases[c].results.twoTailedP), Hex(want.results.twoTailedP));
      EXPECT_EQ(Hex(cases[c].results.effectSizeLower), Hex(want.results.effectSizeLower));
    }
  }
}

TEST(SharedDraws, ACaseKeepsTheDrawsOfItsLimitsOnly) {
  // Two-sided 95%: 25,000 lowest and 25,000 highest of 1,000,000 draws, each
  // with room for as many again before a trim.
  EXPECT_EQ(SharedCaseBytes(1000000, 95, true), 2 * 50000 * sizeof(long double));
  // One-sided: 50,000 and 50,000.
  EXPECT_EQ(SharedCaseBytes(1000000, 95, false), 2 * 100000 * sizeof(long double));
  // The largest number of draws: 2.5% at each end (53,687,091), counted
  // without overflow.
  EXPECT_EQ(SharedCaseBytes(2147483647, 95, true),
            std::size_t{2} * 2 * 53687091 * sizeof(long double));
  // A handful of draws: at least 16 of room.
  EXPECT_EQ(SharedCaseBytes(40, 95, true), 2 * (1 + 16) * sizeof(long double));
}

}  // namespace
}  // namespace quorvane
