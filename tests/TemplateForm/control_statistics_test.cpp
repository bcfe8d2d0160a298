#include "TemplateForm/control_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double kInf = std::numeric_limits<long double>::infinity();
constexpr long double kEps = std::numeric_limits<long double>::epsilon();

struct Summary {
  Matrix R;
  Vector means, sds, caseScores;
};

// Three variables over four controls; rows are (Y1, Y2, covariate).
Summary FromControls(const std::vector<std::array<long double, 3>>& rows,
                     std::array<long double, 3> caseRow) {
  DataMatrix data;
  int i = 1;
  for (const auto& r : rows) {
    for (int j = 1; j <= 3; ++j) data(i, j) = r[static_cast<std::size_t>(j - 1)];
    ++i;
  }
  Summary s;
  Data_Summary(data, static_cast<int>(rows.size()), 3, s.R, s.means, s.sds);
  for (int j = 1; j <= 3; ++j) s.caseScores[j] = caseRow[static_cast<std::size_t>(j - 1)];
  return s;
}

TEST(ControlStatisticsUsable, OrdinaryControlsAreUsable) {
  const Summary s = FromControls({{10, 20, 1}, {12, 19, 3}, {14, 25, 2}, {11, 22, 5}}, {13, 18, 4});
  EXPECT_TRUE(ControlStatisticsUsable(s.R, s.means, s.sds, s.caseScores, 3));
}

TEST(ControlStatisticsUsable, ZeroVarianceColumnIsRefused) {
  // All controls score 7 on the covariate: its SD is 0 and its correlations
  // are 0 / 0. Through Data_Summary, as Compute gets them.
  const Summary s = FromControls({{10, 20, 7}, {12, 19, 7}, {14, 25, 7}, {11, 22, 7}}, {13, 18, 7});
  ASSERT_EQ(s.sds[3], 0.0L);
  EXPECT_FALSE(ControlStatisticsUsable(s.R, s.means, s.sds, s.caseScores, 3));
}

TEST(ControlStatisticsUsable, AnyNonFiniteValueIsRefused) {
  const Summary good =
      FromControls({{10, 20, 1}, {12, 19, 3}, {14, 25, 2}, {11, 22, 5}}, {13, 18, 4});
  struct Case {
    std::string what;
    void (*spoil)(Summary&);
  };
  const std::vector<Case> cases = {
      {"R(2,3) NaN", [](Summary& s) { s.R(2, 3) = kNaN; }},
      {"R(1,1) inf", [](Summary& s) { s.R(1, 1) = kInf; }},
      {"mean inf", [](Summary& s) { s.means[2] = -kInf; }},
      {"sd NaN", [](Summary& s) { s.sds[1] = kNaN; }},
      {"sd inf", [](Summary& s) { s.sds[3] = kInf; }},
      {"case NaN", [](Summary& s) { s.caseScores[3] = kNaN; }},
      {"sd zero", [](Summary& s) { s.sds[2] = 0; }},
  };
  for (const Case& c : cases) {
    Summary s = good;
    c.spoil(s);
    EXPECT_FALSE(ControlStatisticsUsable(s.R, s.means, s.sds, s.caseScores, 3)) << c.what;
  }
}

TEST(ControlStatisticsUsable, OnlyTheLiveBlockCounts) {
  Summary s = FromControls({{10, 20, 1}, {12, 19, 3}, {14, 25, 2}, {11, 22, 5}}, {13, 18, 4});
  s.R(4, 4) = kNaN;
  s.R(1, 4) = kNaN;
  s.sds[4] = 0;
  s.means[4] = kInf;
  s.caseScores[4] = kNaN;
  EXPECT_TRUE(ControlStatisticsUsable(s.R, s.means, s.sds, s.caseScores, 3));
}

TEST(SdDiff, ReferenceValues) {
  // sqrt(2 - 2 r). References: r = 0.5 -> 1 and r = -1 -> 2, r = 1 -> 0
  // exactly; r = 0 -> sqrt(2) = 1.41421356237309504880168872420969807857
  // (Python decimal, 40 digits); r = 0.25 -> sqrt(1.5) =
  // 1.22474487139158904909864203735294569598. Tolerance one epsilon.
  EXPECT_EQ(SdDiff(0.5L), 1.0L);
  EXPECT_EQ(SdDiff(-1.0L), 2.0L);
  EXPECT_EQ(SdDiff(1.0L), 0.0L);
  EXPECT_LE(std::fabs(SdDiff(0.0L) - 1.41421356237309504880168872420969807857L), kEps);
  EXPECT_LE(std::fabs(SdDiff(0.25L) - 1.22474487139158904909864203735294569598L), kEps);
}

}  // namespace
}  // namespace quorvane
