// The plots' data model: the histogram and the shaded interval come from the
// same draws and limits as the report; the case among the controls shows the
// report's numbers; the text form reads back to the same data.
#include "TemplateForm/plot_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <boost/math/distributions/normal.hpp>

#include "TemplateForm/report.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;

constexpr int kDraws = 20000;

struct LimitCase {
  CredibleLimitChoice limit;
  PriorChoice prior;
  const char* name;
};

const LimitCase kLimitCases[] = {
    {CredibleLimitChoice::TwoSided, PriorChoice::Calibrated, "two-sided, calibrated"},
    {CredibleLimitChoice::OneSidedLower, PriorChoice::StandardTheory, "lower, standard theory"},
    {CredibleLimitChoice::OneSidedUpper, PriorChoice::Calibrated, "upper, calibrated"},
};

Analysis AnalyseExample(CredibleLimitChoice limit, PriorChoice prior) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.limit = limit;
  request.prior = prior;
  request.drawCount = kDraws;
  request.keepDraws = true;
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  const AnalysisOutcome outcome = RunAnalysis(request);
  if (!outcome.ok()) throw std::runtime_error(outcome.error().message);
  return outcome.result();
}

std::string ReportText(const Analysis& a) {
  LineList lines;
  WriteReport(a, lines);
  std::string text;
  for (const std::string& line : lines.Lines()) text += line + '\n';
  return text;
}

std::string LegendText(const std::vector<LegendEntry>& legend, PlotMark mark) {
  for (const LegendEntry& e : legend) {
    if (e.mark == mark) return e.text;
  }
  return "(no legend entry)";
}

