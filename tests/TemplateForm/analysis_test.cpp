// The analysis as one call: typed errors, the draws on request, and several
// analyses at once in one process, each equal to its run alone.
#include "TemplateForm/analysis.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "Bayes_Engines/engine_fixture.h"
#include "TemplateForm/report.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

// The engine tests' fixture: 12 controls and the case, with k covariates.
AnalysisRequest FixtureRequest(int k, PriorChoice prior, CredibleLimitChoice limit, int draws) {
  AnalysisRequest request;
  request.SetCounts(testing::kFixtureControls, k);
  request.prior = prior;
  request.limit = limit;
  request.drawCount = draws;
  DataMatrix rows(13, k + 2);
  for (int i = 1; i <= 13; ++i) {
    for (int j = 1; j <= k + 2; ++j) rows(i, j) = testing::kFixtureRows[i - 1][j - 1];
  }
  request.data = RawDataTable{rows, "fixture.txt"};
  return request;
}

std::vector<std::string> Report(const AnalysisOutcome& outcome) {
  LineList lines;
  if (outcome.ok()) {
    WriteReport(outcome.result(), lines);
  } else {
    lines.Add(outcome.error().message);
  }
  return lines.Lines();
}

// Four (and more) analyses with different inputs on parallel threads, each
// itself on one or two threads, give byte for byte the reports of their runs
// alone: nothing on the analysis path is shared.
TEST(RunAnalysis, ConcurrentAnalysesEqualTheirSoloRuns) {
  std::vector<AnalysisRequest> requests = {
      FixtureRequest(1, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 30000),
      FixtureRequest(2, PriorChoice::StandardTheory, CredibleLimitChoice::OneSidedLower, 30000),
      FixtureRequest(5, PriorChoice::Calibrated, CredibleLimitChoice::OneSidedUpper, 30000),
      FixtureRequest(3, PriorChoice::StandardTheory, CredibleLimitChoice::TwoSided, 30000),
      FixtureRequest(2, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 30000),
      FixtureRequest(4, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 30000),
  };
  requests[4].notes = {"a note"};
  for (std::size_t i = 0; i < requests.size(); ++i) requests[i].threads = i % 2 == 0 ? 1 : 2;

  std::vector<std::vector<std::string>> solo;
  for (const AnalysisRequest& request : requests) solo.push_back(Report(RunAnalysis(request)));

  std::vector<std::vector<std::string>> together(requests.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    threads.emplace_back([&, i] { together[i] = Report(RunAnalysis(requests[i])); });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < requests.size(); ++i) {
    ASSERT_GT(solo[i].size(), 60u) << i << ": " << solo[i].front();
    EXPECT_EQ(together[i], solo[i]) << "analysis " << i;
  }
}

// The draws come back on request, in draw order, and do not change the
// results; the order statistics are taken from a copy.
TEST(RunAnalysis, DrawsOnRequestLeaveTheResultsAlone) {
  AnalysisRequest request =
      FixtureRequest(2, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 4000);
  const AnalysisOutcome plain = RunAnalysis(request);
  request.keepDraws = true;
  const AnalysisOutcome kept = RunAnalysis(request);
  ASSERT_TRUE(plain.ok() && kept.ok());
  EXPECT_TRUE(plain.result().draws.empty());
  ASSERT_EQ(kept.result().draws.size(), 4000u);
  EXPECT_EQ(kept.result().results, plain.result().results);
  std::vector<long double> sorted = kept.result().draws;
  EXPECT_FALSE(std::is_sorted(sorted.begin(), sorted.end()));  // draw order, not sorted
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted[99], kept.result().results.effectSizeLower);    // position 100 of 4000
  EXPECT_EQ(sorted[3900], kept.result().results.effectSizeUpper);  // position 3901
}

