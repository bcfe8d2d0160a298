// The analysis does not depend on the unit or the origin of any variable:
// every column scaled by 1e-12 or 1e12 (alone or all together) gives the same
// printed OUTPUTS, and every column shifted by a million SDs gives OUTPUTS
// within Monte Carlo error of the original (a shift changes which posterior
// draw each random number makes). Also: ordinary data keep the engines'
// arithmetic bit for bit, and the example's report is unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Bayes_Engines/engine_fixture.h"
#include "TemplateForm/analysis.h"
#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/report.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

struct Data {
  const char* what;
  int N, k;
  DataMatrix rows{0};
};

// The example file (20 controls, 2 covariates), and the engine tests' fixture
// with one and with five covariates (12 controls).
std::vector<Data> DataSets() {
  std::vector<Data> sets;
  Data example{"example", 20, 2};
  ReadRawDataFile(std::string(QUORVANE_EXAMPLES_DIR) + "/controls-and-case.txt", 21, 4,
                  example.rows);
  sets.push_back(std::move(example));
  for (int k : {1, 5}) {
    Data fixture{k == 1 ? "fixture, k = 1" : "fixture, k = 5", testing::kFixtureControls, k};
    fixture.rows = DataMatrix(13);
    for (int i = 1; i <= 13; ++i) {
      for (int j = 1; j <= k + 2; ++j) fixture.rows(i, j) = testing::kFixtureRows[i - 1][j - 1];
    }
    sets.push_back(std::move(fixture));
  }
  return sets;
}

AnalysisOutcome Analyse(const Data& data, const DataMatrix& rows, PriorChoice prior, int draws) {
  AnalysisRequest request;
  request.SetCounts(data.N, data.k);
  request.prior = prior;
  request.drawCount = draws;
  request.data = RawDataTable{rows, "data.txt"};
  return RunAnalysis(request);
}

// The report's lines from " OUTPUTS:" to the end.
std::vector<std::string> Outputs(const Analysis& a) {
  LineList report;
  WriteReport(a, report);
  const auto& lines = report.Lines();
  std::size_t i = 0;
  while (i < lines.size() && lines[i] != " OUTPUTS:") ++i;
  return {lines.begin() + static_cast<long>(i), lines.end()};
}

// column 0: every column.
DataMatrix Transformed(const Data& data, int column, long double scale, long double shiftSds,
                       const Analysis& original) {
  DataMatrix rows = data.rows;
  for (int j = 1; j <= data.k + 2; ++j) {
    if (column != 0 && j != column) continue;
    for (int i = 1; i <= data.N + 1; ++i) {
      rows(i, j) = rows(i, j) * scale + shiftSds * original.sds[j];
    }
  }
  return rows;
}

TEST(ScaleInvariance, EveryUnitGivesTheSameOutputs) {
  for (const Data& data : DataSets()) {
    for (PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
      const AnalysisOutcome original = Analyse(data, data.rows, prior, 20000);
      ASSERT_TRUE(original.ok()) << data.what;
      const std::vector<std::string> expected = Outputs(original.result());
      for (int column = 0; column <= data.k + 2; ++column) {
        for (long double scale : {1e-12L, 1e12L}) {
          SCOPED_TRACE(::testing::Message()
                       << data.what << ", prior " << static_cast<int>(prior) << ", column "
                       << column << " x " << static_cast<double>(scale));
          const AnalysisOutcome scaled =
              Analyse(data, Transformed(data, column, scale, 0, original.result()), prior, 20000);
          ASSERT_TRUE(scaled.ok()) << scaled.error().message;
          EXPECT_EQ(Outputs(scaled.result()), expected);
        }
      }
    }
  }
}

