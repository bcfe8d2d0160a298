// A series' CSV: the command-line program's batch columns, with the
// Holm-adjusted two-tailed p beside the unadjusted one, its values over the
// cases with results only, and the columns kept (empty) when a stopped series
// has no adjusted values.
#include "TemplateForm/series_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "TemplateForm/temp_dir.h"
#include "text/format_text.h"

namespace quorvane {
namespace {

using testing::TempDir;

const char* const kControls =
    "10 14 100\n12 15 95\n14 19 110\n11 13 90\n13 18 105\n12 17 102\n9 12 97\n15 18 111\n";

// One CSV record's fields, quotes removed and doubled quotes undone.
std::vector<std::string> Fields(const std::string& record) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const char c = record[i];
    if (quoted && c == '"' && i + 1 < record.size() && record[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::size_t IndexOf(const std::vector<std::string>& header, const std::string& name) {
  const auto found = std::find(header.begin(), header.end(), name);
  EXPECT_NE(found, header.end()) << name;
  return static_cast<std::size_t>(found - header.begin());
}

std::vector<SeriesCase> RunSeries(const std::string& casesText) {
  TempDir dir;
  BatchRequest request;
  request.base.SetCounts(8, 1);
  request.base.drawCount = 2000;
  request.base.data = RawDataFile{dir.Write("controls.txt", kControls)};
  request.casesFile = dir.Write("cases.txt", casesText);
  request.workers = 2;
  std::vector<SeriesCase> cases;
  request.onCase = [&cases](const CaseRow& row, const AnalysisOutcome* outcome) {
    cases.push_back({row, outcome ? std::optional(*outcome) : std::nullopt});
  };
  const BatchSummary summary = RunBatch(request);
  EXPECT_FALSE(summary.failure);
  return cases;
}

TEST(SeriesCsv, HolmColumnsFollowTheTwoTailedPWithTheAdjustedValuesOfTheCasesWithResults) {
  // Four cases of very different p and a bad row among them.
  const std::vector<SeriesCase> cases =
      RunSeries("a 8 16 98\nb 11 15 101\nbad 1 2\nc 16 12 99\nd 7 19 104\n");
  ASSERT_EQ(cases.size(), 5u);
  ASSERT_FALSE(cases[2].HasResult());

  const std::vector<long double> holm = SeriesHolmAdjusted(cases);
  ASSERT_EQ(holm.size(), 5u);
  EXPECT_TRUE(std::isnan(holm[2]));
  // m = 4, the cases with results: the smallest p is multiplied by 4, and no
  // adjusted p is below its own p or above 1.
  std::vector<long double> p;
  for (const SeriesCase& c : cases) {
    if (c.HasResult()) p.push_back(c.outcome->result().results.twoTailedP);
  }
  const long double smallest = *std::min_element(p.begin(), p.end());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (!cases[i].HasResult()) continue;
    const long double own = cases[i].outcome->result().results.twoTailedP;
    EXPECT_GE(holm[i], own);
    EXPECT_LE(holm[i], 1.0L);
    if (own == smallest) {
      EXPECT_EQ(holm[i], std::min(1.0L, 4 * smallest));
    }
  }

  const std::vector<std::string> withHolm = SeriesCsv(cases, 3, {}, "test", &holm);
  ASSERT_EQ(withHolm.size(), 6u);  // header and 5 records
  const std::vector<std::string> header = Fields(withHolm[0]);
  const std::size_t p2 = IndexOf(header, "results.twoTailedP.text");
  EXPECT_EQ(IndexOf(header, "results.twoTailedPHolm.value"), p2 + 1);
  EXPECT_EQ(IndexOf(header, "results.twoTailedPHolm.text"), p2 + 2);
  EXPECT_EQ(header[p2 + 3], "results.oneTailedP.value");
  EXPECT_EQ(header[header.size() - 2], "error.kind");
  EXPECT_EQ(header.back(), "error.message");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::vector<std::string> record = Fields(withHolm[i + 1]);
    ASSERT_EQ(record.size(), header.size()) << withHolm[i + 1];
    EXPECT_EQ(record[IndexOf(header, "case.line")], std::to_string(cases[i].row.origin.line));
    if (cases[i].HasResult()) {
      EXPECT_EQ(std::strtold(record[p2 + 1].c_str(), nullptr), holm[i]);
      EXPECT_EQ(record[p2 + 2], TrimBlanks(FormatText("%.5Lf", holm[i])));
      EXPECT_EQ(record[header.size() - 2], "");
    } else {
      EXPECT_EQ(record[p2 + 1], "");
      EXPECT_EQ(record[header.size() - 2], "case row");
      EXPECT_EQ(record.back(), cases[i].row.error);
    }
  }

  // A series stopped before its end: the same columns, the adjusted p empty,
  // every other field as before.
  const std::vector<std::string> stopped = SeriesCsv(cases, 3, {}, "test", nullptr);
  ASSERT_EQ(stopped.size(), withHolm.size());
  EXPECT_EQ(stopped[0], withHolm[0]);
  for (std::size_t i = 1; i < stopped.size(); ++i) {
    std::vector<std::string> a = Fields(stopped[i]);
    std::vector<std::string> b = Fields(withHolm[i]);
    EXPECT_EQ(a[p2 + 1], "");
    EXPECT_EQ(a[p2 + 2], "");
    b[p2 + 1].clear();
    b[p2 + 2].clear();
    EXPECT_EQ(a, b);
  }
}

TEST(SeriesCsv, ASeriesWithoutResultsHasOnlyTheErrorEntriesColumns) {
  const std::vector<SeriesCase> cases = RunSeries("x 1 2\n3 4 5 6 7\n");
  ASSERT_EQ(cases.size(), 2u);
  const std::vector<long double> holm = SeriesHolmAdjusted(cases);
  const std::vector<std::string> csv = SeriesCsv(cases, 3, {}, "test", &holm);
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[0], "program.name,program.version,case.line,case.id,error.kind,error.message");
  EXPECT_EQ(Fields(csv[1]), (std::vector<std::string>{"quorvane-cli", "test", "1", "x", "case row",
                                                      cases[0].row.error}));
  EXPECT_EQ(Fields(csv[2])[3], "");  // no ID: the first item is a number
}

}  // namespace
}  // namespace quorvane
