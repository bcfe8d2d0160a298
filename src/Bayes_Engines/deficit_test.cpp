#include "Bayes_Engines/deficit_test.h"

#include <algorithm>
#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/tools/roots.hpp>
#include <cmath>
#include <cstdint>
#include <exception>

#include "matrix_handling/decompositions.h"

namespace quorvane {

namespace {

constexpr int kMaxCovariates = 5;
// Steps of the bracket's widening (each doubles the step) and of the root's
// refinement: far more than either needs.
constexpr int kMaxWidenings = 64;
constexpr std::uintmax_t kMaxRootIterations = 200;

using boost::math::complement;
using boost::math::non_central_t_distribution;
using boost::math::normal_distribution;
using boost::math::students_t_distribution;

bool AllFinite(std::initializer_list<long double> values) {
  return std::all_of(values.begin(), values.end(), [](long double v) { return std::isfinite(v); });
}

// The non-centrality lambda with P(T_{nu,lambda} > tStar) = tail when upper,
// P(T_{nu,lambda} <= tStar) = tail otherwise (tail <= 1/2 in use, so that the
// small probability is computed directly). The upper tail grows with lambda
// and the lower falls. False when the root is not bracketed within
// kMaxNonCentrality or the refinement does not converge; a Boost error
// (an evaluation beyond its range) propagates as an exception.
bool NonCentralityFor(long double nu, long double tStar, long double tail, bool upper,
                      long double& lambda) {
  // g(lambda) rises with lambda in both cases.
  auto g = [&](long double l) -> long double {
    const non_central_t_distribution<long double> d(nu, l);
    return upper ? cdf(complement(d, tStar)) - tail : tail - cdf(d, tStar);
  };
  if (!(std::fabs(tStar) <= kMaxNonCentrality)) return false;
  long double a = tStar, b = tStar;
  long double ga = g(tStar), gb = ga;
  if (ga == 0) {
    lambda = tStar;
    return true;
  }
  // A step on the scale of the spread of t* about lambda.
  long double step = std::max(1.0L, std::sqrt(1 + tStar * tStar / (2 * nu)));
  int widenings = 0;
  if (ga < 0) {  // the root lies above
    do {
      a = b;
      ga = gb;
      b = a + step;
      step *= 2;
      if (!(std::fabs(b) <= kMaxNonCentrality) || ++widenings > kMaxWidenings) return false;
      gb = g(b);
    } while (gb < 0);
  } else {  // below
    do {
      b = a;
      gb = ga;
      a = b - step;
      step *= 2;
      if (!(std::fabs(a) <= kMaxNonCentrality) || ++widenings > kMaxWidenings) return false;
      ga = g(a);
    } while (ga > 0);
  }
  if (ga == 0 || gb == 0) {
    lambda = ga == 0 ? a : b;
    return true;
  }
  std::uintmax_t iterations = kMaxRootIterations;
  const auto bracket = boost::math::tools::toms748_solve(
      g, a, b, ga, gb,
      boost::math::tools::eps_tolerance<long double>(std::numeric_limits<long double>::digits - 3),
      iterations);
  lambda = bracket.first + (bracket.second - bracket.first) / 2;
  const long double width = bracket.second - bracket.first;
  return std::isfinite(lambda) &&
         (iterations < kMaxRootIterations || width <= 1e-14L * std::max(1.0L, std::fabs(lambda)));
}

// 100 Phi(x).
long double Percent(long double x) {
  return 100 * cdf(normal_distribution<long double>(0, 1), x);
}

// Fills the limits of r from t* (r.problem None), or sets LimitsNotFound.
void FindLimits(DeficitResult& r, long double tStar) {
  const long double nu = r.df;
  const long double outside = (100 - static_cast<long double>(r.crediblePercent)) / 100;
  const long double a = r.twoSided ? outside / 2 : outside;
  long double lambdaLow = 0, lambdaHigh = 0;
  try {
    // The lower limit: P(T <= t*) = 1 - a, i.e. P(T > t*) = a; the upper:
    // P(T <= t*) = a.
    if (!NonCentralityFor(nu, tStar, a, true, lambdaLow) ||
        !NonCentralityFor(nu, tStar, a, false, lambdaHigh)) {
      r.problem = DeficitProblem::LimitsNotFound;
      return;
    }
  } catch (const std::exception&) {
    r.problem = DeficitProblem::LimitsNotFound;
    return;
  }
  const long double root = std::sqrt(r.leverage);
  const long double low = root * lambdaLow;
  const long double high = root * lambdaHigh;
  if (!AllFinite({low, high}) || !(low <= high)) {
    r.problem = DeficitProblem::LimitsNotFound;
    return;
  }
  r.effectSizeLower = low;
  r.effectSizeUpper = high;
  if (r.poorer == PoorerScores::Lower) {
    r.percentLower = Percent(low);
    r.percentUpper = Percent(high);
  } else {
    r.percentLower = Percent(-high);
    r.percentUpper = Percent(-low);
  }
  r.problem = DeficitProblem::None;
}

DeficitResult DeficitTest(int task, PoorerScores poorer, int k, int N, bool twoSided,
                          int crediblePercent, const Vector& sds, const Vector& means,
                          const Vector& caseScores, const Matrix& R) {
  DeficitResult r;
  r.task = task;
  r.poorer = poorer;
  r.twoSided = twoSided;
  r.crediblePercent = crediblePercent;
  r.df = N - k - 1;
  if ((task != 1 && task != 2) || k < 1 || k > kMaxCovariates || r.df < 1 || crediblePercent <= 0 ||
      crediblePercent >= 100) {
    r.problem = DeficitProblem::OutsideDomain;
    return r;
  }
  r.problem = DeficitProblem::NotFinite;
  // The variables used: the covariates (3 .. k + 2) and the task.
  const int y = task;
  auto usable = [&](int j) {
    return std::isfinite(means[j]) && std::isfinite(caseScores[j]) && std::isfinite(sds[j]) &&
           sds[j] > 0;
  };
  if (!usable(y)) return r;
  for (int i = 1; i <= k; ++i) {
    if (!usable(i + 2)) return r;
  }

  // The correlations of (covariate 1..k, task) and their Cholesky factor L:
  // its leading k x k block factors the covariates' correlations, its last
  // row holds L_xx^-1 r_xy and sqrt(1 - R^2).
  const int n = k + 1;
  Matrix A;
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) A(i, j) = R(i + 2, j + 2);
    A(i, n) = R(i + 2, y);
    A(n, i) = R(y, i + 2);
  }
  A(n, n) = R(y, y);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      if (!std::isfinite(A(i, j))) return r;
    }
  }
  if (detail::CholFactorLower(n, A, PivotRule::Threshold).failedColumn != 0) {
    r.problem = DeficitProblem::NotAnalysable;
    return r;
  }

  // v = L_xx^-1 z0, z0 the case's standardized covariates.
  Vector v;
  long double explained = 0;  // v'(L_xx^-1 r_xy) = z0' R_xx^-1 r_xy
  long double distance = 0;   // v'v = z0' R_xx^-1 z0
  for (int i = 1; i <= k; ++i) {
    long double sum = (caseScores[i + 2] - means[i + 2]) / sds[i + 2];
    for (int j = 1; j < i; ++j) sum -= A(i, j) * v[j];
    v[i] = sum / A(i, i);
    explained += v[i] * A(n, i);
    distance += v[i] * v[i];
  }
  const long double lastPivot = A(n, n);  // sqrt(1 - R^2)
  const long double stretch =
      std::sqrt(static_cast<long double>(N - 1) / static_cast<long double>(r.df));
  const long double zCase = (caseScores[y] - means[y]) / sds[y];
  r.caseScore = caseScores[y];
  r.predicted = means[y] + sds[y] * explained;
  r.residualSD = sds[y] * lastPivot * stretch;
  r.leverage = 1 / static_cast<long double>(N) + distance / static_cast<long double>(N - 1);
  r.effectSize = (zCase - explained) / (lastPivot * stretch);
  r.t = r.effectSize / std::sqrt(1 + r.leverage);
  const long double tStar = r.effectSize / std::sqrt(r.leverage);
  if (!AllFinite({r.predicted, r.residualSD, r.leverage, r.effectSize, r.t, tStar}) ||
      !(r.residualSD > 0)) {
    return r;
  }

  const students_t_distribution<long double> student(static_cast<long double>(r.df));
  const long double below = cdf(student, r.t);
  const long double above = cdf(complement(student, r.t));
  r.oneTailedP = poorer == PoorerScores::Lower ? below : above;
  r.twoTailedP = std::min(1.0L, 2 * std::min(below, above));
  r.percentBeyond = 100 * r.oneTailedP;
  FindLimits(r, tStar);
  return r;
}

}  // namespace

