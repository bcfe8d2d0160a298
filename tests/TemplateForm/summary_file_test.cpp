// Summary statistics: the file's round trip to the last bit, its line ends
// and comments, the entry each refusal names, and an analysis from them.
#include "TemplateForm/summary_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "TemplateForm/report.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

using Field = SummaryEntry::Field;

SummaryStatistics Read(const std::string& text) {
  SummaryStatistics s;
  const auto problem = ReadSummaryText(text, s);
  EXPECT_FALSE(problem.has_value()) << (problem ? problem->message : "");
  return s;
}

std::string Written(const SummaryStatistics& s) {
  std::ostringstream out;
  WriteSummary(out, s);
  return out.str();
}

// Values whose shortest decimal forms need all 21 digits, tiny and huge
// magnitudes, and correlations next to the bounds.
SummaryStatistics Awkward() {
  SummaryStatistics s;
  s.N = 9;
  s.k = 1;
  s.means[1] = 1.0L / 3.0L;
  s.means[2] = -2.0L / 7.0L * 1e-30L;
  s.means[3] = 1e300L * 1e300L;  // beyond any double
  s.sds[1] = std::nextafter(1.0L, 2.0L);
  s.sds[2] = 1e-4000L;
  s.sds[3] = 3.0L;
  s.caseScores[1] = -0.0L;
  s.caseScores[2] = 123456789.123456789L;
  s.caseScores[3] = std::sqrt(2.0L);
  s.R(1, 1) = s.R(2, 2) = s.R(3, 3) = 1;
  s.R(2, 1) = s.R(1, 2) = std::nextafter(1.0L, 0.0L);
  s.R(3, 1) = s.R(1, 3) = -1;
  s.R(3, 2) = s.R(2, 3) = 1.0L / 9.0L;
  return s;
}

TEST(SummaryFile, WrittenFileReadsBackEvery80BitValue) {
  const SummaryStatistics s = Awkward();
  ASSERT_FALSE(CheckSummaryStatistics(s).has_value());
  const SummaryStatistics back = Read(Written(s));
  EXPECT_EQ(back.N, s.N);
  EXPECT_EQ(back.k, s.k);
  EXPECT_TRUE(back.means == s.means);
  EXPECT_TRUE(back.sds == s.sds);
  EXPECT_TRUE(back.caseScores == s.caseScores);
  EXPECT_TRUE(back.R == s.R);
}

TEST(SummaryFile, LineEndsCommentsBlankLinesAndLetterCaseDoNotMatter) {
  const std::string lf =
      "N 12\ncovariates 1\nmean 1 2 3\nSD 1 1 1\ncase 0 0 0\ncorrelations\n0.5\n0.25 0.125\n";
  const SummaryStatistics expected = Read(lf);
  std::string crlf, cr;
  for (char c : lf) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    cr += c == '\n' ? '\r' : c;
  }
  const std::string decorated =
      "\xEF\xBB\xBF# norms\n\n  n\t12   # controls\r\nCOVARIATES 1\rMean 1 2 3\n\n\nsd 1 1 1\n"
      "CASE 0 0 0\nCorrelations # lower triangle\n0.5\n0.25\t0.125";
  for (const std::string& text : {crlf, cr, decorated}) {
    const SummaryStatistics s = Read(text);
    EXPECT_TRUE(s.means == expected.means && s.sds == expected.sds && s.R == expected.R &&
                s.caseScores == expected.caseScores && s.N == 12 && s.k == 1)
        << text;
  }
  EXPECT_EQ(expected.R(3, 2), 0.125L);
  EXPECT_EQ(expected.R(2, 3), 0.125L);
  EXPECT_EQ(expected.R(2, 2), 1.0L);
}

// Typed entries: the first refusal in reading order names its entry.
TEST(SummaryTexts, EachRefusalNamesItsEntry) {
  struct Case {
    const char* what;
    void (*edit)(SummaryTexts&);
    SummaryEntry entry;
    const char* message;
  };
  const Case cases[] = {
      {"empty mean",
       [](SummaryTexts& t) { t.means[2] = " "; },
       {Field::Mean, 3, 0},
       "The mean of Covariate 1 is missing."},
      {"comma",
       [](SummaryTexts& t) { t.caseScores[1] = "1,5"; },
       {Field::Case, 2, 0},
       "The case's score on Task Y2 is not a plain decimal number: \"1,5\"."},
      {"infinite",
       [](SummaryTexts& t) { t.means[0] = "1e5000"; },
       {Field::Mean, 1, 0},
       "The mean of Task Y1 is not a plain decimal number: \"1e5000\"."},
      {"negative SD",
       [](SummaryTexts& t) { t.sds[1] = "-0.5"; },
       {Field::SD, 2, 0},
       "The SD of Task Y2 must be greater than 0, not -0.5."},
      {"zero SD written -0",
       [](SummaryTexts& t) { t.sds[0] = "-0"; },
       {Field::SD, 1, 0},
       "The SD of Task Y1 must be greater than 0, not -0."},
      {"correlation above 1",
       [](SummaryTexts& t) { t.correlations[1][0] = "1.0000000000000000001"; },
       {Field::Correlation, 3, 1},
       "The correlation of Covariate 1 with Task Y1 (row 3, column 1) must lie between -1 and "
       "1, not 1.0000000000000000001."},
      {"first problem wins",
       [](SummaryTexts& t) {
         t.correlations[0][0] = "x";
         t.sds[2] = "0";
       },
       {Field::SD, 3, 0},
       "The SD of Covariate 1 must be greater than 0, not 0."},
  };
  for (const Case& c : cases) {
    SummaryTexts t = SummaryTexts::Empty(10, 1);
    t.means = {"1", "2", "3"};
    t.sds = {"1", "1", "1"};
    t.caseScores = {"0", "0", "0"};
    t.correlations = {{"1"}, {"-1", "0.3"}};  // the bounds themselves pass
    SummaryStatistics s;
    ASSERT_FALSE(ConvertSummaryTexts(t, s).has_value()) << c.what;
    c.edit(t);
    const auto problem = ConvertSummaryTexts(t, s);
    ASSERT_TRUE(problem.has_value()) << c.what;
    EXPECT_EQ(problem->entry, c.entry) << c.what;
    EXPECT_EQ(problem->message, c.message) << c.what;
    EXPECT_EQ(problem->line, 0) << c.what;
  }
}

