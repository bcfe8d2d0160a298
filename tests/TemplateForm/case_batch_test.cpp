// The many-cases run as one call: each case's outcome equals a single run on
// the controls followed by that case, in input order, bad rows reported in
// their place, and a stopped batch hands on what ended.
#include "TemplateForm/case_batch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "TemplateForm/report.h"
#include "TemplateForm/temp_dir.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

// Eight controls (Y1, Y2, one covariate); the single runs add a case as row 9.
const char* const kControls =
    "10 14 100\n12 15 95\n14 19 110\n11 13 90\n13 18 105\n12 17 102\n9 12 97\n15 18 111\n";

struct Delivered {
  CaseRow row;
  std::optional<AnalysisOutcome> outcome;
};

BatchRequest Batch(const std::string& controls, const std::string& cases, int draws) {
  BatchRequest request;
  request.base.SetCounts(8, 1);
  request.base.drawCount = draws;
  request.base.data = RawDataFile{controls};
  request.casesFile = cases;
  request.workers = 2;
  return request;
}

std::vector<std::string> Report(const Analysis& a) {
  LineList lines;
  WriteReport(a, lines);
  return lines.Lines();
}

TEST(RunBatch, EachCaseEqualsItsSingleRunInInputOrder) {
  TempDir dir;
  const std::string controls = dir.Write("controls.txt", kControls);
  const std::string cases =
      dir.Write("cases.txt", "first 8 16 98\n\n11 15 101\nbad 1 2\nlast 16 12 99\n7 19 104\n");
  BatchRequest request = Batch(controls, cases, 3000);
  std::vector<Delivered> seen;
  request.onCase = [&seen](const CaseRow& row, const AnalysisOutcome* outcome) {
    seen.push_back({row, outcome ? std::optional(*outcome) : std::nullopt});
  };
  const BatchSummary summary = RunBatch(request);
  ASSERT_FALSE(summary.failure) << summary.failure->message;
  EXPECT_EQ(summary.cases, 5);
  EXPECT_EQ(summary.finished, 5);
  ASSERT_TRUE(summary.caseFailure);  // the bad row
  EXPECT_EQ(summary.caseFailure->kind, ErrorKind::DataFileContent);

  ASSERT_EQ(seen.size(), 5u);
  const std::vector<int> lines = {1, 3, 4, 5, 6};
  const std::vector<std::string> ids = {"first", "", "bad", "last", ""};
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].row.origin.line, lines[i]);
    EXPECT_EQ(seen[i].row.origin.id, ids[i]);
  }
  EXPECT_FALSE(seen[2].outcome);
  EXPECT_THAT(seen[2].row.error, HasSubstr("2 numbers were found; a case needs 3"));

  for (const std::size_t i : {0u, 1u, 3u, 4u}) {
    ASSERT_TRUE(seen[i].outcome && seen[i].outcome->ok()) << i;
    const CaseRow& row = seen[i].row;
    const std::string single = dir.Write(
        "single.txt", std::string(kControls) + FormatText("%.21Lg %.21Lg %.21Lg\n", row.scores[0],
                                                          row.scores[1], row.scores[2]));
    AnalysisRequest alone = request.base;
    alone.data = RawDataFile{single};
    const AnalysisOutcome expected = RunAnalysis(alone);
    ASSERT_TRUE(expected.ok());
    const Analysis& got = seen[i].outcome->result();
    EXPECT_EQ(got.results, expected.result().results) << i;
    EXPECT_EQ(got.condMeans, expected.result().condMeans) << i;
    // The report names the controls' file, as the batch's single run would.
    std::vector<std::string> report = Report(expected.result());
    std::replace(report.begin(), report.end(), " " + single, " " + controls);
    EXPECT_EQ(Report(got), report) << i;
  }
}

TEST(RunBatch, AStoppedBatchHandsOnWhatEndedAndSaysItWasCancelled) {
  TempDir dir;
  const std::string controls = dir.Write("controls.txt", kControls);
  std::string rows;
  for (int i = 0; i < 12; ++i) rows += std::to_string(8 + i % 5) + " 16 98\n";
  BatchRequest request = Batch(controls, dir.Write("cases.txt", rows), 400000);
  request.workers = 1;
  std::atomic<int> delivered{0};
  request.onCase = [&delivered](const CaseRow&, const AnalysisOutcome*) { ++delivered; };
  request.stop = [&delivered] { return delivered.load() >= 1; };
  const BatchSummary summary = RunBatch(request);
  ASSERT_TRUE(summary.caseFailure);
  EXPECT_EQ(summary.caseFailure->kind, ErrorKind::Cancelled);
  EXPECT_GE(summary.finished, 1);
  EXPECT_LT(summary.finished, 12);
  EXPECT_EQ(summary.finished, delivered.load());
}

TEST(RunBatch, ProblemsOfEveryCaseStopTheBatchBeforeAnyCase) {
  TempDir dir;
  const std::string cases = dir.Write("cases.txt", "8 16 98\n");
  struct Case {
    std::string controls;
    std::string cases;
    ErrorKind kind;
    std::string message;
  };
  const std::vector<Case> rows = {
      {dir.Write("short.txt", "10 14 100\n12 15 95\n\n14 19 110\n"), cases,
       ErrorKind::DataFileContent,
       "(2 complete rows of 3 numbers were found; 8 are needed: the 8 controls.) Line 3 is "
       "empty"},
      {dir / "missing.txt", cases, ErrorKind::DataFileUnreadable, "Cannot open the raw data file"},
      {dir.Write("controls.txt", kControls), dir / "no-cases.txt", ErrorKind::DataFileUnreadable,
       "cannot be opened"},
      {dir.Write("controls2.txt", kControls), dir.Path().string(), ErrorKind::DataFileUnreadable,
       "it is a folder"},
      {dir.Write("controls3.txt", kControls), dir.Write("binary.txt", std::string("1 2\0 3\n", 7)),
       ErrorKind::DataFileContent, "holds a control character"},
  };
  for (const Case& c : rows) {
    BatchRequest request = Batch(c.controls, c.cases, 1000);
    int calls = 0;
    request.onCase = [&calls](const CaseRow&, const AnalysisOutcome*) { ++calls; };
    const BatchSummary summary = RunBatch(request);
    ASSERT_TRUE(summary.failure) << c.message;
    EXPECT_EQ(summary.failure->kind, c.kind) << c.message;
    EXPECT_THAT(summary.failure->message, HasSubstr(c.message));
    EXPECT_EQ(calls, 0);
  }
}

}  // namespace
}  // namespace quorvane
