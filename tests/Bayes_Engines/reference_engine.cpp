#include "reference_engine.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "Bayes_Engines/regression_from_summary.h"
#include "distrib/distributions.h"
#include "distrib/uniform.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane::testing {

ReferenceRun RunReferenceEngine(bool calibrated, int k, int n, int D, bool twoSided, int L,
                                const Vector& sds, const Vector& means, const Vector& caseScores,
                                const Matrix& R) {
  ReferenceRun out;
  const int m = k + 2;
  Vec_Fill(20, out.condMeans, 0);
  Vector score;
  score[1] = 1;
  for (int i = 2; i <= k + 1; ++i) score[i] = caseScores[i + 1];
  Matrix xtxInv, sigmaHat, betas;
  Regression_From_Summary(R, sds, means, 2, k, n, betas, sigmaHat, xtxInv);
  Vector bvec;
  for (int i = 1; i <= k + 1; ++i) {
    bvec[i] = betas(i, 1);
    bvec[k + 1 + i] = betas(i, 2);
  }
  tNormal_distribution normal(0, 1);
  tUniform_distribution uniform(0, 1);
  Seed1 = 1111931815;
  Seed2 = 2056071926;

  Matrix C;
  Conditional_Normal(m, k, R, sds, means, caseScores, C, out.condMeans);
  out.condSDs[1] = std::sqrt(C(1, 1));
  out.condSDs[2] = std::sqrt(C(2, 2));
  out.condZ1 = (caseScores[1] - out.condMeans[1]) / std::sqrt(C(1, 1));
  out.condZ2 = (caseScores[2] - out.condMeans[2]) / std::sqrt(C(2, 2));
  out.partialR = C(1, 2) / std::sqrt(C(1, 1) * C(2, 2));
  out.results.effectSize = (out.condZ1 - out.condZ2) / std::sqrt(2.0L - 2.0L * out.partialR);

  Matrix S;
  Mat_Scale(2, sigmaHat, S, static_cast<long double>(n - k - 1));
  if (calibrated) {
    Mat_Scale_In_Place(2, S,
                       static_cast<long double>(n - k - 2) / static_cast<long double>(n - k - 1));
  }
  Matrix Sinv, Lfac, LfacT;
  Mat_Inverse(S, 2, Sinv);
  Mat_Copy(Sinv, 2, Lfac);
  Chol(2, Lfac);
  Mat_Transpose(Lfac, 2, LfacT);

  const int dfA = calibrated ? n - k - 2 : n - k;
  const int dfB = calibrated ? n - k - 3 : n - k - 1;
  tChi_square_distribution chiA(dfA), chiB(dfB);

  std::vector<long double> zlist(static_cast<std::size_t>(D) + 1);
  long double sum = 0;
  const int d = 2 * (k + 1);
  for (int j = 1; j <= D; ++j) {
    Matrix sigmaStar;
    long double rho = 0;
    for (;;) {
      Matrix A;
      if (calibrated) {
        A(1, 1) = std::sqrt(chiA.Random_Variate());
        A(2, 2) = std::sqrt(chiB.Random_Variate());
        A(1, 2) = normal.Random_Variate();
      } else {
        A(1, 1) = std::sqrt(chiA.Random_Variate());
        A(1, 2) = normal.Random_Variate();
        A(2, 2) = std::sqrt(chiB.Random_Variate());
      }
      A(2, 1) = 0;
      Matrix At, P, Q, W;
      Mat_Transpose(A, 2, At);
      Mat_Mult(At, A, 2, P);
      Mat_Mult(Lfac, P, 2, Q);
      Mat_Mult(Q, LfacT, 2, W);
      const std::int64_t stopsBefore = ThreadPivotFailures().inversions;
      Mat_Inverse(W, 2, sigmaStar, PivotRule::Usable);
      rho = sigmaStar(1, 2) / std::sqrt(sigmaStar(1, 1) * sigmaStar(2, 2));
      if (ThreadPivotFailures().inversions != stopsBefore || !std::isfinite(rho) ||
          !std::isfinite(sigmaStar(1, 1)) || !std::isfinite(sigmaStar(2, 2))) {
        out.stopped = true;
        return out;
      }
      if (!calibrated) break;
      const long double v = uniform.Random_Variate();
      if (1 - rho * rho >= v * v) break;
    }
    Matrix lambda;
    int kr = 0, kc = 0;
    bool ok = false;
    Kronecker_Product(sigmaStar, xtxInv, 2, 2, k + 1, k + 1, lambda, kr, kc, ok);
    Matrix cf;
    Mat_Copy(lambda, d, cf);
    const std::int64_t failuresBefore = ThreadPivotFailures().factorisations;
    Chol(d, cf, {}, PivotRule::Usable);
    if (ThreadPivotFailures().factorisations != failuresBefore) {
      out.stopped = true;
      return out;
    }
    Vector u;
    for (int i = 1; i <= d; ++i) u[i] = normal.Random_Variate();
    Vector cu, bStar;
    Mat_Vec_Mult(cf, d, u, cu);
    Vec_Add(d, bvec, cu, bStar);
    Matrix bt;
    for (int c = 1; c <= k + 1; ++c) {
      bt(1, c) = bStar[c];
      bt(2, c) = bStar[k + 1 + c];
    }
    Vector mu;
    Mat_Vec_Mult_Rect(bt, 2, k + 1, score, mu);
    const long double z1 = (caseScores[1] - mu[1]) / std::sqrt(sigmaStar(1, 1));
    const long double z2 = (caseScores[2] - mu[2]) / std::sqrt(sigmaStar(2, 2));
    const long double zstar = (z1 - z2) / std::sqrt(2.0L - 2.0L * rho);
    if (!std::isfinite(zstar)) {
      out.stopped = true;
      return out;
    }
    sum = sum + normal.Distribution_function(zstar);
    zlist[static_cast<std::size_t>(j)] = zstar;
  }

  long double P = sum / static_cast<long double>(D) * 100;
  out.rawPercent = P;
  if (P > 50) {
    P = 100 - P;
    out.flipped = true;
  }
  out.results.percentMoreExtreme = P;
  out.results.oneTailedP = P / 100;
  out.results.twoTailedP = P / 50;
  const long double Lx = L;
  const long double Dx = D;
  int lower = 0, upper = 0;
  if (twoSided) {
    lower = static_cast<int>(std::nearbyint((100 - Lx) / 2 / 100 * Dx));
    upper = static_cast<int>(std::nearbyint(((100 - Lx) / 2 + Lx) / 100 * Dx)) + 1;
  } else {
    lower = static_cast<int>(std::nearbyint((100 - Lx) / 100 * Dx));
    upper = static_cast<int>(std::nearbyint(Lx / 100 * Dx)) + 1;
  }
  Vec_Quicksort(1, D, std::span<long double>(zlist.data() + 1, static_cast<std::size_t>(D)));
  out.results.effectSizeLower = zlist[static_cast<std::size_t>(lower)];
  out.results.effectSizeUpper = zlist[static_cast<std::size_t>(upper)];
  if (!out.flipped) {
    out.results.percentLower = normal.Distribution_function(out.results.effectSizeLower) * 100;
    out.results.percentUpper = normal.Distribution_function(out.results.effectSizeUpper) * 100;
  } else {
    out.results.percentLower =
        (1 - normal.Distribution_function(out.results.effectSizeUpper)) * 100;
    out.results.percentUpper =
        (1 - normal.Distribution_function(out.results.effectSizeLower)) * 100;
  }
  return out;
}

}  // namespace quorvane::testing
