#include "TemplateForm/control_statistics.h"

#include <cmath>

#include "matrix_handling/decompositions.h"
#include "text/format_text.h"

namespace quorvane {

bool ControlStatisticsUsable(const Matrix& R, const Vector& means, const Vector& sds,
                             const Vector& caseScores, int K) {
  for (int j = 1; j <= K; ++j) {
    if (sds[j] == 0 || !std::isfinite(sds[j]) || !std::isfinite(means[j]) ||
        !std::isfinite(caseScores[j])) {
      return false;
    }
    for (int l = 1; l <= K; ++l) {
      if (!std::isfinite(R(j, l))) return false;
    }
  }
  return true;
}

std::string NotAnalysableDetail(const Matrix& R, const Vector& means, const Vector& sds,
                                const Vector& caseScores, int K,
                                const std::function<std::string(int)>& name) {
  for (int j = 1; j <= K; ++j) {
    if (!std::isfinite(means[j]) || !std::isfinite(sds[j])) {
      return "The controls' scores on " + name(j) +
             " are too large for their mean and SD to be computed.";
    }
    if (!std::isfinite(caseScores[j])) return "The case's score on " + name(j) + " is not finite.";
    if (sds[j] == 0) return "Every control has the same score on " + name(j) + ".";
  }
  for (int i = 1; i <= K; ++i) {
    for (int l = 1; l <= K; ++l) {
      if (!std::isfinite(R(i, l))) return "The correlations of " + name(i) + " are not finite.";
    }
  }
  Matrix trial = R;
  const int j = detail::CholFactorLower(K, trial).failedColumn;
  if (j == 0) return {};
  for (int i = 1; i < j; ++i) {
    if (std::fabs(R(i, j)) >= 1 - 1e-12L) {
      return name(j) + (R(i, j) > 0 ? " repeats " : " mirrors ") + name(i) +
             FormatText(" among the controls (their correlation is %.5Lf): drop one of them.",
                        R(i, j));
    }
  }
  std::string before;
  for (int i = 1; i < j; ++i) before += (i == 1 ? "" : i == j - 1 ? " and " : ", ") + name(i);
  return name(j) + " is (almost) a linear combination of " + before +
         " among the controls: drop it, or one of those.";
}

long double SdDiff(long double partialR) {
  return std::sqrt(2.0L - (partialR * 2.0L));
}

}  // namespace quorvane
