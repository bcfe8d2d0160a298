// The results report's layout, line by line, from a hand-made analysis. The
// values are chosen for the formats (12.5 in an 11-column field, a
// probability of 0.04, a percentage of 2.5, a negative correlation); they are
// not the statistics of the raw data shown, which only the layout concerns.
#include "TemplateForm/report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TemplateForm/control_statistics.h"

namespace quorvane {
namespace {

using ::testing::ElementsAreArray;

const std::string kTitle =
    "Quorvane.exe: Bayesian test for a standardized difference in the sngle case controlling for "
    "covariate(s)";

// Three controls, one covariate; hand-chosen statistics and engine results.
Analysis MakeAnalysis(CredibleLimitChoice limit, const std::string& n = "3",
                      const std::string& k = "1") {
  Analysis a;
  a.controlsText = n;
  a.covariatesText = k;
  a.N = 3;
  a.k = 1;
  a.K = 3;
  a.limit = limit;
  a.dataFileName = "/data/study one/scores.txt";
  DataMatrix rawData(500);
  const long double raw[4][3] = {{10, 14, 100}, {12, 15.5L, 95}, {14, 19, 110}, {8, 16, 98}};
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 3; ++j) rawData(i, j) = raw[i - 1][j - 1];
  a.rawData = std::make_shared<const DataMatrix>(std::move(rawData));
  const long double means[] = {12.5L, 16, 101.25L};
  const long double sds[] = {2, 3.25L, 15};
  const long double caseScores[] = {8, 16, 98};
  const long double z[] = {-2.25L, 0, -0.216666666666666667L};
  for (int j = 1; j <= 3; ++j) {
    a.means[j] = means[j - 1];
    a.sds[j] = sds[j - 1];
    a.caseScores[j] = caseScores[j - 1];
    a.caseRawZ[j] = z[j - 1];
  }
  const long double R[3][3] = {{1, 0.5L, -0.25L}, {0.5L, 1, 0.125L}, {-0.25L, 0.125L, 1}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) a.R(i, j) = R[i - 1][j - 1];
  a.condMeans[1] = 12.25L;
  a.condMeans[2] = 15.875L;
  a.condSDs[1] = 1.9375L;
  a.condSDs[2] = 3.0625L;
  a.partialR = 0.5L;
  a.condZ1 = -2.1875L;
  a.condZ2 = 0.0625L;
  a.sdDiff = SdDiff(a.partialR);
  a.results.oneTailedP = 0.02L;
  a.results.twoTailedP = 0.04L;
  a.results.percentMoreExtreme = 2.5L;
  a.results.percentLower = 0.125L;
  a.results.percentUpper = 11.75L;
  a.results.effectSize = -2.25L;
  a.results.effectSizeLower = -3.5L;
  a.results.effectSizeUpper = -1.0625L;
  return a;
}

// Lines 2..50 of the report for MakeAnalysis(limit, "3", "1"), the
// calibrated prior and no notes (the part that does not depend on the
// credible-limit choice, apart from the line named below).
std::vector<std::string> ExpectedHead(const std::string& limitLine) {
  return {
      "",
      kTitle,
      "",
      " THIS PROGRAM IMPLEMENTS STATISTICAL METHODS DEVELOPED IN THE FOLLOWING PAPER:",
      CitationLines[0],
      CitationLines[1],
      CitationLines[2],
      "",
      "",
      " INPUTS:",
      " Number of control participants (N) = 3",
      " Number of covariates = 1",
      "",
      " Prior selected: Analysis is to be performed using a prior CALIBRATED to confer "
      "frequentist properties",
      limitLine,
      "",
      " Raw data were loaded from the following file: ",
      " /data/study one/scores.txt",
      "",
      "Raw data for control cases:",
      "   [   1]:      10.00000       14.00000      100.00000   ",
      "   [   2]:      12.00000       15.50000       95.00000   ",
      "   [   3]:      14.00000       19.00000      110.00000   ",
      "",
      "",
      " Summary statistics for control sample on tasks and covariates together with scores of the "
      "case:",
      " _________________________________________________________________________________________",
      "  Task              Control        Control        Score for               z score  ",
      "   No.               Mean            SD             Case                  for case",
      " _________________________________________________________________________________________",
      " Task Y1            12.500          2.000           8.000                 -2.250",
      " Task Y2            16.000          3.250          16.000                  0.000",
      "",
      " Covariate 1       101.250         15.000          98.000                 -0.217",
      " _________________________________________________________________________________________",
      " ",
      " ",
      "",
      " Correlations between tasks and covariate(s) in control sample:",
      "   1.00000   0.50000   -0.25000   ",
      "   0.50000   1.00000   0.12500   ",
      "   -0.25000   0.12500   1.00000   ",
      "",
      "",
      " Sample estimate of conditional mean for Task Y1 =   12.250",
      " Sample estimate of conditional SD for Task Y1   =    1.938",
      "",
      " Sample estimate of conditional mean for Task Y2 =   15.875",
      " Sample estimate of conditional SD for Task Y2   =    3.062",
      "",
      " Sample estimate of conditional correlation (i.e., partial correlation) between Y1 and Y2  "
      "= 0.500",
      "",
      " Case's z score for Task Y1    =   -2.250",
      " Case's z score for Task Y2    =    0.000",
      "",
      " Case's z score for Task Y1 after conditioning on covariate   =   -2.188",
      " Case's z score for Task Y2 after conditioning on covariate   =    0.062",
      " Sample estimate of SD of the difference between z scores after conditioning on "
      "covariate(s) =  1.000",
      "",
      " OUTPUTS:",
      "",
      " Bayesian hypothesis test - Probability that the absolute standardized difference for a "
      "member of the ",
      " control population (with same values on covariate[s] as case) would be greater than that "
      "of "
      "the case :",
      " Two-tailed probability = 0.04000 ",
      " One-tailed probability = 0.02000 ",
  };
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kTwoSidedBlock = {
    " ",
    " Effect size (Z-DCCC) for difference between case versus controls (plus 95% Credible "
    "Interval on the",
    " effect size):",
    " Effect size (Z-DCCC) = -2.250 (95% CI on effect size = -3.500  to  -1.062)",
    "",
    " Percentage of control population exhibiting a more extreme discrepancy in the same direction "
    "as the",
    " case (plus 95% Credible Interval):",
    " Bayesian point estimate    = 2.500% (95% CI = 0.125%  to  11.750%)",
    " ",
};

TEST(WriteReport, FirstReportIntoAnEmptyMemoHasEveryLineInPlace) {
  LineList memo;
  WriteReport(MakeAnalysis(CredibleLimitChoice::TwoSided), memo);
  EXPECT_THAT(memo.Lines(),
              ElementsAreArray(
                  Concat(ExpectedHead(" Credible limit required: Two-sided "), kTwoSidedBlock)));
}

TEST(WriteReport, SecondReportStartsWithTheRuleAndLeavesTheFirstAlone) {
  LineList memo;
  const Analysis analysis = MakeAnalysis(CredibleLimitChoice::TwoSided);
  WriteReport(analysis, memo);
  const std::vector<std::string> first = memo.Lines();
  WriteReport(analysis, memo);
  std::vector<std::string> expected = first;
  expected.push_back(std::string(102, '_'));
  expected.insert(expected.end(), first.begin(), first.end());
  EXPECT_THAT(memo.Lines(), ElementsAreArray(expected));
}

TEST(WriteReport, AMemoHoldingAnyLineGetsTheRule) {
  LineList memo;
  memo.Add("");  // one empty line counts as a line
  WriteReport(MakeAnalysis(CredibleLimitChoice::TwoSided), memo);
  ASSERT_GE(memo.Count(), 3);
  EXPECT_EQ(memo.Lines()[1], std::string(102, '_'));
  EXPECT_EQ(memo.Lines()[2], "");
  EXPECT_EQ(memo.Lines()[3], kTitle);
}

TEST(WriteReport, NotesOfTwoLinesComeBeforeTheInputs) {
  Analysis analysis = MakeAnalysis(CredibleLimitChoice::TwoSided);
  analysis.notes = {"first", "second"};
  LineList memo;
  WriteReport(analysis, memo);
  const std::vector<std::string>& lines = memo.Lines();
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], " User's Notes: first");
  EXPECT_EQ(lines[10], "               second");
  EXPECT_EQ(lines[11], " ");
  EXPECT_EQ(lines[12], " INPUTS:");
  EXPECT_EQ(lines.size(), ExpectedHead("").size() + kTwoSidedBlock.size() + 3);
}

