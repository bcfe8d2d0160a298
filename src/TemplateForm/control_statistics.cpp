#include "TemplateForm/control_statistics.h"

#include <cmath>

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

long double SdDiff(long double partialR) {
  return std::sqrt(2.0L - (partialR * 2.0L));
}

}  // namespace quorvane
