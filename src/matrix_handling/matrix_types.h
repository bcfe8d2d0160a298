// Fixed-size, 1-based arrays of 80-bit extended reals: the value types that all
// of the program's linear algebra and descriptive statistics work on.
//
// Only the leading block named by the size arguments of an operation is live;
// callers keep within the capacities below. Element [i, j] follows [i, j - 1]
// and rows are 20 elements apart (row-major).
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace quorvane {

inline constexpr int kMaxOrder = 20;          // rows and columns of a Matrix, length of a Vector
inline constexpr int kDefaultDataRows = 500;  // rows of a DataMatrix unless sized otherwise

// Marks a DataMatrix cell that the raw data file did not fill.
inline constexpr long double MissingValueMarker = -99999.999L;

// 20 x 20 matrix, 1-based. Default-constructed as all zeros.
class Matrix {
 public:
  long double& operator()(int i, int j) { return e_[Index(i, j)]; }
  const long double& operator()(int i, int j) const { return e_[Index(i, j)]; }
  long double* data() { return e_.data(); }
  const long double* data() const { return e_.data(); }
  friend bool operator==(const Matrix&, const Matrix&) = default;

 private:
  static constexpr std::size_t Index(int i, int j) {
    return static_cast<std::size_t>((i - 1) * kMaxOrder + (j - 1));
  }
  std::array<long double, kMaxOrder * kMaxOrder> e_{};
};

// 20-element vector, 1-based. Default-constructed as all zeros.
class Vector {
 public:
  long double& operator[](int i) { return e_[static_cast<std::size_t>(i - 1)]; }
  const long double& operator[](int i) const { return e_[static_cast<std::size_t>(i - 1)]; }
  long double* data() { return e_.data(); }
  const long double* data() const { return e_.data(); }
  friend bool operator==(const Vector&, const Vector&) = default;

 private:
  std::array<long double, kMaxOrder> e_{};
};

// Which rows and columns of a Matrix to keep, 1-based. Default all false.
class SelectionMask {
 public:
  bool& operator[](int i) { return e_[static_cast<std::size_t>(i - 1)]; }
  bool operator[](int i) const { return e_[static_cast<std::size_t>(i - 1)]; }

 private:
  std::array<bool, kMaxOrder> e_{};
};

// A data table: one row per case, one column per variable, 1-based. The
// capacity is fixed at construction: 500 rows of 20 columns unless a caller
// needs another shape (a loader holds just the columns it reads, so that a
// large sample costs what it holds); a new table is all zeros.
class DataMatrix {
 public:
  explicit DataMatrix(int rows = kDefaultDataRows, int cols = kMaxOrder)
      : rows_(rows < 0 ? 0 : rows),
        cols_(cols < 0 ? 0 : cols),
        e_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_), 0.0L) {}
  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  long double& operator()(int i, int j) { return e_[Index(i, j)]; }
  const long double& operator()(int i, int j) const { return e_[Index(i, j)]; }
  long double* data() { return e_.data(); }
  const long double* data() const { return e_.data(); }
  std::size_t size() const { return e_.size(); }
  friend bool operator==(const DataMatrix&, const DataMatrix&) = default;

 private:
  std::size_t Index(int i, int j) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(j - 1);
  }
  int rows_;
  int cols_;
  std::vector<long double> e_;
};

// The transpose of a DataMatrix: one row per variable (20 unless given), one
// column per case.
class DataMatrixT {
 public:
  explicit DataMatrixT(int cols = kDefaultDataRows, int rows = kMaxOrder)
      : rows_(rows < 0 ? 0 : rows),
        cols_(cols < 0 ? 0 : cols),
        e_(static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_), 0.0L) {}
  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  long double& operator()(int i, int j) { return e_[Index(i, j)]; }
  const long double& operator()(int i, int j) const { return e_[Index(i, j)]; }

 private:
  std::size_t Index(int i, int j) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(j - 1);
  }
  int rows_;
  int cols_;
  std::vector<long double> e_;
};

}  // namespace quorvane
