// The deficit tests' report section: its exact text for the example, the
// other limit choices, what is said when a test or its limits are missing,
// and its line lengths.
#include "TemplateForm/deficit_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TemplateForm/analysis.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Text(const LineList& lines) {
  std::string text;
  for (const std::string& line : lines.Lines()) text += line + '\n';
  return text;
}

// The example's summary statistics (examples/controls-and-case.txt).
SummaryStatistics Example() {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  auto s = SummariseData(request);
  if (!std::holds_alternative<SummaryStatistics>(s)) throw std::runtime_error("example");
  return std::get<SummaryStatistics>(s);
}

DeficitResult TaskTest(const SummaryStatistics& s, int task, PoorerScores poorer,
                       bool twoSided = true) {
  return Run_Deficit_Test(task, poorer, s.k, s.N, twoSided, 95, s.sds, s.means, s.caseScores, s.R);
}

// The example (both tasks lower-is-poorer, two-sided limits; the difference
// test's two-tailed p as the example's report gives it), line for line.
TEST(DeficitReport, TheExamplesSection) {
  const SummaryStatistics s = Example();
  LineList lines;
  WriteDeficitSection(TaskTest(s, 1, PoorerScores::Lower), TaskTest(s, 2, PoorerScores::Lower),
                      0.03160136153461105463L, CredibleLimitChoice::TwoSided, lines);
  const std::vector<std::string> expected = {
      "",
      " DEFICIT TESTS - each task on its own: the case's score against the scores of controls with "
      "the",
      " same values on the covariate[s], as predicted from the control sample (one-tailed "
      "probabilities",
      " in the task's poorer direction):",
      "",
      " Task Y1 (lower scores are poorer):",
      " t = -1.897, df = 17, one-tailed probability = 0.03749 ",
      " Effect size (Z-CCC) = -2.079 (95% CI on effect size = -3.180  to  -0.940)",
      " Percentage of controls (with same values on covariate[s] as case) scoring lower than the "
      "case:",
      " Point estimate    = 3.749% (95% CI = 0.074%  to  17.360%)",
      "",
      " Task Y2 (lower scores are poorer):",
      " t = 1.363, df = 17, one-tailed probability = 0.90462 ",
      " Effect size (Z-CCC) = 1.494 (95% CI on effect size = 0.466  to  2.488)",
      " Percentage of controls (with same values on covariate[s] as case) scoring lower than the "
      "case:",
      " Point estimate    = 90.462% (95% CI = 67.940%  to  99.358%)",
      "",
      " Verdict: Classical dissociation: a deficit on Task Y1, Task Y2 within normal limits, and a "
      "significant",
      " difference between the tasks.",
      " Rule: deficit on one task only (one-tailed p < .05) and a significant difference "
      "(two-tailed p < .05).",
      " ",
  };
  EXPECT_EQ(lines.Lines(), expected) << Text(lines);
}

// The other limit choices and directions, a strong dissociation's caution,
// and every line within the report's width.
TEST(DeficitReport, LimitChoicesDirectionsAndWidth) {
  const SummaryStatistics s = Example();
  struct Row {
    CredibleLimitChoice limit;
    PoorerScores poorer2;
    std::vector<std::string> says;
  };
  // The limits as in the reference table's one-sided case for Task Y1.
  const Row rows[] = {
      {CredibleLimitChoice::OneSidedLower,
       PoorerScores::Higher,
       {" Task Y2 (higher scores are poorer):",
        " Effect size (Z-CCC) = -2.079 (95% lower Credible Limit on effect size = -2.996)",
        " Point estimate    = 3.749% (95% lower Credible Limit = 0.137%)",
        "scoring higher than the case:", " t = 1.363, df = 17, one-tailed probability = 0.09538 ",
        "No verdict on a dissociation."}},
      {CredibleLimitChoice::OneSidedUpper,
       PoorerScores::Lower,
       {" Effect size (Z-CCC) = -2.079 (95% upper Credible Limit on effect size = -1.115)",
        " Point estimate    = 3.749% (95% upper Credible Limit = 13.232%)",
        "Classical dissociation"}},
  };
  for (const Row& row : rows) {
    LineList lines;
    const bool twoSided = row.limit == CredibleLimitChoice::TwoSided;
    WriteDeficitSection(TaskTest(s, 1, PoorerScores::Lower, twoSided),
                        TaskTest(s, 2, row.poorer2, twoSided), 0.0316L, row.limit, lines);
    const std::string text = Text(lines);
    for (const std::string& piece : row.says) EXPECT_THAT(text, HasSubstr(piece));
    EXPECT_THAT(text, Not(HasSubstr("nan")));
    for (const std::string& line : lines.Lines()) {
      EXPECT_LE(line.size(), kDeficitSectionWidth) << line;
      EXPECT_TRUE(line.empty() || line[0] == ' ') << line;
    }
  }
}

// A test that could not be made, and limits that could not be found, are said.
TEST(DeficitReport, MissingTestsAndLimitsAreSaid) {
  const SummaryStatistics s = Example();
  DeficitResult noTest = TaskTest(s, 1, PoorerScores::Lower);
  noTest.problem = DeficitProblem::NotAnalysable;
  DeficitResult noLimits = TaskTest(s, 2, PoorerScores::Lower);
  noLimits.problem = DeficitProblem::LimitsNotFound;
  LineList lines;
  WriteDeficitSection(noTest, noLimits, 0.0316L, CredibleLimitChoice::TwoSided, lines);
  const std::string text = Text(lines);
  EXPECT_THAT(text,
              HasSubstr(" No deficit test: the covariates predict this task (almost) exactly"));
  EXPECT_THAT(text, HasSubstr(" Effect size (Z-CCC) = 1.494\n"));
  EXPECT_THAT(text, HasSubstr(" No limits: the case lies so far from its predicted score"));
  EXPECT_THAT(text, HasSubstr(" Verdict: none, as the deficit test of a task could not be made."));
  for (const std::string& line : lines.Lines()) EXPECT_LE(line.size(), kDeficitSectionWidth);
  for (DeficitProblem p : {DeficitProblem::OutsideDomain, DeficitProblem::NotFinite,
                           DeficitProblem::NotAnalysable, DeficitProblem::LimitsNotFound}) {
    EXPECT_FALSE(DeficitProblemMessage(p).empty());
  }
  EXPECT_EQ(DeficitProblemMessage(DeficitProblem::None), "");
}

}  // namespace
}  // namespace quorvane
