// Test matrices for the matrix library's tests.
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// A full 20 x 20 array of exactly representable values, different for each
// seed, with diagonal added to every diagonal entry (a large one makes every
// leading block nonsingular with positive variances).
inline Matrix Pattern(int seed, long double diagonal = 0) {
  Matrix m;
  for (int i = 1; i <= kMaxOrder; ++i) {
    for (int j = 1; j <= kMaxOrder; ++j) {
      m(i, j) = static_cast<long double>((i * 37 + j * 101 + seed * 53) % 193 - 96) / 8.0L +
                (i == j ? diagonal : 0.0L);
    }
  }
  return m;
}

}  // namespace quorvane
