#include "Bayes_Engines/regression_from_summary.h"

#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {

void Regression_From_Summary(const Matrix& R, const Vector& sds, const Vector& means,
                             int dependentCount, int covariateCount, int controlCount,
                             Matrix& bayes_betas_out, Matrix& bayes_sigma_out,
                             Matrix& XTX_Inv_out) {
  const int p = dependentCount;
  const int k = covariateCount;
  const long double n = controlCount;
  const long double nMinus1 = controlCount - 1;

  Mat_Zero(bayes_betas_out);
  Mat_Zero(bayes_sigma_out);
  Mat_Zero(XTX_Inv_out);

  Vector ybar, sy, xbar, sx;
  for (int i = 1; i <= p; ++i) {
    ybar[i] = means[i];
    sy[i] = sds[i];
  }
  for (int i = 1; i <= k; ++i) {
    xbar[i] = means[p + i];
    sx[i] = sds[p + i];
  }

  Matrix R_YY, R_YX, R_XY, R_XX;
  Mat_Partition(R, p + k, p, R_YY, R_YX, R_XY, R_XX);

  Matrix C_XX, C_YY;
  Corr_To_SSCP(R_XX, k, controlCount, sx, C_XX);
  Corr_To_SSCP(R_YY, p, controlCount, sy, C_YY);

  // Uncentred cross-products of the design (intercept, covariates) and the
  // dependent variables, rebuilt from the centred ones and the means.
  Matrix XTX;
  XTX(1, 1) = n;
  for (int j = 2; j <= k + 1; ++j) {
    XTX(1, j) = n * xbar[j - 1];
    XTX(j, 1) = n * xbar[j - 1];
  }
  for (int i = 2; i <= k + 1; ++i) {
    for (int j = 2; j <= k + 1; ++j) {
      XTX(i, j) = n * xbar[i - 1] * xbar[j - 1] + C_XX(i - 1, j - 1);
    }
  }

  Matrix YTY;
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j) YTY(i, j) = n * ybar[i] * ybar[j] + C_YY(i, j);
  }

  Matrix XTY;
  for (int j = 1; j <= p; ++j) XTY(1, j) = n * ybar[j];
  for (int i = 2; i <= k + 1; ++i) {
    for (int j = 1; j <= p; ++j) {
      XTY(i, j) = nMinus1 * sx[i - 1] * R_XY(i - 1, j) * sy[j] + n * xbar[i - 1] * ybar[j];
    }
  }

  Mat_Inverse(XTX, k + 1, XTX_Inv_out);
  Mat_Mult_Rect(XTX_Inv_out, XTY, k + 1, k + 1, p, bayes_betas_out);

  // Residual SSCP: Y'Y - 2 B'X'Y + B'X'X B.
  Matrix Bt;
  Mat_Transpose_Rect(bayes_betas_out, k + 1, p, Bt);
  Matrix T;
  Mat_Mult_Rect(Bt, XTY, p, k + 1, p, T);
  Mat_Scale_In_Place(p, T, 2);
  Matrix D1;
  Mat_Sub(YTY, T, p, D1);
  Matrix G, H;
  Mat_Mult_Rect(Bt, XTX, p, k + 1, k + 1, G);
  Mat_Mult_Rect(G, bayes_betas_out, p, k + 1, p, H);
  Matrix E;
  Mat_Add(D1, H, p, E);
  Mat_Div_Scalar(p, E, bayes_sigma_out, static_cast<double>(controlCount - covariateCount - 1));
}

}  // namespace quorvane
