// Fixed-format text output of matrices and data tables into an append-only
// list of lines.
#pragma once

#include <string>

#include "matrix_handling/matrix_types.h"
#include "text/line_sink.h"

namespace quorvane {

// The title; for each row i = 1..n three blanks and "%5.5f   " per element;
// an empty line.
void Print_Matrix(const Matrix& M, int n, const std::string& title, LineSink& memo);

// The title; for each row three blanks, "[%4d]:  " with the row number and
// "%12.5f   " per element; an empty line.
void Print_Data_Matrix(const DataMatrix& X, int rows, int cols, const std::string& title,
                       LineSink& memo);

}  // namespace quorvane
