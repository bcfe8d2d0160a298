#include "matrix_handling/standardize.h"

namespace quorvane {

void StandardizeScores(const Vector& x, const Vector& mean, const Vector& sd, int count,
                       long double shift, long double scale, Vector& z) {
  // Entry i of z depends only on entry i of the inputs, so z may alias them.
  for (int i = 1; i <= count; ++i) {
    const long double e = scale / sd[i];
    z[i] = e * x[i] - (e * mean[i] - shift);
  }
}

}  // namespace quorvane
