// Raw scores to standard scores.
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// For i = 1..count, with e = scale / sd[i]:
//   z[i] = e * x[i] - (e * mean[i] - shift)
// in extended precision, in exactly that order. With shift 0 and scale 1 this
// is (x[i] - mean[i]) / sd[i]. Entries of z beyond count are left untouched.
// z may be the same variable as any input (entry i is read before it is
// written). Nothing is checked: an sd[i] of 0 follows IEEE arithmetic.
void StandardizeScores(const Vector& x, const Vector& mean, const Vector& sd, int count,
                       long double shift, long double scale, Vector& z);

}  // namespace quorvane
