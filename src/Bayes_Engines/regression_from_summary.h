// The least-squares fit of the multivariate regression of the dependent
// variables on an intercept and the covariates, rebuilt from summary
// statistics (correlations, means and standard deviations with divisor n - 1).
#pragma once

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// Variables come in the order: the p dependent variables, then the k
// covariates. Outputs are cleared over their full 20 x 20 and then filled:
//   bayes_betas_out (k+1) x p = (X'X)^-1 X'Y, row 1 the intercepts;
//   bayes_sigma_out p x p     = residual SSCP / (n - k - 1);
//   XTX_Inv_out (k+1) x (k+1) = (X'X)^-1.
void Regression_From_Summary(const Matrix& R, const Vector& sds, const Vector& means,
                             int dependentCount, int covariateCount, int controlCount,
                             Matrix& bayes_betas_out, Matrix& bayes_sigma_out, Matrix& XTX_Inv_out);

}  // namespace quorvane
