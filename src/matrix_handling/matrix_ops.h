// Elementary operations on the fixed-size arrays of matrix_types.h.
//
// Aliasing rule: every input array is read as if it had been copied on entry,
// and every output is written through a reference, so an output may be the
// very variable that is passed as an input (Mat_Mult(A, B, n, A) yields the
// true product A B). Inputs are taken by const reference and a copy is made
// only where an output really aliases an input whose elements are still needed.
// Mat_Scale_In_Place and Vec_Quicksort read and write the one array they get.
//
// Elements of an output outside its live block are left as they were unless
// the operation says it clears the whole array. Sizes of 0 or less make the
// element loops run zero times; whole-array clearing still happens. No
// operation checks its sizes (Kronecker_Product alone checks its result size)
// and none reports an error: division by zero and square roots of negatives
// follow IEEE arithmetic.
//
// Sums of products accumulate in an extended accumulator that starts at 0 and
// takes the products one by one with the inner index ascending, in row order
// and within a row in column order; no compensated summation, no blocking.
#pragma once

#include <span>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// --- clearing, copying, filling
void Mat_Zero(Matrix& M);                          // all 400 elements
void Mat_Copy(const Matrix& A, int n, Matrix& B);  // n x n block
void Vec_Fill(int n, Vector& v, long double x);    // v[1..n] = x

// --- element-wise sums and differences
void Vec_Add(int n, const Vector& a, const Vector& b, Vector& c);
void Mat_Add(const Matrix& A, const Matrix& B, int n, Matrix& T);
void Mat_Sub(const Matrix& A, const Matrix& B, int n, Matrix& T);

// --- scalar multiplication and division
void Mat_Scale(int n, const Matrix& A, Matrix& B, long double x);
void Mat_Scale_In_Place(int n, Matrix& M, long double x);
void Mat_Scale_Rect(int rows, int cols, const Matrix& A, long double x, Matrix& B);
// The divisor is a double-precision real, not an extended one.
void Mat_Div_Scalar(int n, const Matrix& A, Matrix& B, double x);

// --- products and transposes
void Mat_Mult(const Matrix& A, const Matrix& B, int n, Matrix& T);
void Mat_Mult_Rect(const Matrix& A, const Matrix& B, int rows, int inner, int cols, Matrix& T);
void Mat_Vec_Mult(const Matrix& A, int n, const Vector& x, Vector& y);  // y[1..n] cleared first
void Mat_Vec_Mult_Rect(const Matrix& A, int rows, int cols, const Vector& x, Vector& y);
void Mat_Transpose(const Matrix& A, int n, Matrix& B);  // B outside the block untouched
// B cleared (all 400 elements), then B (cols x rows) = A' over rows x cols.
void Mat_Transpose_Rect(const Matrix& A, int rows, int cols, Matrix& B);

// --- covariance, correlation and sums of squares
void Mat_Scale_Both_Sides(const Matrix& A, int n, const Vector& v, Matrix& B);  // diag(v) A diag(v)
// All 20 elements of sd cleared first; R[i,j] = S[i,j] / (sqrt(S[j,j]) * sqrt(S[i,i])).
void Cov_To_Corr(const Matrix& S, int n, Matrix& R, Vector& sd);
void Corr_To_SSCP(const Matrix& R, int n, int N, const Vector& sd, Matrix& B);
void SSCP_To_Cov(const Matrix& A, int n, int N, Matrix& S);

// --- data matrices (rows cases, cols variables)
void Data_Fill_Missing(DataMatrix& X);  // every cell of X := MissingValueMarker
bool Data_Has_Missing(int rows, int cols, const DataMatrix& X);
void Data_Get_Row(const DataMatrix& X, int row, int n, Vector& v);
void Data_Col_Means(const DataMatrix& X, int rows, int cols, Vector& mean);
void Data_Centre(const DataMatrix& X, int rows, int cols, DataMatrix& Xc);
void Data_Transpose(const DataMatrix& X, int rows, int cols, DataMatrixT& XT);  // XT not cleared
void Data_Cross_Product(const DataMatrixT& XT, const DataMatrix& X, int cols, int rows, Matrix& T);
void Data_SSCP(const DataMatrix& X, int rows, int cols, Matrix& T);
// Means, standard deviations (divisor rows - 1) and correlations of the table.
void Data_Summary(const DataMatrix& X, int rows, int cols, Matrix& R, Vector& mean, Vector& sd);

// --- Kronecker product and sort
// K = A (x) B. When the result would exceed 20 x 20, ok is false and K, k_rows
// and k_cols are not written; otherwise K is cleared (all 400 elements) first.
void Kronecker_Product(const Matrix& A, const Matrix& B, int a_rows, int a_cols, int b_rows,
                       int b_cols, Matrix& K, int& k_rows, int& k_cols, bool& ok);
// Sorts v[lo..hi] ascending in place, where v[1] is the first element of the
// span (1-based indices). Quicksort with the last element as pivot.
void Vec_Quicksort(int lo, int hi, std::span<long double> v);

}  // namespace quorvane
