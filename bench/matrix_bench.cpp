// Timings of the matrix operations that the Monte Carlo engines call once or
// more per draw.
#include <benchmark/benchmark.h>

#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

Matrix TwoByTwo() {
  Matrix m;
  m(1, 1) = 4.0L;
  m(1, 2) = 1.5L;
  m(2, 1) = 1.5L;
  m(2, 2) = 3.0L;
  return m;
}

// Positive definite of the given order: the Hilbert matrix plus the identity.
Matrix PositiveDefinite(int n) {
  Matrix m;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      m(i, j) = 1.0L / static_cast<long double>(i + j - 1) + (i == j ? 1.0L : 0.0L);
    }
  }
  return m;
}

void BM_Mat_Mult_2x2(benchmark::State& state) {
  const Matrix A = TwoByTwo();
  const Matrix B = PositiveDefinite(2);
  Matrix T;
  for (auto _ : state) {
    Mat_Mult(A, B, 2, T);
    benchmark::DoNotOptimize(T);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Mat_Mult_2x2);

void BM_Mat_Inverse_2x2(benchmark::State& state) {
  const Matrix A = TwoByTwo();
  Matrix Ainv;
  for (auto _ : state) {
    Mat_Inverse(A, 2, Ainv);
    benchmark::DoNotOptimize(Ainv);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Mat_Inverse_2x2);

void BM_Kronecker_2x2_by_6x6(benchmark::State& state) {
  const Matrix A = TwoByTwo();
  const Matrix B = PositiveDefinite(6);
  Matrix K;
  int rows = 0;
  int cols = 0;
  bool ok = false;
  for (auto _ : state) {
    Kronecker_Product(A, B, 2, 2, 6, 6, K, rows, cols, ok);
    benchmark::DoNotOptimize(K);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Kronecker_2x2_by_6x6);

// Chol factors in place, so each iteration copies the positive definite input
// (a whole Matrix, as the engines do) inside the timed region;
// BM_Matrix_Copy measures that copy alone.
void BM_Chol_12(benchmark::State& state) {
  const Matrix input = PositiveDefinite(12);
  Matrix A;
  for (auto _ : state) {
    A = input;
    Chol(12, A);
    benchmark::DoNotOptimize(A);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Chol_12);

void BM_Matrix_Copy(benchmark::State& state) {
  const Matrix input = PositiveDefinite(12);
  Matrix A;
  for (auto _ : state) {
    A = input;
    benchmark::DoNotOptimize(A);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Matrix_Copy);

void BM_Mat_Vec_Mult_12(benchmark::State& state) {
  const Matrix A = PositiveDefinite(12);
  Vector x;
  for (int i = 1; i <= 12; ++i) x[i] = 0.25L * i;
  Vector y;
  for (auto _ : state) {
    Mat_Vec_Mult(A, 12, x, y);
    benchmark::DoNotOptimize(y);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Mat_Vec_Mult_12);

}  // namespace
}  // namespace quorvane
