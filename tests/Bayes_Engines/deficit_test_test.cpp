// The deficit test against reference values computed independently
// (tests/deficit_reference.py: an explicit least-squares fit on the raw rows
// and the Student t and non-central t written as mpmath integrals, 40 digits),
// from raw data summarised as an analysis does and from the summary
// statistics alone; Boost's distributions against the same reference; the
// Bayesian reading of the limits by Monte Carlo; and the extreme inputs.
#include "Bayes_Engines/deficit_test.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "matrix_handling/matrix_ops.h"
#include "text/format_text.h"

namespace quorvane {
namespace {

// Every number the test gives agrees with the 40-digit reference to 2e-15
// relative. Most agree to a few units in the last place of a long double
// (1e-19 .. 1e-17); the worst seen, 3.5e-16, is a percentage limit far in a
// tail (0.0000x%), where Phi's relative slope |delta| magnifies the last-place
// error of the limit.
constexpr long double kRelativeTolerance = 2e-15L;
// Boost's Student t and non-central t in long double against the reference:
// 1e-16 relative (the points include lambda = 1000 and -3000, nu = 1 and 2,
// and tails of 1e-9 and 1e-18).
constexpr long double kDistributionTolerance = 1e-16L;

struct ReferenceCase {
  std::string name;
  int N = 0, k = 0, task = 0;
  PoorerScores poorer = PoorerScores::Lower;
  bool twoSided = true;
  int percent = 95;
  std::vector<std::vector<long double>> rows;
  std::vector<long double> means, sds;
  std::vector<std::vector<long double>> corr;
  std::map<std::string, long double> expect;
};

struct DistributionPoint {
  bool nonCentral = false;
  long double nu = 0, lambda = 0, x = 0, lower = 0, upper = 0;
};

struct ReferenceTable {
  std::vector<ReferenceCase> cases;
  std::vector<DistributionPoint> points;
};

std::vector<long double> Numbers(std::istringstream& in) {
  std::vector<long double> v;
  std::string item;
  while (in >> item) v.push_back(std::strtold(item.c_str(), nullptr));
  return v;
}

const ReferenceTable& Table() {
  static const ReferenceTable table = [] {
    ReferenceTable t;
    std::ifstream file(QUORVANE_TEST_DATA_DIR "/deficit_reference.txt");
    std::string line;
    ReferenceCase c;
    while (std::getline(file, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream in(line);
      std::string key;
      in >> key;
      if (key == "case") {
        c = ReferenceCase{};
        c.name = line.substr(5);
      } else if (key == "N") {
        in >> c.N;
      } else if (key == "k") {
        in >> c.k;
      } else if (key == "task") {
        in >> c.task;
      } else if (key == "poorer") {
        std::string p;
        in >> p;
        c.poorer = p == "higher" ? PoorerScores::Higher : PoorerScores::Lower;
      } else if (key == "limits") {
        std::string sides;
        in >> sides >> c.percent;
        c.twoSided = sides == "two-sided";
      } else if (key == "row") {
        c.rows.push_back(Numbers(in));
      } else if (key == "means") {
        c.means = Numbers(in);
      } else if (key == "sds") {
        c.sds = Numbers(in);
      } else if (key == "corr") {
        c.corr.push_back(Numbers(in));
      } else if (key == "expect") {
        std::string name, value;
        in >> name >> value;
        c.expect[name] = std::strtold(value.c_str(), nullptr);
      } else if (key == "end") {
        t.cases.push_back(c);
      } else if (key == "student" || key == "nct") {
        const std::vector<long double> v = Numbers(in);
        DistributionPoint p;
        p.nonCentral = key == "nct";
        p.nu = v.at(0);
        if (p.nonCentral) {
          p.lambda = v.at(1);
          p.x = v.at(2);
          p.lower = v.at(3);
          p.upper = v.at(4);
        } else {
          p.x = v.at(1);
          p.lower = v.at(2);
          p.upper = v.at(3);
        }
        t.points.push_back(p);
      }
    }
    return t;
  }();
  return table;
}

// The inputs of a test, as the engines take them.
struct Inputs {
  int N = 0, k = 0;
  Vector means, sds, caseScores;
  Matrix R;
};

// From the raw rows, summarised as an analysis summarises a data file.
Inputs FromRaw(const ReferenceCase& c) {
  Inputs in;
  in.N = c.N;
  in.k = c.k;
  const int K = c.k + 2;
  DataMatrix X(c.N + 1, K);
  for (int i = 1; i <= c.N + 1; ++i) {
    for (int j = 1; j <= K; ++j) X(i, j) = c.rows.at(i - 1).at(j - 1);
  }
  Data_Summary(X, c.N, K, in.R, in.means, in.sds);
  for (int j = 1; j <= K; ++j) in.caseScores[j] = X(c.N + 1, j);
  return in;
}

// From the summary statistics alone (25 digits, read as long double).
Inputs FromSummary(const ReferenceCase& c) {
  Inputs in;
  in.N = c.N;
  in.k = c.k;
  const int K = c.k + 2;
  for (int j = 1; j <= K; ++j) {
    in.means[j] = c.means.at(j - 1);
    in.sds[j] = c.sds.at(j - 1);
    in.caseScores[j] = c.rows.back().at(j - 1);
    for (int i = 1; i <= K; ++i) in.R(i, j) = c.corr.at(i - 1).at(j - 1);
  }
  return in;
}

DeficitResult DeficitOf(const Inputs& in, int task, PoorerScores poorer, bool twoSided = true,
                        int percent = 95) {
  return Run_Deficit_Test(task, poorer, in.k, in.N, twoSided, percent, in.sds, in.means,
                          in.caseScores, in.R);
}

std::map<std::string, long double> Values(const DeficitResult& r) {
  return {{"df", r.df},
          {"predicted", r.predicted},
          {"residualSD", r.residualSD},
          {"leverage", r.leverage},
          {"t", r.t},
          {"oneTailedP", r.oneTailedP},
          {"twoTailedP", r.twoTailedP},
          {"effectSize", r.effectSize},
          {"percentBeyond", r.percentBeyond},
          {"effectSizeLower", r.effectSizeLower},
          {"effectSizeUpper", r.effectSizeUpper},
          {"percentLower", r.percentLower},
          {"percentUpper", r.percentUpper}};
}

::testing::AssertionResult Close(long double got, long double want, long double relative) {
  const long double error = std::fabs(got - want);
  if (error <= relative * std::fabs(want)) return ::testing::AssertionSuccess();
  char text[160];
  std::snprintf(text, sizeof text, "got %.21Lg, want %.21Lg (relative error %.3Lg)", got, want,
                want != 0 ? error / std::fabs(want) : error);
  return ::testing::AssertionFailure() << text;
}

TEST(DeficitTest, ReferenceTableIsThere) {
  // Every pattern the table is meant to cover: both directions, k = 1 and 5,
  // the smallest N of each prior, one-sided limits.
  ASSERT_GE(Table().cases.size(), 17u);
  ASSERT_GE(Table().points.size(), 16u);
}

// Raw data and the summary statistics alone give the reference's numbers, and
// the same printed digits as each other.
TEST(DeficitTest, MatchesTheIndependentReferenceFromRawAndSummaryInput) {
  for (const ReferenceCase& c : Table().cases) {
    SCOPED_TRACE(c.name);
    const DeficitResult raw = DeficitOf(FromRaw(c), c.task, c.poorer, c.twoSided, c.percent);
    const DeficitResult summary =
        DeficitOf(FromSummary(c), c.task, c.poorer, c.twoSided, c.percent);
    ASSERT_EQ(raw.problem, DeficitProblem::None);
    ASSERT_EQ(summary.problem, DeficitProblem::None);
    const auto rawValues = Values(raw);
    const auto summaryValues = Values(summary);
    ASSERT_EQ(c.expect.size(), rawValues.size());
    for (const auto& [name, want] : c.expect) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(Close(rawValues.at(name), want, kRelativeTolerance)) << "raw data";
      EXPECT_TRUE(Close(summaryValues.at(name), want, kRelativeTolerance)) << "summary";
      EXPECT_EQ(FormatText("%.5Lf", rawValues.at(name)),
                FormatText("%.5Lf", summaryValues.at(name)));
    }
  }
}

// Boost's distribution functions in long double against the reference.
TEST(DeficitTest, BoostDistributionsMatchTheReference) {
  using boost::math::complement;
  for (const DistributionPoint& p : Table().points) {
    SCOPED_TRACE(FormatText("nu %Lg, lambda %Lg, x %Lg", p.nu, p.lambda, p.x));
    long double lower = 0, upper = 0;
    if (p.nonCentral) {
      const boost::math::non_central_t_distribution<long double> d(p.nu, p.lambda);
      lower = cdf(d, p.x);
      upper = cdf(complement(d, p.x));
    } else {
      const boost::math::students_t_distribution<long double> d(p.nu);
      lower = cdf(d, p.x);
      upper = cdf(complement(d, p.x));
    }
    EXPECT_TRUE(Close(lower, p.lower, kDistributionTolerance));
    EXPECT_TRUE(Close(upper, p.upper, kDistributionTolerance));
  }
}

// Under p(beta, sigma) proportional to 1 / sigma: sigma^2 = nu s^2 / chi^2_nu,
// mu0 = yhat0 + sigma sqrt(h0) Z, delta = (y0 - mu0) / sigma. The closed-form
// limits are delta's quantiles, and the mean of Phi(delta) (of Phi(-delta)
// when higher scores are poorer) is the one-tailed p.
//
// Bounds, 200,000 draws: the share of draws below each limit is binomial, so
// it lies within 4.5 of its standard errors sqrt(q (1 - q) / n) of q (the
// chance of a larger miss is below 1e-5 for each); the mean of Phi(delta)
// lies within 4.5 of its estimated standard errors of the p.
TEST(DeficitTest, MonteCarloDrawsOfTheCasesEffectSizeAgreeWithTheClosedForm) {
  constexpr int kDraws = 200000;
  const boost::math::normal_distribution<long double> normal(0, 1);
  int meansChecked = 0;
  for (const ReferenceCase& c : Table().cases) {
    SCOPED_TRACE(c.name);
    const DeficitResult r = DeficitOf(FromRaw(c), c.task, c.poorer, c.twoSided, c.percent);
    ASSERT_TRUE(r.HasLimits());
    std::mt19937_64 generator(20240611);
    std::chi_squared_distribution<long double> chiSquare(static_cast<long double>(r.df));
    std::normal_distribution<long double> z(0, 1);
    const long double s = r.residualSD;
    int belowLower = 0, belowUpper = 0;
    long double sum = 0, squares = 0;
    for (int i = 0; i < kDraws; ++i) {
      const long double sigma = std::sqrt(r.df * s * s / chiSquare(generator));
      const long double mu0 = r.predicted + sigma * std::sqrt(r.leverage) * z(generator);
      const long double delta = (r.caseScore - mu0) / sigma;
      if (delta < r.effectSizeLower) ++belowLower;
      if (delta < r.effectSizeUpper) ++belowUpper;
      const long double phi = cdf(normal, c.poorer == PoorerScores::Lower ? delta : -delta);
      sum += phi;
      squares += phi * phi;
    }
    const long double outside = (100 - c.percent) / 100.0L;
    const long double qLow = c.twoSided ? outside / 2 : outside;
    const long double qHigh = 1 - qLow;
    auto within = [&](int count, long double q) {
      const long double share = static_cast<long double>(count) / kDraws;
      return std::fabs(share - q) <= 4.5L * std::sqrt(q * (1 - q) / kDraws);
    };
    EXPECT_TRUE(within(belowLower, qLow)) << belowLower << " draws below the lower limit";
    EXPECT_TRUE(within(belowUpper, qHigh)) << belowUpper << " draws below the upper limit";
    // The mean of Phi(delta) for a p far in a tail rests on a few rare draws
    // (a small chi-square), so its spread is not estimated reliably there:
    // checked for 1e-4 <= p <= 1 - 1e-4 (all but the two far-tail cases).
    if (r.oneTailedP >= 1e-4L && r.oneTailedP <= 1 - 1e-4L) {
      const long double mean = sum / kDraws;
      const long double se = std::sqrt((squares / kDraws - mean * mean) / (kDraws - 1));
      EXPECT_NEAR(mean, r.oneTailedP, 4.5L * se);
      ++meansChecked;
    }
  }
  EXPECT_GE(meansChecked, 15);
}

// A small data set in the engines' form: N controls, one covariate, the
// correlations given directly.
Inputs OneCovariate(int N, long double r12, long double r13, long double r23, Vector caseScores) {
  Inputs in;
  in.N = N;
  in.k = 1;
  in.means[1] = 50;
  in.means[2] = 40;
  in.means[3] = 100;
  in.sds[1] = 10;
  in.sds[2] = 8;
  in.sds[3] = 15;
  in.caseScores = caseScores;
  for (int i = 1; i <= 3; ++i) in.R(i, i) = 1;
  in.R(1, 2) = in.R(2, 1) = r12;
  in.R(1, 3) = in.R(3, 1) = r13;
  in.R(2, 3) = in.R(3, 2) = r23;
  return in;
}

Vector Scores(long double y1, long double y2, long double x) {
  Vector v;
  v[1] = y1;
  v[2] = y2;
  v[3] = x;
  return v;
}

// A case exactly at its prediction: t = 0, p = 1/2 each way, the limits
// symmetric about 0, and the two directions mirror each other.
TEST(DeficitTest, ACaseAtItsPredictionAndTheTwoDirections) {
  // Prediction for Task Y1 at x = 115: 50 + 10 x 0.6 x 1 = 56.
  const Inputs in = OneCovariate(12, 0.5L, 0.6L, 0.4L, Scores(56, 30, 115));
  const DeficitResult lower = DeficitOf(in, 1, PoorerScores::Lower);
  ASSERT_EQ(lower.problem, DeficitProblem::None);
  EXPECT_NEAR(lower.predicted, 56, 1e-15L);
  EXPECT_NEAR(lower.t, 0, 1e-16L);
  EXPECT_NEAR(lower.oneTailedP, 0.5L, 1e-16L);
  EXPECT_NEAR(lower.twoTailedP, 1, 1e-16L);
  EXPECT_LE(lower.twoTailedP, 1);
  EXPECT_NEAR(lower.effectSizeLower, -lower.effectSizeUpper, 1e-15L);
  EXPECT_NEAR(lower.percentLower, 100 - lower.percentUpper, 1e-13L);

  // Higher scores poorer: the tails swap, the percentage's limits mirror.
  const Inputs far = OneCovariate(12, 0.5L, 0.6L, 0.4L, Scores(31, 30, 115));
  const DeficitResult low = DeficitOf(far, 1, PoorerScores::Lower);
  const DeficitResult high = DeficitOf(far, 1, PoorerScores::Higher);
  ASSERT_TRUE(low.HasLimits() && high.HasLimits());
  EXPECT_LT(low.oneTailedP, 0.05L);
  EXPECT_NEAR(low.oneTailedP + high.oneTailedP, 1, 1e-18L);
  EXPECT_EQ(low.twoTailedP, high.twoTailedP);
  EXPECT_EQ(low.effectSize, high.effectSize);
  EXPECT_EQ(low.effectSizeLower, high.effectSizeLower);
  EXPECT_NEAR(high.percentLower, 100 - low.percentUpper, 1e-13L);
  EXPECT_NEAR(high.percentUpper, 100 - low.percentLower, 1e-13L);
  EXPECT_NEAR(high.percentBeyond, 100 - low.percentBeyond, 1e-13L);
}

// Units and origins do not matter: a task in other units (x 1000, shifted)
// gives the same test.
TEST(DeficitTest, UnitsAndOriginsDoNotChangeTheTest) {
  const Inputs in = OneCovariate(15, 0.4L, 0.55L, 0.3L, Scores(28, 39, 92));
  Inputs scaled = in;
  scaled.means[1] = in.means[1] * 1000 + 1e6L;
  scaled.sds[1] = in.sds[1] * 1000;
  scaled.caseScores[1] = in.caseScores[1] * 1000 + 1e6L;
  scaled.means[3] = in.means[3] / 64 - 3;
  scaled.sds[3] = in.sds[3] / 64;
  scaled.caseScores[3] = in.caseScores[3] / 64 - 3;
  const DeficitResult a = DeficitOf(in, 1, PoorerScores::Lower);
  const DeficitResult b = DeficitOf(scaled, 1, PoorerScores::Lower);
  ASSERT_TRUE(a.HasLimits() && b.HasLimits());
  EXPECT_TRUE(Close(b.t, a.t, 1e-15L));
  EXPECT_TRUE(Close(b.oneTailedP, a.oneTailedP, 1e-14L));
  EXPECT_TRUE(Close(b.effectSizeLower, a.effectSizeLower, 1e-14L));
  EXPECT_TRUE(Close(b.residualSD, a.residualSD * 1000, 1e-15L));
  EXPECT_TRUE(Close(b.leverage, a.leverage, 1e-15L));
}

// Extreme inputs end quickly with numbers or a typed problem, never NaN in a
// result that says it has one.
TEST(DeficitTest, ExtremeInputsGiveNumbersOrATypedProblem) {
  struct Case {
    const char* name;
    Inputs in;
    DeficitProblem problem;
  };
  const Case cases[] = {
      // nu = 1 (N = 3, k = 1).
      {"nu 1", OneCovariate(3, 0.5L, 0.6L, 0.4L, Scores(20, 40, 100)), DeficitProblem::None},
      // Covariate a million SDs from the controls': h0 about 1e12 / N.
      {"huge leverage", OneCovariate(20, 0.5L, 0.6L, 0.4L, Scores(20, 40, 1.5e7L)),
       DeficitProblem::None},
      // The case 200 SDs below its prediction: t* about -900, lambda up to
      // about -2,000, still within reach.
      {"far tail", OneCovariate(20, 0.5L, 0.6L, 0.4L, Scores(-1950, 40, 100)),
       DeficitProblem::None},
      // 20,000 SDs: the limits need |lambda| beyond kMaxNonCentrality.
      {"beyond the limits' reach", OneCovariate(20, 0.5L, 0.6L, 0.4L, Scores(-2e5L, 40, 100)),
       DeficitProblem::LimitsNotFound},
      // Task Y1 a linear function of the covariate in the controls.
      {"exact fit", OneCovariate(20, 0.5L, 1, 0.5L, Scores(20, 40, 100)),
       DeficitProblem::NotAnalysable},
      {"NaN case score",
       OneCovariate(20, 0.5L, 0.6L, 0.4L,
                    Scores(std::numeric_limits<long double>::quiet_NaN(), 40, 100)),
       DeficitProblem::NotFinite},
      {"infinite covariate",
       OneCovariate(20, 0.5L, 0.6L, 0.4L,
                    Scores(20, 40, std::numeric_limits<long double>::infinity())),
       DeficitProblem::NotFinite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto start = std::chrono::steady_clock::now();
    const DeficitResult r = DeficitOf(c.in, 1, PoorerScores::Lower);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.problem, c.problem);
    if (r.HasTest()) {
      for (const auto& [name, value] : Values(r)) {
        if (name.find("Lower") != std::string::npos || name.find("Upper") != std::string::npos) {
          EXPECT_EQ(std::isfinite(value), r.HasLimits()) << name;
        } else {
          EXPECT_TRUE(std::isfinite(value)) << name;
        }
      }
      EXPECT_GE(r.oneTailedP, 0);
      EXPECT_LE(r.oneTailedP, 1);
    }
    if (r.HasLimits()) {
      EXPECT_LT(r.effectSizeLower, r.effectSizeUpper);
      EXPECT_LE(r.percentLower, r.percentUpper);
      EXPECT_LE(r.effectSizeLower, r.effectSize);
      EXPECT_GE(r.effectSizeUpper, r.effectSize);
    }
  }
}

TEST(DeficitTest, InputsOutsideTheDomainAreRefused) {
  const Inputs in = OneCovariate(10, 0.5L, 0.6L, 0.4L, Scores(30, 40, 100));
  auto problem = [&](int task, int k, int N, int percent) {
    return Run_Deficit_Test(task, PoorerScores::Lower, k, N, true, percent, in.sds, in.means,
                            in.caseScores, in.R)
        .problem;
  };
  EXPECT_EQ(problem(1, 1, 10, 95), DeficitProblem::None);
  EXPECT_EQ(problem(3, 1, 10, 95), DeficitProblem::OutsideDomain);
  EXPECT_EQ(problem(0, 1, 10, 95), DeficitProblem::OutsideDomain);
  EXPECT_EQ(problem(1, 0, 10, 95), DeficitProblem::OutsideDomain);
  EXPECT_EQ(problem(1, 6, 10, 95), DeficitProblem::OutsideDomain);
  EXPECT_EQ(problem(1, 1, 2, 95), DeficitProblem::OutsideDomain);  // nu = 0
  EXPECT_EQ(problem(1, 1, 10, 0), DeficitProblem::OutsideDomain);
  EXPECT_EQ(problem(1, 1, 10, 100), DeficitProblem::OutsideDomain);
  Inputs zeroSD = in;
  zeroSD.sds[3] = 0;
  EXPECT_EQ(DeficitOf(zeroSD, 1, PoorerScores::Lower).problem, DeficitProblem::NotFinite);
}

// The predictive distribution's functions: the t density and distribution
// function, scaled; the distribution function at the case is the
// percentage's point estimate.
TEST(DeficitTest, PredictiveDistributionAtTheCase) {
  const Inputs in = OneCovariate(9, 0.5L, 0.6L, 0.4L, Scores(31, 40, 95));
  const DeficitResult r = DeficitOf(in, 1, PoorerScores::Lower);
  ASSERT_TRUE(r.HasLimits());
  EXPECT_TRUE(Close(ScaledTCdf(r.df, r.predicted, r.PredictiveScale(), r.caseScore),
                    r.percentBeyond / 100, 1e-16L));
  // Student t with 2 df: density 1 / (2 sqrt 2) at 0 and the distribution
  // function 1/2 + x / (2 sqrt(2 + x^2)).
  EXPECT_TRUE(Close(ScaledTDensity(2, 10, 4, 10), 1 / (2 * std::sqrt(2.0L)) / 4, 1e-18L));
  EXPECT_TRUE(Close(ScaledTCdf(2, 10, 4, 14), 0.5L + 1 / (2 * std::sqrt(3.0L)), 1e-18L));
  EXPECT_TRUE(std::isnan(ScaledTDensity(0, 0, 1, 0)));
  EXPECT_TRUE(std::isnan(ScaledTCdf(3, 0, 0, 1)));
}

}  // namespace
}  // namespace quorvane
