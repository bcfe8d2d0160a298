// A small made-up control sample (12 controls) and a case, with five
// covariates, for the engine tests. Columns: Y1, Y2, covariates 1..5.
#pragma once

#include <cstdio>
#include <string>

#include "matrix_handling/matrix_ops.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane::testing {

// Full-precision text of a value (hexadecimal): equal strings mean equal bits.
inline std::string Hex(long double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%La", x);
  return buf;
}

inline constexpr int kFixtureControls = 12;
inline constexpr long double kFixtureRows[13][7] = {
    {39.5L, 39.7L, 96.6L, 14.5L, 47.4L, 18.7L, 3.6L},
    {36.2L, 37.4L, 103.7L, 16.1L, 54.2L, 21.6L, 5.3L},
    {38.1L, 35.7L, 74.6L, 14.5L, 55.1L, 13.0L, 3.7L},
    {38.0L, 40.3L, 90.4L, 14.6L, 49.5L, 21.2L, 5.6L},
    {40.7L, 39.8L, 90.7L, 16.6L, 55.6L, 17.0L, 4.5L},
    {36.0L, 33.2L, 85.6L, 11.7L, 52.5L, 17.9L, 6.8L},
    {36.3L, 31.5L, 100.7L, 8.5L, 54.3L, 25.2L, 2.0L},
    {42.2L, 41.2L, 99.1L, 14.5L, 41.8L, 14.1L, 6.2L},
    {38.3L, 34.1L, 101.8L, 14.1L, 64.4L, 14.8L, 5.9L},
    {33.4L, 31.0L, 92.0L, 10.1L, 37.4L, 25.2L, 2.0L},
    {37.3L, 30.9L, 71.5L, 14.7L, 64.4L, 9.9L, 5.5L},
    {46.0L, 43.6L, 102.4L, 16.3L, 59.8L, 21.0L, 5.7L},
    {44.0L, 30.0L, 76.5L, 14.6L, 55.2L, 25.1L, 6.4L},  // the case
};

// Summary statistics of the first `controls` rows over Y1, Y2 and the first k
// covariates, and the case's scores (the row after the controls, or row 13).
struct FixtureSummary {
  Matrix R;
  Vector means, sds, caseScores;
};

inline FixtureSummary SummariseFixture(int k, int controls = kFixtureControls) {
  DataMatrix X;
  for (int i = 1; i <= controls; ++i) {
    for (int j = 1; j <= k + 2; ++j) X(i, j) = kFixtureRows[i - 1][j - 1];
  }
  FixtureSummary s;
  Data_Summary(X, controls, k + 2, s.R, s.means, s.sds);
  for (int j = 1; j <= k + 2; ++j) s.caseScores[j] = kFixtureRows[12][j - 1];
  return s;
}

}  // namespace quorvane::testing
