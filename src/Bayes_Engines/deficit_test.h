// The deficit test for one task: is the case's score on Task Y1 (or Y2) below
// (or above) what the controls' regression on the covariates predicts for the
// case's covariate values, by more than chance allows?
//
// Everything follows from the controls' summary statistics (means, SDs with
// divisor N - 1, correlations, N) and the case's scores, so raw data and
// published norms give the same numbers. For the task y, the design
// X = [1, covariates] of the N controls, the case's row x0 = [1, covariates of
// the case] and its score y0:
//   b = (X'X)^-1 X'y,  s^2 = RSS / nu  with nu = N - k - 1,
//   yhat0 = x0'b,  h0 = x0'(X'X)^-1 x0 = 1/N + d'((N - 1) Sxx)^-1 d
//   (d the case's covariates minus the controls' means, Sxx their covariance),
//   Z-CCC = (y0 - yhat0) / s,  t = (y0 - yhat0) / (s sqrt(1 + h0)) ~ t_nu.
// The one-tailed p lies in the task's poorer direction: P(T <= t) when lower
// scores are poorer, P(T >= t) when higher scores are; the two-tailed p is
// twice the smaller tail. The percentage of controls (with the case's
// covariate values) who would score further in the poorer direction than the
// case is 100 x the one-tailed p.
//
// Interval estimates: t* = Z-CCC / sqrt(h0) is non-central t with nu degrees
// of freedom and non-centrality delta / sqrt(h0), delta the case's true
// effect size. The lower limit of delta is sqrt(h0) lambda with
// P(T_{nu,lambda} <= t*) = 1 - a, the upper with a, where a = (100 - L) / 200
// for a two-sided L% interval and (100 - L) / 100 for one-sided L% limits; the
// percentage's limits are 100 Phi(limit) turned to the poorer side. Under the
// prior p(beta, sigma) proportional to 1 / sigma these are also credible
// limits, and the one-tailed p is the posterior mean of the percentage / 100.
//
// The computation is deterministic, needs no random numbers and costs well
// under a millisecond for ordinary data. It never throws.
#pragma once

#include <limits>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Which scores are poorer on a task (lower: the default; higher: errors,
// reaction times).
enum class PoorerScores { Lower, Higher };

// Why a deficit test has no result, or no interval estimates.
enum class DeficitProblem {
  None,
  // The task is not 1 or 2, k is not 1 to 5, N - k - 1 < 1, or the credible
  // percentage is not strictly between 0 and 100.
  OutsideDomain,
  // An input (mean, SD, correlation, case score) or a value computed from them
  // is not finite, or an SD is not positive.
  NotFinite,
  // The covariates' correlations with each other and with the task cannot be
  // factorised: the covariates predict the task (almost) exactly in the
  // controls (1 - R^2 below 1e-12), or are linearly dependent themselves.
  NotAnalysable,
  // The test (t, p, Z-CCC, percentage) is there, but its interval estimates
  // are not: the non-centrality a limit needs lies beyond what the non-central
  // t distribution can be evaluated for (|lambda| above kMaxNonCentrality, a
  // case tens of thousands of SDs from its prediction), or the root could not
  // be pinned down.
  LimitsNotFound,
};

// The largest |lambda| for which a limit is sought.
inline constexpr long double kMaxNonCentrality = 16384;

struct DeficitResult {
  DeficitProblem problem = DeficitProblem::OutsideDomain;
  int task = 0;  // 1 (Task Y1) or 2 (Task Y2)
  PoorerScores poorer = PoorerScores::Lower;
  bool twoSided = true;        // the limits: a two-sided interval, or one-sided limits
  int crediblePercent = 95;    // their level
  int df = 0;                  // nu = N - k - 1
  long double caseScore = 0;   // y0
  long double predicted = 0;   // yhat0, the controls' regression at the case's covariates
  long double residualSD = 0;  // s, divisor nu (the report's conditional SD x sqrt((N-1)/nu))
  long double leverage = 0;    // h0
  long double t = 0;
  long double oneTailedP = 0;  // in the poorer direction
  long double twoTailedP = 0;
  long double effectSize = 0;     // Z-CCC
  long double percentBeyond = 0;  // 100 x oneTailedP
  // The limits (NaN unless problem is None). effectSizeLower < effectSizeUpper
  // and percentLower < percentUpper; with one-sided limits both one-sided
  // limits are given, the caller shows the one asked for.
  long double effectSizeLower = std::numeric_limits<long double>::quiet_NaN();
  long double effectSizeUpper = std::numeric_limits<long double>::quiet_NaN();
  long double percentLower = std::numeric_limits<long double>::quiet_NaN();
  long double percentUpper = std::numeric_limits<long double>::quiet_NaN();

  // The test's numbers (all but the limits) are valid.
  bool HasTest() const {
    return problem == DeficitProblem::None || problem == DeficitProblem::LimitsNotFound;
  }
  bool HasLimits() const { return problem == DeficitProblem::None; }
  // The scale of the controls' predictive distribution: s sqrt(1 + h0).
  long double PredictiveScale() const;
};

// The deficit test of task 1 or 2 from the summary statistics as the engines
// take them (1-based; variables Task Y1, Task Y2, covariate 1..k; SDs with
// divisor N - 1; R the correlation matrix). twoSided and crediblePercent
// choose the limits as for the engines.
DeficitResult Run_Deficit_Test(int task, PoorerScores poorer, int covariateCount, int controlCount,
                               bool twoSided, int crediblePercent, const Vector& sds,
                               const Vector& means, const Vector& caseScores,
                               const Matrix& R) noexcept;

// The controls' predictive distribution of a score at the case's covariate
// values: Student t with df degrees of freedom, centre and scale (the
// result's predicted and PredictiveScale()). NaN for df < 1, scale <= 0 or a
// value that is not finite.
long double ScaledTDensity(int df, long double centre, long double scale, long double x) noexcept;
// P(X <= x) for that distribution.
long double ScaledTCdf(int df, long double centre, long double scale, long double x) noexcept;
// The x with P(X <= x) = p, 0 < p < 1 (NaN otherwise).
long double ScaledTQuantile(int df, long double centre, long double scale, long double p) noexcept;

}  // namespace quorvane