TEST(WriteReport, StandardTheoryPriorLine) {
  LineList memo;
  Analysis analysis = MakeAnalysis(CredibleLimitChoice::TwoSided);
  analysis.prior = PriorChoice::StandardTheory;
  WriteReport(analysis, memo);
  EXPECT_EQ(memo.Lines()[13],
            " Prior selected: Analysis is to be performed using a prior derived from STANDARD "
            "THEORY (Jeffreys prior)");
}

struct LimitCase {
  std::string name;
  CredibleLimitChoice limit;
  std::string limitLine;
  std::vector<std::string> block;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
  *os << c.name;
}

class WriteReportLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(WriteReportLimits, EstimatesBlockPrintsOnlyTheLimitsAskedFor) {
  LineList memo;
  WriteReport(MakeAnalysis(GetParam().limit), memo);
  EXPECT_THAT(memo.Lines(),
              ElementsAreArray(Concat(ExpectedHead(GetParam().limitLine), GetParam().block)));
}

INSTANTIATE_TEST_SUITE_P(
    AllThree, WriteReportLimits,
    ::testing::Values(
        LimitCase{"TwoSided", CredibleLimitChoice::TwoSided, " Credible limit required: Two-sided ",
                  kTwoSidedBlock},
        LimitCase{"OneSidedLower",
                  CredibleLimitChoice::OneSidedLower,
                  " Credible limit required: One-sided lower",
                  {
                      " ",
                      " Effect size (Z-DCCC) for difference between score of case versus controls "
                      "(plus 95% one-sided ",
                      " lower Credible Limit on the effect size):",
                      " Effect size (Z-DCCC) = -2.250 (95% lower Credible Limit on effect size = "
                      "-3.500)",
                      "",
                      " Percentage of control population exhibiting a more extreme discrepancy in "
                      "the same direction as the ",
                      " case (plus 95% one-sided lower Credible Limit):",
                      " Bayesian point estimate    = 2.500% (95% lower Credible Limit = 0.125%)",
                      " ",
                  }},
        LimitCase{"OneSidedUpper",
                  CredibleLimitChoice::OneSidedUpper,
                  " Credible limit required: One-sided upper",
                  {
                      " ",
                      " Effect size (Z-DCCC) for difference between score of case versus controls "
                      "(plus 95% one-sided ",
                      " upper Credible Limit on the effect size):",
                      " Effect size (Z-DCCC) = -2.250 (95% upper Credible Limit on effect size = "
                      "-1.062)",
                      "",
                      " Percentage of control population exhibiting a more extreme discrepancy in "
                      "the same direction as the ",
                      " case (plus 95 one-sided upper Credible Limit):",
                      " Bayesian point estimate    = 2.500% (95% upper Credible Limit = 11.750%)",
                      " ",
                  }}),
    [](const ::testing::TestParamInfo<LimitCase>& param) { return param.param.name; });