long double DeficitResult::PredictiveScale() const {
  return residualSD * std::sqrt(1 + leverage);
}

DeficitResult Run_Deficit_Test(int task, PoorerScores poorer, int covariateCount, int controlCount,
                               bool twoSided, int crediblePercent, const Vector& sds,
                               const Vector& means, const Vector& caseScores,
                               const Matrix& R) noexcept {
  try {
    return DeficitTest(task, poorer, covariateCount, controlCount, twoSided, crediblePercent, sds,
                       means, caseScores, R);
  } catch (const std::exception&) {
    // Only the Student t could throw here (its limits catch their own), for
    // a t that is finite: not expected, but never passed on.
    DeficitResult r;
    r.task = task;
    r.poorer = poorer;
    r.problem = DeficitProblem::NotFinite;
    return r;
  }
}

long double ScaledTDensity(int df, long double centre, long double scale, long double x) noexcept {
  if (df < 1 || !(scale > 0) || !AllFinite({centre, scale, x})) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
  try {
    const students_t_distribution<long double> d(static_cast<long double>(df));
    return pdf(d, (x - centre) / scale) / scale;
  } catch (const std::exception&) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
}

long double ScaledTCdf(int df, long double centre, long double scale, long double x) noexcept {
  if (df < 1 || !(scale > 0) || !AllFinite({centre, scale, x})) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
  try {
    const students_t_distribution<long double> d(static_cast<long double>(df));
    return cdf(d, (x - centre) / scale);
  } catch (const std::exception&) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
}

long double ScaledTQuantile(int df, long double centre, long double scale, long double p) noexcept {
  if (df < 1 || !(scale > 0) || !AllFinite({centre, scale}) || !(p > 0 && p < 1)) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
  try {
    const students_t_distribution<long double> d(static_cast<long double>(df));
    return centre + scale * quantile(d, p);
  } catch (const std::exception&) {
    return std::numeric_limits<long double>::quiet_NaN();
  }
}

}  // namespace quorvane