TEST(ScaleInvariance, ShiftedScoresGiveOutputsWithinMonteCarloError) {
  constexpr int kDraws = 200000;
  for (const Data& data : DataSets()) {
    for (PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
      const AnalysisOutcome original = Analyse(data, data.rows, prior, kDraws);
      ASSERT_TRUE(original.ok()) << data.what;
      const EngineResults& want = original.result().results;
      for (int column = 0; column <= data.k + 2; ++column) {
        SCOPED_TRACE(::testing::Message() << data.what << ", prior " << static_cast<int>(prior)
                                          << ", column " << column << " + 1e6 SDs");
        const AnalysisOutcome shifted =
            Analyse(data, Transformed(data, column, 1, 1e6L, original.result()), prior, kDraws);
        ASSERT_TRUE(shifted.ok()) << shifted.error().message;
        const EngineResults& got = shifted.result().results;
        EXPECT_NEAR(static_cast<double>(got.twoTailedP), static_cast<double>(want.twoTailedP),
                    0.001);
        EXPECT_NEAR(static_cast<double>(got.effectSizeLower),
                    static_cast<double>(want.effectSizeLower), 0.02);
        EXPECT_NEAR(static_cast<double>(got.effectSizeUpper),
                    static_cast<double>(want.effectSizeUpper), 0.02);
        EXPECT_NEAR(static_cast<double>(got.percentLower), static_cast<double>(want.percentLower),
                    0.2);
        EXPECT_NEAR(static_cast<double>(got.percentUpper), static_cast<double>(want.percentUpper),
                    0.2);
        // The sample statistics do not depend on the draws: the point estimate
        // prints the same.
        EXPECT_EQ(FormatText("%2.3Lf", got.effectSize), FormatText("%2.3Lf", want.effectSize));
      }
    }
  }
}

// A Y1 mistyped a billion billion times too large: the report is that of the
// same file with Y1 divided back (the run used to loop for ever).
TEST(ScaleInvariance, AHugeColumnIsAnalysedAsItsOwnUnit) {
  const Data huge{"huge", 6, 1};
  Data small{"small", 6, 1};
  const long double values[7][3] = {{1, 1, 1}, {2, 3, 2}, {3, 2, 4}, {4, 5, 3},
                                    {5, 4, 6}, {6, 6, 5}, {3, 3, 3}};
  DataMatrix big(7), plain(7);
  for (int i = 1; i <= 7; ++i) {
    for (int j = 1; j <= 3; ++j) {
      plain(i, j) = values[i - 1][j - 1];
      big(i, j) = j == 1 ? values[i - 1][j - 1] * 1e18L : values[i - 1][j - 1];
    }
  }
  for (PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
    const AnalysisOutcome a = Analyse(huge, big, prior, 20000);
    const AnalysisOutcome b = Analyse(small, plain, prior, 20000);
    ASSERT_TRUE(a.ok()) << a.error().message;
    ASSERT_TRUE(b.ok()) << b.error().message;
    EXPECT_EQ(Outputs(a.result()), Outputs(b.result()));
  }
}

// Ordinary data run through the engine's own arithmetic: the analysis gives
// the very bits of a direct engine call on the raw statistics.
TEST(ScaleInvariance, OrdinaryDataKeepTheEnginesArithmeticBitForBit) {
  for (const Data& data : DataSets()) {
    for (PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
      SCOPED_TRACE(data.what);
      const AnalysisOutcome outcome = Analyse(data, data.rows, prior, 5000);
      ASSERT_TRUE(outcome.ok());
      const Analysis& a = outcome.result();
      EXPECT_FALSE(a.centred);
      Vector condMeans, condSDs;
      long double partialR = 0, z1 = 0, z2 = 0;
      EngineResults direct;
      const auto engine =
          prior == PriorChoice::StandardTheory ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
      ASSERT_TRUE(engine(data.k, data.N, 5000, true, 95, a.sds, a.means, a.caseScores, a.R,
                         condMeans, condSDs, partialR, z1, z2, direct, {}));
      EXPECT_EQ(a.results, direct);
      EXPECT_EQ(a.condMeans, condMeans);
      EXPECT_EQ(a.condSDs, condSDs);
      EXPECT_EQ(a.partialR, partialR);
    }
  }
}

}  // namespace
}  // namespace quorvane
