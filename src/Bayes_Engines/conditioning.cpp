#include "Bayes_Engines/conditioning.h"

#include <algorithm>
#include <cmath>

#include "Bayes_Engines/regression_from_summary.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {

namespace {

// What the draws are built from: the residual covariance, the case's fitted
// values and its leverage score' (X'X)^-1 score.
struct Residuals {
  long double sigma[2][2] = {};
  long double fitted[2] = {};
  long double leverage = 0;
};

// As the engines compute them (uncentred cross-products).
Residuals EngineResiduals(const SummaryStatistics& s) {
  Matrix betas, sigmaHat, xtxInv;
  Regression_From_Summary(s.R, s.sds, s.means, 2, s.k, s.N, betas, sigmaHat, xtxInv);
  Vector score;
  score[1] = 1;
  for (int i = 2; i <= s.k + 1; ++i) score[i] = s.caseScores[i + 1];
  Residuals r;
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) r.sigma[a][b] = sigmaHat(a + 1, b + 1);
  }
  for (int i = 1; i <= s.k + 1; ++i) {
    r.fitted[0] += betas(i, 1) * score[i];
    r.fitted[1] += betas(i, 2) * score[i];
    for (int j = 1; j <= s.k + 1; ++j) r.leverage += score[i] * xtxInv(i, j) * score[j];
  }
  return r;
}

// From centred cross-products: C = (n - 1) diag(sd) R diag(sd),
// Sigma = (C_YY - C_YX C_XX^-1 C_XY) / (n - k - 1), fitted = ybar + C_YX C_XX^-1 d
// and leverage = 1 / n + d' C_XX^-1 d with d the case's deviations from the
// covariates' means.
Residuals CentredResiduals(const SummaryStatistics& s) {
  const int k = s.k;
  const long double n1 = s.N - 1;
  Matrix C;
  for (int i = 1; i <= k + 2; ++i) {
    for (int j = 1; j <= k + 2; ++j) C(i, j) = n1 * s.sds[i] * s.R(i, j) * s.sds[j];
  }
  Matrix Cxx, CxxInv;
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) Cxx(i, j) = C(i + 2, j + 2);
  }
  Mat_Inverse(Cxx, k, CxxInv);
  Vector d;
  for (int i = 1; i <= k; ++i) d[i] = s.caseScores[i + 2] - s.means[i + 2];
  Residuals r;
  long double slopes[2][kMaxOrder + 1] = {};  // C_XX^-1 C_XY, column by column
  for (int a = 0; a < 2; ++a) {
    for (int i = 1; i <= k; ++i) {
      for (int j = 1; j <= k; ++j) slopes[a][i] += CxxInv(i, j) * C(j + 2, a + 1);
    }
  }
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      long double explained = 0;
      for (int i = 1; i <= k; ++i) explained += C(a + 1, i + 2) * slopes[b][i];
      r.sigma[a][b] = (C(a + 1, b + 1) - explained) / (s.N - k - 1);
    }
    r.fitted[a] = s.means[a + 1];
    for (int i = 1; i <= k; ++i) r.fitted[a] += slopes[a][i] * d[i];
  }
  r.leverage = 1.0L / s.N;
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) r.leverage += d[i] * CxxInv(i, j) * d[j];
  }
  return r;
}

}  // namespace

bool EngineRegressionAccurate(const SummaryStatistics& s) {
  const PivotFailureCounts before = ThreadPivotFailures();
  const Residuals engine = EngineResiduals(s);
  const Residuals centred = CentredResiduals(s);
  if (ThreadPivotFailures().inversions != before.inversions) return false;
  long double worst = 0;
  const long double sd[2] = {std::sqrt(centred.sigma[0][0]), std::sqrt(centred.sigma[1][1])};
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      worst =
          std::max(worst, std::fabs(engine.sigma[a][b] - centred.sigma[a][b]) / (sd[a] * sd[b]));
    }
    worst = std::max(worst, std::fabs(engine.fitted[a] - centred.fitted[a]) / sd[a]);
  }
  worst = std::max(worst, std::fabs(engine.leverage - centred.leverage) / centred.leverage);
  return worst <= kRegressionTolerance;  // false for NaN too
}

EngineInputs PrepareEngineInputs(const SummaryStatistics& a) {
  EngineInputs in;
  SummaryStatistics& s = in.statistics;
  s.N = a.N;
  s.k = a.k;
  s.R = a.R;
  const int K = a.k + 2;
  for (int j = 1; j <= K; ++j) {
    const int e = std::ilogb(a.sds[j]);
    in.exponent[j] = e;
    s.sds[j] = std::ldexp(a.sds[j], -e);
    s.means[j] = std::ldexp(a.means[j], -e);
    s.caseScores[j] = std::ldexp(a.caseScores[j], -e);
  }
  if (!EngineRegressionAccurate(s)) {
    in.centred = true;
    for (int j = 1; j <= K; ++j) {
      s.means[j] = 0;
      s.caseScores[j] = std::ldexp(a.caseScores[j] - a.means[j], -in.exponent[j]);
    }
  }
  return in;
}

void RestoreUnits(const EngineInputs& in, const SummaryStatistics& original, Vector& condMeans,
                  Vector& condSDs) {
  for (int j = 1; j <= 2; ++j) {
    condMeans[j] = std::ldexp(condMeans[j], in.exponent[j]);
    if (in.centred) condMeans[j] = original.means[j] + condMeans[j];
    condSDs[j] = std::ldexp(condSDs[j], in.exponent[j]);
  }
}

}  // namespace quorvane
