// The JSON fields' full-precision values read back as the exact 80-bit
// results; the one-tailed p's standard error against a two-pass computation
// from the draws; CSV quoting.
#include "TemplateForm/result_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "TemplateForm/analysis.h"

namespace quorvane {
namespace {

long double ReadBack(const Json& pair) {
  return std::strtold(pair.at("value").get<std::string>().c_str(), nullptr);
}

Analysis ExampleAnalysis(PriorChoice prior) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.prior = prior;
  request.drawCount = 3000;
  request.keepDraws = true;
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  AnalysisOutcome outcome = RunAnalysis(request);
  EXPECT_TRUE(outcome.ok());
  return outcome.result();
}

TEST(ResultFormats, FullPrecisionValuesReadBackExactly) {
  for (const PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
    const Analysis a = ExampleAnalysis(prior);
    const Json j = AnalysisJson(a, "test");
    const Json& s = j.at("statistics");
    const Json& r = j.at("results");
    for (int i = 1; i <= a.K; ++i) {
      EXPECT_EQ(ReadBack(s.at("means")[i - 1]), a.means[i]);
      EXPECT_EQ(ReadBack(s.at("sds")[i - 1]), a.sds[i]);
      EXPECT_EQ(ReadBack(s.at("caseZ")[i - 1]), a.caseRawZ[i]);
      for (int c = 1; c <= a.K; ++c) {
        EXPECT_EQ(ReadBack(s.at("correlations")[i - 1][c - 1]), a.R(i, c));
      }
    }
    EXPECT_EQ(ReadBack(s.at("partialCorrelation")), a.partialR);
    EXPECT_EQ(ReadBack(s.at("caseConditionalZ")[0]), a.condZ1);
    EXPECT_EQ(ReadBack(s.at("sdDiff")), a.sdDiff);
    EXPECT_EQ(ReadBack(r.at("oneTailedP")), a.results.oneTailedP);
    EXPECT_EQ(ReadBack(r.at("effectSizeLower")), a.results.effectSizeLower);
    EXPECT_EQ(ReadBack(r.at("percentUpper")), a.results.percentUpper);
  }
}

// Phi(z) = erfc(-z / sqrt 2) / 2, the draws' mean and variance in two passes.
// Tolerance: 1e-9 relative (the engine's Phi and erfcl differ in the last bits).
TEST(ResultFormats, OneTailedStandardErrorIsThatOfTheMeanOfPhi) {
  for (const PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
    const Analysis a = ExampleAnalysis(prior);
    ASSERT_EQ(a.draws.size(), 3000u);
    const long double D = 3000;
    long double mean = 0;
    for (long double z : a.draws) mean += std::erfc(-z / std::sqrt(2.0L)) / 2;
    mean /= D;
    long double ss = 0;
    for (long double z : a.draws) {
      const long double d = std::erfc(-z / std::sqrt(2.0L)) / 2 - mean;
      ss += d * d;
    }
    const long double want = std::sqrt(ss / (D - 1) / D);
    const long double got = OneTailedStandardError(a);
    EXPECT_NEAR(static_cast<double>(got), static_cast<double>(want),
                1e-9 * static_cast<double>(want));
    EXPECT_GT(got, 0);
    // The mean of Phi is the one-tailed p or its complement.
    EXPECT_NEAR(static_cast<double>(std::min(mean, 1 - mean)),
                static_cast<double>(a.results.oneTailedP), 1e-12);
  }
}

TEST(ResultFormats, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    const char* text;
    const char* field;
  } cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"x\"", "\"say \"\"x\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"semi;colon", "semi;colon"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST(ResultFormats, FlattenedNamesFollowThePathWithArraysFromOne) {
  const Json j = Json::parse(R"({"a": {"b": [1, {"c": "x"}]}, "d": true})");
  const auto flat = FlattenJson(j);
  ASSERT_EQ(flat.size(), 3u);
  EXPECT_EQ(flat[0], (std::pair<std::string, std::string>{"a.b.1", "1"}));
  EXPECT_EQ(flat[1], (std::pair<std::string, std::string>{"a.b.2.c", "x"}));
  EXPECT_EQ(flat[2], (std::pair<std::string, std::string>{"d", "true"}));
}

}  // namespace
}  // namespace quorvane