// The example, each limit choice: the bins hold every draw once, as sorting
// the same draws counts them; the interval is the report's; the draws are the
// ones the report's limits were taken from.
TEST(PlotData, TheExamplesPlotsShowTheReportsDrawsAndLimits) {
  for (const LimitCase& c : kLimitCases) {
    SCOPED_TRACE(c.name);
    const Analysis a = AnalyseExample(c.limit, c.prior);
    ASSERT_EQ(a.draws.size(), static_cast<std::size_t>(kDraws));
    const PlotData plot = BuildPlotData(a);
    const PosteriorPlot& p = plot.posterior;

    // Every draw in exactly one place; counted again from the sorted draws.
    std::vector<long double> sorted = a.draws;
    std::sort(sorted.begin(), sorted.end());
    auto countBelow = [&sorted](long double x) {
      return static_cast<std::int64_t>(std::lower_bound(sorted.begin(), sorted.end(), x) -
                                       sorted.begin());
    };
    std::int64_t total = p.below + p.above + p.notFinite;
    for (std::size_t i = 0; i < p.counts.size(); ++i) {
      const long double from = p.binLow + p.binWidth * static_cast<long double>(i);
      const long double to = p.binLow + p.binWidth * static_cast<long double>(i + 1);
      EXPECT_EQ(p.counts[i], countBelow(to) - countBelow(from)) << "bin " << i;
      total += p.counts[i];
    }
    EXPECT_EQ(total, kDraws);
    EXPECT_EQ(p.drawCount, kDraws);
    EXPECT_EQ(p.below, countBelow(p.binLow));
    EXPECT_EQ(p.notFinite, 0);
    // The bins cover at least the central 99.9% of the draws.
    EXPECT_LE(p.below + p.above, kDraws / 1000);
    EXPECT_EQ(static_cast<int>(p.counts.size()), HistogramBinCount(kDraws));

    // The interval is the report's, to the last bit; the report's limits are
    // order statistics of these very draws.
    const EngineResults& r = a.results;
    EXPECT_EQ(p.pointEstimate, r.effectSize);
    int lowerPos = 0, upperPos = 0;
    CredibleLimitPositions(kCrediblePercent, kDraws, c.limit == CredibleLimitChoice::TwoSided,
                           lowerPos, upperPos);
    const std::string report = ReportText(a);
    if (c.limit != CredibleLimitChoice::OneSidedUpper) {
      ASSERT_TRUE(p.lower.has_value());
      EXPECT_EQ(*p.lower, r.effectSizeLower);
      EXPECT_EQ(sorted[static_cast<std::size_t>(lowerPos - 1)], *p.lower);
    } else {
      EXPECT_FALSE(p.lower.has_value());
    }
    if (c.limit != CredibleLimitChoice::OneSidedLower) {
      ASSERT_TRUE(p.upper.has_value());
      EXPECT_EQ(*p.upper, r.effectSizeUpper);
      EXPECT_EQ(sorted[static_cast<std::size_t>(upperPos - 1)], *p.upper);
    } else {
      EXPECT_FALSE(p.upper.has_value());
    }
    // The legend's numbers are the report's numbers, as printed there.
    for (const std::optional<long double>& limit : {p.lower, p.upper}) {
      if (!limit) continue;
      const std::string printed = FormatText("%3.3Lf", *limit);
      EXPECT_THAT(report, HasSubstr(printed));
      EXPECT_THAT(LegendText(p.legend, PlotMark::Interval), HasSubstr(printed));
    }
    EXPECT_THAT(report, HasSubstr("Effect size (Z-DCCC) = " +
                                  LegendText(p.legend, PlotMark::PointEstimate).substr(17)));
    // Everything marked lies inside the plotted range.
    for (long double x : {p.pointEstimate, p.lower.value_or(p.pointEstimate),
                          p.upper.value_or(p.pointEstimate), 0.0L}) {
      EXPECT_GE(x, p.binLow);
      EXPECT_LT(x, p.binHigh());
    }
    EXPECT_TRUE(p.zeroShown);

    // The case among the controls: the case's difference is the effect size
    // in units of the SD of the difference; the tail on the case's side is
    // labelled with the report's percentage.
    const CaseAmongControlsPlot& k = plot.caseAmongControls;
    EXPECT_EQ(k.sdDiff, a.sdDiff);
    EXPECT_NEAR(k.caseValue, r.effectSize * a.sdDiff,
                16 * std::numeric_limits<long double>::epsilon() * std::fabs(k.caseValue));
    EXPECT_EQ(k.upperTail, r.effectSize > 0);
    EXPECT_EQ(k.percentMoreExtreme, r.percentMoreExtreme);
    EXPECT_THAT(report, HasSubstr("Bayesian point estimate    = " + k.tailLabel));
    EXPECT_THAT(LegendText(k.legend, PlotMark::TailArea), HasSubstr(k.tailLabel));
    EXPECT_LE(k.xMin, std::min(k.caseValue, -4 * k.sdDiff));
    EXPECT_GE(k.xMax, std::max(k.caseValue, 4 * k.sdDiff));
  }
}

// The example's case lies below the controls (its report: Task Y1 well below
// Task Y2), so the tail shaded is the lower one; the mirrored analysis (the
// tasks swapped: every z* and the case's difference change sign) shades the
// upper one.
TEST(PlotData, TheTailIsOnTheCasesSide) {
  Analysis a = AnalyseExample(CredibleLimitChoice::TwoSided, PriorChoice::StandardTheory);
  EXPECT_LT(a.condZ1 - a.condZ2, 0);
  EXPECT_FALSE(BuildPlotData(a).caseAmongControls.upperTail);
  std::swap(a.condZ1, a.condZ2);
  for (long double& z : a.draws) z = -z;
  a.phiSums.sum = static_cast<long double>(a.drawCount) - a.phiSums.sum;
  EXPECT_TRUE(BuildPlotData(a).caseAmongControls.upperTail);
  a.phiSums = {};  // taken from the draws themselves
  EXPECT_TRUE(BuildPlotData(a).caseAmongControls.upperTail);
}

// The integral of f over [from, to] by Simpson's rule with n (even) panels.
template <class F>
long double Simpson(F f, long double from, long double to, int n) {
  const long double h = (to - from) / n;
  long double sum = f(from) + f(to);
  for (int i = 1; i < n; ++i) sum += (i % 2 == 1 ? 4 : 2) * f(from + h * i);
  return sum * h / 3;
}