// Statistics handed to RunAnalysis directly get the same checks.
TEST(SummaryAnalysis, RefusesStatisticsTheEntryChecksWouldRefuse) {
  SummaryStatistics s = Awkward();
  s.means[3] = 100;
  s.sds[2] = 0;
  AnalysisRequest request;
  request.SetCounts(9, 1);
  request.drawCount = 100;
  request.data = SummaryInput{s, "", {}};
  const AnalysisOutcome outcome = RunAnalysis(request);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().kind, ErrorKind::DataFileContent);
  EXPECT_EQ(outcome.error().message, "The SD of Task Y2 must be greater than 0, not 0.");
}

// Typed statistics: the report says so in place of the raw data, and the
// not-positive-definite refusal carries the advice.
TEST(SummaryAnalysis, TypedStatisticsReportAndRoundedMatrixRefusal) {
  SummaryTexts t = SummaryTexts::Empty(30, 1);
  t.means = {"10", "12", "100"};
  t.sds = {"2", "3", "15"};
  t.caseScores = {"5", "12", "100"};
  t.correlations = {{"0.6"}, {"0.5", "0.4"}};
  SummaryStatistics s;
  ASSERT_FALSE(ConvertSummaryTexts(t, s).has_value());
  AnalysisRequest request;
  request.SetCounts(30, 1);
  request.drawCount = 2000;
  request.data = SummaryInput{s, "", {}};
  const AnalysisOutcome outcome = RunAnalysis(request);
  ASSERT_TRUE(outcome.ok()) << outcome.error().message;
  LineList report;
  WriteReport(outcome.result(), report);
  const auto& lines = report.Lines();
  const auto source = std::find(lines.begin(), lines.end(),
                                " Summary statistics for the control sample and the case's "
                                "scores were entered (no raw data).");
  ASSERT_NE(source, lines.end());
  EXPECT_EQ(*(source - 1), "");
  EXPECT_EQ(*(source + 1), "");
  EXPECT_EQ(*(source + 2),
            " Summary statistics for control sample on tasks and covariates together with "
            "scores of the case:");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("Raw data") != l.npos; }),
            0);

  // 0.95, 0.95 and 0.71: each possible, not the three together.
  s.R(2, 1) = s.R(1, 2) = 0.95L;
  s.R(3, 1) = s.R(1, 3) = 0.95L;
  s.R(3, 2) = s.R(2, 3) = 0.71L;
  request.data = SummaryInput{s, "norms.txt", {}};
  const AnalysisOutcome refused = RunAnalysis(request);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, ErrorKind::NotAnalysable);
  EXPECT_EQ(refused.error().message,
            std::string(kNotPositiveDefiniteMessage) + kSummaryNotPositiveDefiniteAdvice);
}

// The statistics SummariseData gives for raw data, through a summary file,
// make the same analysis. The file restores every value exactly except the
// diagonal of R, which it takes as 1 while raw data give 1 within a few units
// in the last place; the results then agree to far below the report's
// digits (relative 1e-15), and the counted probabilities exactly.
TEST(SummaryAnalysis, SummaryOfRawDataGivesTheSameAnalysis) {
  AnalysisRequest raw;
  raw.SetCounts(20, 2);
  raw.drawCount = 5000;
  raw.data = RawDataFile{std::string(QUORVANE_EXAMPLES_DIR) + "/controls-and-case.txt"};
  const auto summary = SummariseData(raw);
  ASSERT_TRUE(std::holds_alternative<SummaryStatistics>(summary));
  const SummaryStatistics& s = std::get<SummaryStatistics>(summary);
  const SummaryStatistics back = Read(Written(s));
  EXPECT_TRUE(back.means == s.means && back.sds == s.sds && back.caseScores == s.caseScores);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_NEAR(s.R(i, i), 1.0L, 1e-18L);
    for (int l = 1; l <= 4; ++l) {
      if (l != i) {
        EXPECT_EQ(back.R(i, l), s.R(i, l)) << i << ", " << l;
      }
    }
  }
  AnalysisRequest fromSummary = raw;
  fromSummary.data = SummaryInput{back, "s.txt", {}};
  const AnalysisOutcome a = RunAnalysis(raw);
  const AnalysisOutcome b = RunAnalysis(fromSummary);
  ASSERT_TRUE(a.ok() && b.ok());
  const EngineResults& x = a.result().results;
  const EngineResults& y = b.result().results;
  EXPECT_EQ(x.twoTailedP, y.twoTailedP);
  EXPECT_EQ(x.oneTailedP, y.oneTailedP);
  for (auto [u, v] : {std::pair{x.effectSize, y.effectSize},
                      {x.effectSizeLower, y.effectSizeLower},
                      {x.effectSizeUpper, y.effectSizeUpper},
                      {x.percentLower, y.percentLower},
                      {x.percentUpper, y.percentUpper},
                      {a.result().partialR, b.result().partialR}}) {
    EXPECT_NEAR(u, v, 1e-15L * std::fabs(u));
  }
  EXPECT_TRUE(b.result().fromSummary);
}

}  // namespace
}  // namespace quorvane
