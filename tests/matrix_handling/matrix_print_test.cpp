#include "matrix_handling/matrix_print.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane {
namespace {

using ::testing::ElementsAre;

TEST(PrintMatrix, TwoByTwoIdentity) {
  Matrix I;
  I(1, 1) = 1;
  I(2, 2) = 1;
  I(3, 3) = 7;  // outside the block
  LineList memo;
  Print_Matrix(I, 2, "Title:", memo);
  EXPECT_THAT(memo.Lines(),
              ElementsAre("Title:", "   1.00000   0.00000   ", "   0.00000   1.00000   ", ""));
}

// The width 5 is a minimum: signs and large magnitudes widen a column.
TEST(PrintMatrix, WidthIsAMinimumAndRoundingIsToFiveDecimals) {
  Matrix M;
  M(1, 1) = -0.5L;
  M(1, 2) = 123456.789L;
  M(2, 1) = 0.123456L;  // rounds up in the fifth decimal
  M(2, 2) = -0.000001L;
  LineList memo;
  Print_Matrix(M, 2, "", memo);
  EXPECT_THAT(memo.Lines(),
              ElementsAre("", "   -0.50000   123456.78900   ", "   0.12346   -0.00000   ", ""));
}

TEST(PrintMatrix, EmptyBlockGivesTitleAndBlankLine) {
  LineList memo;
  memo.Add("earlier line");
  Print_Matrix(Matrix(), 0,
               " Correlations between tasks and covariate(s) in control sample:", memo);
  EXPECT_THAT(memo.Lines(),
              ElementsAre("earlier line",
                          " Correlations between tasks and covariate(s) in control sample:", ""));
}

// %f of a large long double has hundreds of digits; the line must hold all.
TEST(PrintMatrix, HugeValuePrintsEveryDigit) {
  Matrix M;
  M(1, 1) = 1e200L;
  LineList memo;
  Print_Matrix(M, 1, "t", memo);
  ASSERT_EQ(memo.Count(), 3);
  const std::string& line = memo.Lines()[1];
  EXPECT_EQ(line.size(), 3u + 201u + 6u + 3u);
  EXPECT_EQ(line.rfind("   1", 0), 0u);
  EXPECT_EQ(line.substr(line.size() - 9), ".00000   ");
}

TEST(PrintDataMatrix, RowLabelsAndColumns) {
  DataMatrix X;
  X(1, 1) = 10;
  X(1, 2) = -0.5L;
  X(2, 1) = 1234567.125L;
  X(2, 2) = 3;
  X(1, 3) = 99;  // outside the block
  X(3, 1) = 99;
  LineList memo;
  Print_Data_Matrix(X, 2, 2, "Raw data for control cases:", memo);
  EXPECT_THAT(memo.Lines(), ElementsAre("Raw data for control cases:",
                                        "   [   1]:      10.00000       -0.50000   ",
                                        "   [   2]:  1234567.12500        3.00000   ", ""));
}

TEST(PrintDataMatrix, RowNumbersWiderThanFourDigitsAndEmptyTable) {
  DataMatrix X(10000);
  X(10000, 1) = 1;
  LineList memo;
  Print_Data_Matrix(X, 10000, 1, "t", memo);
  ASSERT_EQ(memo.Count(), 10002);
  EXPECT_EQ(memo.Lines()[1], "   [   1]:       0.00000   ");
  EXPECT_EQ(memo.Lines()[9999], "   [9999]:       0.00000   ");
  EXPECT_EQ(memo.Lines()[10000], "   [10000]:       1.00000   ");

  LineList empty;
  Print_Data_Matrix(X, 0, 3, "t", empty);
  EXPECT_THAT(empty.Lines(), ElementsAre("t", ""));
}

}  // namespace
}  // namespace quorvane
