// Fixed-format text output of matrices and data tables.
#include "matrix_handling/matrix_print.h"

#include <cstddef>
#include <cstdio>

namespace quorvane {

namespace {

// Appends one printf-formatted value to text. The widths are minimums: a
// long double printed with %f can run to thousands of characters, so the
// buffer grows to whatever the value needs.
template <class T>
void AppendFormatted(std::string& text, const char* format, T value) {
  char small[64];
  const int needed = std::snprintf(small, sizeof small, format, value);
  if (needed < 0) return;
  if (static_cast<std::size_t>(needed) < sizeof small) {
    text.append(small, static_cast<std::size_t>(needed));
    return;
  }
  const std::size_t start = text.size();
  text.resize(start + static_cast<std::size_t>(needed) + 1);
  std::snprintf(text.data() + start, static_cast<std::size_t>(needed) + 1, format, value);
  text.resize(start + static_cast<std::size_t>(needed));
}

}  // namespace

void Print_Matrix(const Matrix& M, int n, const std::string& title, LineSink& memo) {
  memo.Add(title);
  for (int i = 1; i <= n; ++i) {
    std::string row;
    for (int j = 1; j <= n; ++j) AppendFormatted(row, "%5.5Lf   ", M(i, j));
    memo.Add("   " + row);
  }
  memo.Add("");
}

void Print_Data_Matrix(const DataMatrix& X, int rows, int cols, const std::string& title,
                       LineSink& memo) {
  memo.Add(title);
  for (int i = 1; i <= rows; ++i) {
    std::string row;
    AppendFormatted(row, "[%4d", i);
    row += "]:  ";
    for (int j = 1; j <= cols; ++j) AppendFormatted(row, "%12.5Lf   ", X(i, j));
    memo.Add("   " + row);
  }
  memo.Add("");
}

}  // namespace quorvane
