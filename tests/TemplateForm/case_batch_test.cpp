// The many-cases run as one call: each case's outcome equals a single run on
// the controls followed by that case, in input order, bad rows reported in
// their place, and a stopped batch hands on what ended.
#include "TemplateForm/case_batch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TemplateForm/report.h"
#include "TemplateForm/series_output.h"
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

// The example's 20 controls (its case row is not read) and 50 cases on its
// ranges, with IDs on some lines: each case's CSV record from the batch
// (every field, at full precision) against that of a single run on a data
// file of the 20 control rows and that case's line. Case 23 lies 1e8 on the
// first covariate: the engine's uncentred regression does not hold for it, so
// it runs on centred scores, on draws of its own; all other cases share.
std::string ExampleControls() {
  std::ifstream in(QUORVANE_EXAMPLES_DIR "/controls-and-case.txt");
  std::string text, line;
  for (int i = 0; i < 20 && std::getline(in, line); ++i) text += line + "\n";
  return text;
}

std::vector<std::string> FiftyCaseLines() {
  std::vector<std::string> lines;
  for (int c = 0; c < 50; ++c) {
    const int y1 = 12 + (c * 7) % 19, y2 = 18 + (c * 11) % 15;
    const int x1 = 95 + (c * 13) % 30, x2 = 9 + (c * 5) % 9;
    std::string line = FormatText("%d.%d %d %d %d", y1, c % 10, y2, x1, x2);
    if (c == 23) line = FormatText("%d %d 100000000 %d", y1, y2, x2);
    lines.push_back(c % 3 == 0 ? FormatText("P%02d ", c) + line : line);
  }
  return lines;
}

std::vector<std::string> CaseItems(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> items;
  for (std::string item; in >> item;) items.push_back(item);
  return items;
}

struct CsvSetting {
  PriorChoice prior;
  CredibleLimitChoice limit;
  bool deficits;
  int draws;
  std::size_t cases;  // the first this many of the fifty
};

TEST(RunBatch, EveryCsvFieldOfEachCaseIsThatOfItsSingleRun) {
  TempDir dir;
  const std::string controlsText = ExampleControls();
  const std::string controls = dir.Write("controls.txt", controlsText);
  const std::vector<std::string> lines = FiftyCaseLines();
  const std::vector<CsvSetting> settings = {
      {PriorChoice::Calibrated, CredibleLimitChoice::TwoSided, true, 20000, 50},
      {PriorChoice::StandardTheory, CredibleLimitChoice::OneSidedLower, false, 20000, 50},
      {PriorChoice::StandardTheory, CredibleLimitChoice::TwoSided, true, 20000, 50},
      // The default number of draws, on the first cases and the centred one.
      {PriorChoice::Calibrated, CredibleLimitChoice::OneSidedUpper, true, kDrawCount, 24},
  };
  for (const CsvSetting& setting : settings) {
    std::vector<std::string> chosen(lines.begin(), lines.begin() + setting.cases);
    if (setting.cases < 24) chosen.push_back(lines[23]);
    if (setting.draws == kDrawCount) chosen = {lines[0], lines[1], lines[23]};
    std::string casesText;
    for (const std::string& line : chosen) casesText += line + "\n";
    BatchRequest request;
    request.base.SetCounts(20, 2);
    request.base.prior = setting.prior;
    request.base.limit = setting.limit;
    request.base.deficits.asked = setting.deficits;
    request.base.deficits.poorer[1] = PoorerScores::Higher;
    request.base.drawCount = setting.draws;
    request.base.data = RawDataFile{controls};
    request.casesFile = dir.Write("cases.txt", casesText);
    request.workers = 2;
    std::vector<SeriesCase> seen;
    request.onCase = [&seen](const CaseRow& row, const AnalysisOutcome* outcome) {
      seen.push_back({row, outcome ? std::optional(*outcome) : std::nullopt});
    };
    const BatchSummary summary = RunBatch(request);
    ASSERT_FALSE(summary.failure) << summary.failure->message;
    EXPECT_FALSE(summary.caseFailure) << summary.caseFailure->message;
    ASSERT_EQ(seen.size(), chosen.size());

    int centred = 0;
    for (std::size_t c = 0; c < chosen.size(); ++c) {
      ASSERT_TRUE(seen[c].HasResult()) << c;
      centred += seen[c].outcome->result().centred ? 1 : 0;
      std::vector<std::string> items = CaseItems(chosen[c]);
      if (items.size() == 5) items.erase(items.begin());  // the ID
      std::string row = items[0];
      for (std::size_t i = 1; i < items.size(); ++i) row += " " + items[i];
      const std::string single = dir.Write("single.txt", controlsText + row + "\n");
      AnalysisRequest alone = request.base;
      alone.data = RawDataFile{single};
      const AnalysisOutcome expected = RunAnalysis(alone);
      ASSERT_TRUE(expected.ok()) << c;
      const RecordFields got = CsvRecordFields(BatchEntryJson(seen[c].row, seen[c].Outcome(), "1"));
      RecordFields want = CsvRecordFields(BatchEntryJson(seen[c].row, &expected, "1"));
      for (auto& [name, text] : want) {
        if (name == "inputs.data.file") text = controls;  // the batch names the controls' file
      }
      EXPECT_EQ(got, want) << "case " << c << ", line " << chosen[c];
      if (setting.deficits) {
        EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](const auto& field) {
          return field.first == "deficits.tasks.2.oneTailedP.value";
        }));
      }
    }
    EXPECT_EQ(centred, 1);  // the case 1e8 out, and only it
  }
}

}  // namespace
}  // namespace quorvane