// Each kind of failure comes back as its kind, with the field at fault.
TEST(RunAnalysis, FailuresComeBackTyped) {
  struct Row {
    const char* what;
    std::string controls, covariates;
    ErrorKind kind;
    int field;
  };
  const Row rows[] = {
      {"N not a number", "1x", "2", ErrorKind::BadFieldValue, 1},
      {"k out of range", "12", "6", ErrorKind::BadFieldValue, 2},
      {"k beyond N's limit", "6", "3", ErrorKind::BadFieldValue, 2},
      {"more rows asked than given", "40", "2", ErrorKind::DataFileContent, 0},
  };
  for (const Row& row : rows) {
    AnalysisRequest request =
        FixtureRequest(2, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 1000);
    request.controls = row.controls;
    request.covariates = row.covariates;
    const AnalysisOutcome outcome = RunAnalysis(request);
    ASSERT_FALSE(outcome.ok()) << row.what;
    EXPECT_EQ(outcome.error().kind, row.kind) << row.what;
    EXPECT_EQ(outcome.error().field, row.field) << row.what;
    EXPECT_FALSE(outcome.error().message.empty());
  }

  AnalysisRequest missing =
      FixtureRequest(1, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 1000);
  missing.data = RawDataFile{"/no/such/folder/data.txt"};
  EXPECT_EQ(RunAnalysis(missing).error().kind, ErrorKind::DataFileUnreadable);

  AnalysisRequest cancelled =
      FixtureRequest(1, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 50000);
  cancelled.progress = [](std::int64_t, std::int64_t) { return false; };
  EXPECT_EQ(RunAnalysis(cancelled).error().kind, ErrorKind::Cancelled);

  AnalysisRequest collinear =
      FixtureRequest(2, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 1000);
  DataMatrix table = *std::get<RawDataTable>(collinear.data).rows;
  for (int i = 1; i <= 13; ++i) table(i, 4) = 2 * table(i, 3) + 1;  // covariate 2 from 1
  collinear.data = RawDataTable(std::move(table), "collinear.txt");
  const AnalysisOutcome refused = RunAnalysis(collinear);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, ErrorKind::NotAnalysable);
  EXPECT_EQ(refused.error().field, 1);
  EXPECT_EQ(refused.error().reason, Reason::NotPositiveDefinite);
  // The usual text, then the column at fault.
  EXPECT_EQ(refused.error().message,
            std::string(kNotPositiveDefiniteMessage) +
                "\r\rCovariate 2 repeats Covariate 1 among the controls (their correlation is "
                "1.00000): drop one of them.");
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// The deficit tests add their section after the report, which stays as it is;
// their numbers are the closed form's on the analysis's own statistics, for
// raw data and summary statistics alike, in the directions asked for.
TEST(RunAnalysis, DeficitTestsFollowTheReportWhenAskedFor) {
  AnalysisRequest plain =
      FixtureRequest(2, PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, 4000);
  const std::vector<std::string> without = Report(RunAnalysis(plain));
  for (const PoorerScores y2 : {PoorerScores::Lower, PoorerScores::Higher}) {
    AnalysisRequest asked = plain;
    asked.deficits.asked = true;
    asked.deficits.poorer = {PoorerScores::Lower, y2};
    const AnalysisOutcome outcome = RunAnalysis(asked);
    ASSERT_TRUE(outcome.ok());
    const Analysis& a = outcome.result();
    const std::vector<std::string> with = Report(outcome);
    ASSERT_GT(with.size(), without.size());
    EXPECT_TRUE(std::equal(without.begin(), without.end(), with.begin()));
    EXPECT_EQ(with[without.size() + 1].rfind(" DEFICIT TESTS", 0), 0u);
    for (int task = 1; task <= 2; ++task) {
      const DeficitResult expected =
          Run_Deficit_Test(task, asked.deficits.poorer[static_cast<std::size_t>(task - 1)], a.k,
                           a.N, true, 95, a.sds, a.means, a.caseScores, a.R);
      const DeficitResult& got = a.deficit[static_cast<std::size_t>(task - 1)];
      EXPECT_EQ(got.poorer, asked.deficits.poorer[static_cast<std::size_t>(task - 1)]);
      EXPECT_EQ(got.oneTailedP, expected.oneTailedP) << task;
      EXPECT_EQ(got.effectSizeLower, expected.effectSizeLower) << task;
    }

    // The same statistics entered as summary statistics: the same tests.
    AnalysisRequest summary = asked;
    SummaryStatistics s;
    s.N = a.N;
    s.k = a.k;
    s.means = a.means;
    s.sds = a.sds;
    s.caseScores = a.caseScores;
    s.R = a.R;
    for (int i = 1; i <= a.K; ++i) s.R(i, i) = 1;
    summary.data = SummaryInput{s, "norms.txt", {}};
    const AnalysisOutcome fromSummary = RunAnalysis(summary);
    ASSERT_TRUE(fromSummary.ok()) << fromSummary.error().message;
    for (int task = 0; task < 2; ++task) {
      const DeficitResult& raw = a.deficit[static_cast<std::size_t>(task)];
      const DeficitResult& norms = fromSummary.result().deficit[static_cast<std::size_t>(task)];
      EXPECT_NEAR(static_cast<double>(norms.t), static_cast<double>(raw.t), 1e-15);
      EXPECT_NEAR(static_cast<double>(norms.percentUpper), static_cast<double>(raw.percentUpper),
                  1e-12);
    }
  }
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// The standard-theory prior warns where the validation study measured a type I
// error above .10 (at N, or at the largest N measured below it), with the rate;
// never for the calibrated prior, and not where it was measured near .05.
TEST(RunAnalysis, TheStandardPriorWarnsWhereItsMeasuredTypeIErrorExceedsTen) {
  EXPECT_EQ(StandardPriorTypeIError(6, 2), std::optional<double>(0.188));
  EXPECT_EQ(StandardPriorTypeIError(11, 3), StandardPriorTypeIError(10, 3));  // from below
  EXPECT_FALSE(StandardPriorTypeIError(3, 1).has_value());                    // never measured
  struct Case {
    int k;
    PriorChoice prior;
    bool warned;
  };
  // The fixture's 12 controls: with the standard prior and 3 covariates the
  // rate at N = 12 was measured at .079; at N = 10 (a subset) at .116.
  for (const Case& c :
       {Case{3, PriorChoice::StandardTheory, false}, Case{3, PriorChoice::Calibrated, false}}) {
    AnalysisRequest request = FixtureRequest(c.k, c.prior, CredibleLimitChoice::TwoSided, 1000);
    std::vector<std::string> notices;
    request.notice = [&notices](const std::string& text) { notices.push_back(text); };
    const AnalysisOutcome outcome = RunAnalysis(request);
    ASSERT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome.result().warnings.empty());
  }
  AnalysisRequest small =
      FixtureRequest(3, PriorChoice::StandardTheory, CredibleLimitChoice::TwoSided, 1000);
  small.SetCounts(10, 3);  // the first 10 rows the controls, row 11 the case
  std::vector<std::string> notices;
  small.notice = [&notices](const std::string& text) { notices.push_back(text); };
  const AnalysisOutcome outcome = RunAnalysis(small);
  ASSERT_TRUE(outcome.ok()) << outcome.error().message;
  ASSERT_FALSE(outcome.result().warnings.empty());
  EXPECT_THAT(outcome.result().warnings.front(),
              ::testing::HasSubstr("in 11.6% of data sets. Use the calibrated prior"));
  ASSERT_FALSE(notices.empty());
  EXPECT_THAT(notices.front(), ::testing::HasSubstr("11.6%"));  // in the loaded-data notice
}

}  // namespace
}  // namespace quorvane