Analysis AnalyseSummary(const SummaryStatistics& s, PriorChoice prior) {
  AnalysisRequest request;
  request.SetCounts(s.N, s.k);
  request.prior = prior;
  request.drawCount = kDraws;
  request.keepDraws = true;
  request.data = SummaryInput{s, "", {}};
  const AnalysisOutcome outcome = RunAnalysis(request);
  if (!outcome.ok()) throw std::runtime_error(outcome.error().message);
  return outcome.result();
}

// The example's statistics with the case at the controls' conditional means
// (its percentage near 50) or on the upper side.
SummaryStatistics ExampleStatistics(long double y1, long double y2) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  SummaryStatistics s = std::get<SummaryStatistics>(SummariseData(request));
  s.caseScores[1] = y1;
  s.caseScores[2] = y2;
  for (int i = 1; i <= s.k + 2; ++i) s.R(i, i) = 1;  // as a summary file holds it
  return s;
}

// The case among the controls: the curve is the mean of the draws' normals,
// so the area of the shaded tail, to infinity, is the report's percentage.
// The exact tail of that mixture (the mean of Phi(z*) over the draws) equals
// it to 1e-9 percentage points; the curve as drawn (the grid joined by straight lines, over
// the tail within the range, plus the mixture's mass beyond the range's edge)
// is within 0.01 percentage points of it (0.1 is what a reader could see).
TEST(PlotData, TheShadedTailOfTheCaseAmongTheControlsIsThePrintedPercentage) {
  struct Row {
    const char* name;
    Analysis a;
  };
  const Row rows[] = {
      {"example, calibrated",
       AnalyseExample(CredibleLimitChoice::TwoSided, PriorChoice::Calibrated)},
      {"example, standard theory",
       AnalyseExample(CredibleLimitChoice::OneSidedUpper, PriorChoice::StandardTheory)},
      {"case near the middle",
       AnalyseSummary(ExampleStatistics(15, 22.8L), PriorChoice::Calibrated)},
      {"case above", AnalyseSummary(ExampleStatistics(22, 20), PriorChoice::StandardTheory)},
  };
  const boost::math::normal_distribution<long double> normal(0, 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Analysis& a = row.a;
    const CaseAmongControlsPlot c = BuildPlotData(a).caseAmongControls;
    ASSERT_EQ(c.density.size(), static_cast<std::size_t>(kCaseDensityPoints));
    const long double d = c.caseValue;
    const long double sd = c.sdDiff;
    // The mixture's exact tail beyond d, and its mass beyond the range's edge.
    long double tail = 0, offScale = 0;
    const long double edge = c.upperTail ? c.xMax : c.xMin;
    for (long double z : a.draws) {
      const long double centre = d - z * sd;
      tail += c.upperTail ? cdf(complement(normal, z)) : cdf(normal, z);
      offScale += c.upperTail ? cdf(complement(normal, (edge - centre) / sd))
                              : cdf(normal, (edge - centre) / sd);
    }
    tail = 100 * tail / kDraws;
    offScale = 100 * offScale / kDraws;
    // (The engine's Phi and Boost's differ by about 1e-11 relative.)
    EXPECT_NEAR(tail, a.results.percentMoreExtreme, 1e-9L);
    const long double drawn =
        100 * std::fabs(Simpson([&c](long double x) { return c.Density(x); }, d, edge, 20000));
    EXPECT_NEAR(drawn + offScale, a.results.percentMoreExtreme, 0.01L)
        << "drawn " << drawn << " + beyond the edge " << offScale;
    // The shaded side is the report's: its percentage is at most 50.
    EXPECT_LE(a.results.percentMoreExtreme, 50);
    EXPECT_THAT(LegendText(c.legend, PlotMark::Curve), HasSubstr("as the posterior predicts"));
    EXPECT_THAT(LegendText(c.legend, PlotMark::TailArea), HasSubstr("the shaded area"));
    EXPECT_GT(c.PeakDensity(), 0);
  }
}