TEST(WriteReport, FiveCovariatesGiveFiveNumberedRows) {
  Analysis a = MakeAnalysis(CredibleLimitChoice::TwoSided);
  a.k = 5;
  a.K = 7;
  for (int j = 3; j <= 7; ++j) {
    a.means[j] = 10 * j;
    a.sds[j] = j;
    a.caseScores[j] = 10 * j + j;
    a.caseRawZ[j] = 1;
    for (int i = 1; i <= 7; ++i) {
      a.R(i, j) = i == j ? 1 : 0;
      a.R(j, i) = i == j ? 1 : 0;
    }
  }
  LineList memo;
  WriteReport(a, memo);
  const std::vector<std::string>& lines = memo.Lines();
  const auto first = std::find(lines.begin(), lines.end(),
                               " Task Y1            12.500          2.000           8.000         "
                               "        -2.250");
  ASSERT_NE(first, lines.end());
  const std::vector<std::string> table(first, first + 9);
  EXPECT_THAT(
      table, ElementsAreArray(std::vector<std::string>{
                 " Task Y1            12.500          2.000           8.000                 -2.250",
                 " Task Y2            16.000          3.250          16.000                  0.000",
                 "",
                 " Covariate 1        30.000          3.000          33.000                  1.000",
                 " Covariate 2        40.000          4.000          44.000                  1.000",
                 " Covariate 3        50.000          5.000          55.000                  1.000",
                 " Covariate 4        60.000          6.000          66.000                  1.000",
                 " Covariate 5        70.000          7.000          77.000                  1.000",
                 " ________________________________________________________________________________"
                 "_________",
             }));
  // The raw data echo and the correlation matrix widen to seven columns.
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "   [   1]:      10.00000       14.00000      100.00000        0.00000       "
                      " 0.00000        0.00000        0.00000   "),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "   0.00000   0.00000   0.00000   0.00000   0.00000   0.00000   1.00000   "),
            lines.end());
}

// Notes and a file name may hold control characters (an escape sequence, a
// bare carriage return): they are shown as \xNN, a tab as a blank, so that
// nothing in the report acts on a terminal or breaks a line of the saved file.
TEST(WriteReport, ControlCharactersAreShownHarmlessly) {
  Analysis analysis = MakeAnalysis(CredibleLimitChoice::TwoSided);
  analysis.notes = {"red \x1b[31mtext", "cr\rhere\tand\x7f"};
  analysis.dataFileName = "odd\x1b]0;title\x07name \xc2\x9b\xc3\xa9.txt";
  LineList memo;
  WriteReport(analysis, memo);
  const std::vector<std::string>& lines = memo.Lines();
  EXPECT_EQ(lines[9], " User's Notes: red \\x1B[31mtext");
  EXPECT_EQ(lines[10], "               cr\\x0Dhere and\\x7F");
  const auto file =
      std::find(lines.begin(), lines.end(), " Raw data were loaded from the following file: ");
  ASSERT_NE(file, lines.end());
  // U+009B (a terminal's escape introducer) is shown; U+00E9 stays as it is.
  EXPECT_EQ(*(file + 1), " odd\\x1B]0;title\\x07name \\xC2\\x9B\xc3\xa9.txt");
  for (const std::string& line : lines) {
    for (const char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
  }
}

TEST(WriteReport, CitationLinesAreNeutralAndBeginWithABlank) {
  for (const std::string& line : CitationLines) {
    EXPECT_EQ(line.front(), ' ') << line;
    EXPECT_LE(line.size(), 102u) << line;
    // No year, volume or page numbers: the lines describe the method only.
    EXPECT_EQ(line.find_first_of("0123456789"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace quorvane
