// The controls' summary statistics and the case's scores, as the engines take
// them: variables Task Y1, Task Y2, covariate 1..k (K = k + 2); SDs with
// divisor N - 1; R the K x K correlation matrix.
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane {

struct SummaryStatistics {
  int N = 0;
  int k = 0;
  Vector means, sds, caseScores;
  Matrix R;
};

}  // namespace quorvane