// The deficit plots: the scaled t at the case's covariate values, the case,
// and the poorer tail, whose area to infinity (Simpson's rule on the density,
// the infinite range mapped onto [0, 1)) is the report's percentage to 1e-12.
TEST(PlotData, TheDeficitPlotsShadeThePrintedPercentage) {
  const Analysis a = AnalyseExample(CredibleLimitChoice::TwoSided, PriorChoice::Calibrated);
  EXPECT_TRUE(BuildPlotData(a).deficits.empty());
  SummaryStatistics s = ExampleStatistics(9, 27);
  for (PoorerScores poorer : {PoorerScores::Lower, PoorerScores::Higher}) {
    const DeficitResult y1 =
        Run_Deficit_Test(1, poorer, s.k, s.N, true, 95, s.sds, s.means, s.caseScores, s.R);
    const DeficitResult y2 = Run_Deficit_Test(2, PoorerScores::Lower, s.k, s.N, true, 95, s.sds,
                                              s.means, s.caseScores, s.R);
    const PlotData plot = BuildPlotData(a, a.draws, y1, y2);
    ASSERT_EQ(plot.deficits.size(), 2u);
    for (const DeficitPlot& p : plot.deficits) {
      const DeficitResult& r = p.task == 1 ? y1 : y2;
      SCOPED_TRACE(FormatText("task %d, %s", p.task, p.upperTail ? "upper" : "lower"));
      EXPECT_EQ(p.upperTail, r.poorer == PoorerScores::Higher);
      EXPECT_EQ(p.percent, r.percentBeyond);
      EXPECT_EQ(p.caseValue, s.caseScores[p.task]);
      EXPECT_EQ(p.tailLabel, FormatText("%2.3Lf%%", r.percentBeyond));
      // x = case -+ scale u / (1 - u), u in [0, 1).
      const long double sign = p.upperTail ? 1 : -1;
      auto mapped = [&](long double u) {
        if (u >= 1) return 0.0L;
        const long double x = p.caseValue + sign * p.scale * u / (1 - u);
        return p.Density(x) * p.scale / ((1 - u) * (1 - u));
      };
      const long double area = Simpson(mapped, 0, 1, 20000);
      EXPECT_NEAR(100 * area, r.percentBeyond, 1e-12L * 100);
      EXPECT_NEAR(p.TailArea(), r.percentBeyond / 100, 1e-18L);
      EXPECT_LE(p.xMin, p.caseValue);
      EXPECT_GE(p.xMax, p.caseValue);
      EXPECT_LT(p.TailAreaOffScale(), 0.0051L);
      EXPECT_THAT(LegendText(p.legend, PlotMark::TailArea),
                  HasSubstr(p.upperTail ? "score higher" : "score lower"));
    }
  }
  DeficitResult missing;
  EXPECT_THROW(BuildDeficitPlot(missing), std::invalid_argument);
}

