// Fixed-format text output of matrices and data tables into an append-only
// list of lines.
#pragma once

#include <string>
#include <vector>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// An append-only list of text lines (the results viewer's memo, a string list
// in tests and the command-line program).
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Add(const std::string& line) = 0;
  virtual int Count() const = 0;
};

// A LineSink that keeps its lines in memory.
class LineList : public LineSink {
 public:
  void Add(const std::string& line) override { lines_.push_back(line); }
  int Count() const override { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

// The title; for each row i = 1..n three blanks and "%5.5f   " per element;
// an empty line.
void Print_Matrix(const Matrix& M, int n, const std::string& title, LineSink& memo);

// The title; for each row three blanks, "[%4d]:  " with the row number and
// "%12.5f   " per element; an empty line.
void Print_Data_Matrix(const DataMatrix& X, int rows, int cols, const std::string& title,
                       LineSink& memo);

}  // namespace quorvane