// Hand-made draws where the range rule shows: far outliers stay out of the
// bins (counted below / above), zero far from the posterior is not squeezed
// in, and identical draws still get a bin.
TEST(PlotData, TheRangeCoversTheCentralDrawsNotTheOutliers) {
  Analysis a;
  a.limit = CredibleLimitChoice::TwoSided;
  a.sdDiff = 1;
  struct Case {
    const char* name;
    std::vector<long double> draws;
    long double pointEstimate, lower, upper;
    std::int64_t below, above;
    bool zeroShown;
    long double maxHigh;  // the range ends below this
  };
  std::vector<long double> withOutliers;
  for (int i = 0; i < 10000; ++i) withOutliers.push_back(1 + i / 10000.0L);
  withOutliers.push_back(-1e6L);
  withOutliers.push_back(1e6L);
  std::vector<long double> farFromZero;
  for (int i = 0; i < 1000; ++i) farFromZero.push_back(100 + i / 1000.0L);
  const std::vector<long double> identical(500, -2.5L);
  const Case cases[] = {
      {"outliers", withOutliers, 1.5L, 1.025L, 1.975L, 1, 1, true, 3},
      {"far from zero", farFromZero, 100.5L, 100.025L, 100.975L, 0, 0, false, 102},
      {"identical", identical, -2.5L, -2.5L, -2.5L, 0, 0, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    a.results.effectSize = c.pointEstimate;
    a.results.effectSizeLower = c.lower;
    a.results.effectSizeUpper = c.upper;
    const PosteriorPlot p = BuildPlotData(a, c.draws).posterior;
    EXPECT_EQ(p.below, c.below);
    EXPECT_EQ(p.above, c.above);
    EXPECT_EQ(p.zeroShown, c.zeroShown);
    EXPECT_LT(p.binHigh(), c.maxHigh);
    EXPECT_EQ(LegendText(p.legend, PlotMark::Zero).find("off the scale") != std::string::npos,
              !c.zeroShown);
    std::int64_t inBins = 0;
    for (std::int64_t n : p.counts) inBins += n;
    EXPECT_EQ(inBins + p.below + p.above, static_cast<std::int64_t>(c.draws.size()));
  }
  EXPECT_THROW(BuildPlotData(a, std::span<const long double>{}), std::invalid_argument);
}

TEST(PlotData, BinCountGrowsWithTheDrawsWithinBounds) {
  const std::pair<std::int64_t, int> cases[] = {{1, 10},     {100, 10},     {1000, 20},
                                                {20000, 54}, {125000, 100}, {1000000, 100}};
  for (const auto& [draws, bins] : cases) EXPECT_EQ(HistogramBinCount(draws), bins) << draws;
}

// The text form carries every bit: what is read back equals what was written.
TEST(PlotData, TextFormReadsBackExactly) {
  const Analysis analysis =
      AnalyseExample(CredibleLimitChoice::OneSidedLower, PriorChoice::Calibrated);
  const PlotData plot = BuildPlotData(analysis);
  const std::string text = WritePlotData(plot);
  std::string why;
  const std::optional<PlotData> back = ParsePlotData(text, why);
  ASSERT_TRUE(back.has_value()) << why;
  EXPECT_TRUE(*back == plot);

  // With the deficit plots (Task Y2 higher-is-poorer) too.
  const SummaryStatistics s = ExampleStatistics(9, 27);
  const PlotData withDeficits =
      BuildPlotData(analysis, analysis.draws,
                    Run_Deficit_Test(1, PoorerScores::Lower, s.k, s.N, false, 95, s.sds, s.means,
                                     s.caseScores, s.R),
                    Run_Deficit_Test(2, PoorerScores::Higher, s.k, s.N, false, 95, s.sds, s.means,
                                     s.caseScores, s.R));
  const std::string deficitText = WritePlotData(withDeficits);
  const std::optional<PlotData> deficitsBack = ParsePlotData(deficitText, why);
  ASSERT_TRUE(deficitsBack.has_value()) << why;
  EXPECT_TRUE(*deficitsBack == withDeficits);
  std::string badDeficit = deficitText;
  badDeficit.replace(badDeficit.find("deficit 2 scale ") + 16, 1, "-");
  EXPECT_FALSE(ParsePlotData(badDeficit, why).has_value());
  EXPECT_THAT(why, HasSubstr("do not hold together"));
  std::string badTask = deficitText;
  badTask.replace(badTask.find("deficit 2 "), 10, "deficit 3 ");
  EXPECT_FALSE(ParsePlotData(badTask, why).has_value());
  EXPECT_THAT(why, HasSubstr("cannot be read"));

  // Damaged text is refused with a reason.
  struct Bad {
    std::string text;
    const char* reason;
  };
  std::string wrongTotal = text;
  wrongTotal.insert(wrongTotal.find("\nbelow ") + 7, "1");  // ten more draws
  const Bad bad[] = {
      {"", "not plot data"},
      {text.substr(0, text.find("\nsdDiff ") + 1), "end early"},
      {"quorvane-plot-data 1\nbinLow x\nend\n", "line 2 cannot be read"},
      {"quorvane-plot-data 1\ncolour red\nend\n", "line 2 cannot be read"},
      {wrongTotal, "do not hold together"},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(ParsePlotData(b.text, why).has_value()) << b.reason;
    EXPECT_THAT(why, HasSubstr(b.reason));
  }
}

}  // namespace
}  // namespace quorvane
