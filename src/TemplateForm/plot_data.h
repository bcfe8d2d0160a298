// What the two plots of an analysis show, computed once from the analysis and
// its posterior draws, without any toolkit: the Qt renderer, the command line
// and the tests all take it from here.
//
// The posterior plot: a histogram of the draws' effect sizes (Z-DCCC), binned
// in one pass, with the point estimate, the credible interval or one-sided
// limit exactly as the report gives it, and zero.
//
// The case among the controls: the controls' difference between the
// conditional z scores (Task Y1 - Task Y2) as the posterior predicts it, the
// case's difference d (effect size x SD of the difference = condZ1 - condZ2),
// and the tail beyond the case on its side, labelled with the report's
// percentage of controls more extreme. In draw i the case lies z*_i of the
// difference's SDs from the controls' mean, so the controls' differences are
// drawn as normal with the sample's SD of the difference, centred at
// d - z*_i x SD; the curve is the mean of these normals over all the draws.
// Its tail beyond d is the mean of Phi(z*_i) (or of 1 - Phi(z*_i)), which is
// the report's percentage: the shaded area is the printed number.
//
// The deficit plots (when the deficit tests were asked for): for each task the
// controls' predictive distribution at the case's covariate values, Student t
// with nu df, centre yhat0 and scale s sqrt(1 + h0), the case's score, and the
// tail beyond it in the task's poorer direction, whose area is the report's
// percentage.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Bayes_Engines/deficit_test.h"
#include "TemplateForm/variable_names.h"

namespace quorvane {

struct Analysis;

// One entry of a plot's legend; `kind` tells the renderer which mark it is.
enum class PlotMark { Bars, Interval, PointEstimate, Zero, Curve, TailArea, CaseValue };
struct LegendEntry {
  PlotMark mark = PlotMark::Bars;
  std::string text;
  friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

struct PosteriorPlot {
  // Bin i (0-based) holds the draws in [binLow + i * binWidth, binLow + (i + 1) * binWidth).
  long double binLow = 0, binWidth = 1;
  std::vector<std::int64_t> counts;
  std::int64_t below = 0;      // draws left of the first bin
  std::int64_t above = 0;      // draws at or right of the last bin's end
  std::int64_t notFinite = 0;  // NaN draws (a finished run has none)
  std::int64_t drawCount = 0;  // all the draws: the bins, below, above and notFinite add up to it
  long double pointEstimate = 0;
  // The shaded interval: [lower, upper]; a one-sided limit leaves the other
  // side open (shaded to the plot's edge). Both are the report's numbers.
  std::optional<long double> lower, upper;
  bool zeroShown = true;  // zero lies inside the plotted range
  std::string title, xTitle, yTitle;
  std::vector<LegendEntry> legend;

  long double binHigh() const {
    return binLow + binWidth * static_cast<long double>(counts.size());
  }
  // Height of bin i as a probability density (count / (drawCount x width)).
  long double Density(std::size_t i) const;
  friend bool operator==(const PosteriorPlot&, const PosteriorPlot&) = default;
};

struct CaseAmongControlsPlot {
  long double sdDiff = 1;              // the sample's SD of the difference
  long double caseValue = 0;           // the case's difference, condZ1 - condZ2
  bool upperTail = true;               // the tail shaded: above the case (else below)
  long double percentMoreExtreme = 0;  // the report's point estimate, in percent
  long double xMin = -4, xMax = 4;     // the plotted range, symmetric about 0
  // The posterior predictive density at density.size() points spread evenly
  // over [xMin, xMax] (both ends included). Empty: the sample-estimate normal,
  // mean 0 and SD sdDiff, is drawn instead.
  std::vector<long double> density;
  std::string title, xTitle, yTitle, tailLabel;
  std::vector<LegendEntry> legend;

  // The density at x: the grid's, joined by straight lines (0 outside the
  // range), or the normal's when there is no grid.
  long double Density(long double x) const;
  // The largest density drawn.
  long double PeakDensity() const;
  friend bool operator==(const CaseAmongControlsPlot&, const CaseAmongControlsPlot&) = default;
};

// One task's deficit test: the controls' predictive distribution of the
// task's score at the case's covariate values, the case, the poorer tail.
struct DeficitPlot {
  int task = 1;  // 1 (Task Y1) or 2 (Task Y2)
  int df = 1;
  long double centre = 0;  // the predicted score yhat0
  long double scale = 1;   // s sqrt(1 + h0)
  long double caseValue = 0;
  bool upperTail = false;   // the poorer tail: above the case (higher scores poorer), else below
  long double percent = 0;  // the report's percentage of controls further in that direction
  long double xMin = -4, xMax = 4;  // the plotted range
  std::string title, xTitle, yTitle, tailLabel;
  std::vector<LegendEntry> legend;

  // The scaled t density at x.
  long double Density(long double x) const;
  // The area of the poorer tail beyond the case, to infinity (percent / 100).
  long double TailArea() const;
  // The part of that area beyond the plotted range's edge.
  long double TailAreaOffScale() const;
  friend bool operator==(const DeficitPlot&, const DeficitPlot&) = default;
};

struct PlotData {
  PosteriorPlot posterior;
  CaseAmongControlsPlot caseAmongControls;
  // Task Y1's and Task Y2's deficit plots when the deficit tests were asked
  // for; empty otherwise.
  std::vector<DeficitPlot> deficits;
  friend bool operator==(const PlotData&, const PlotData&) = default;
};

// The number of histogram bins for D draws: twice the cube root of D, between
// 10 and 100.
int HistogramBinCount(std::int64_t drawCount);

// The plots of an analysis from its draws (Analysis::draws, or another span of
// the same draws). Throws std::invalid_argument when draws is empty.
PlotData BuildPlotData(const Analysis& a, std::span<const long double> draws);
PlotData BuildPlotData(const Analysis& a);  // from a.draws
// The same with the deficit plots of the two tasks' tests (each must have its
// test, HasTest(); std::invalid_argument otherwise).
PlotData BuildPlotData(const Analysis& a, std::span<const long double> draws,
                       const DeficitResult& y1, const DeficitResult& y2);

// The deficit plot of one task's test (HasTest(); std::invalid_argument
// otherwise), the task called by its name in names.
DeficitPlot BuildDeficitPlot(const DeficitResult& r, const VariableNames& names = {});

// Points of the case among the controls' density grid.
inline constexpr int kCaseDensityPoints = 401;

// The plot data as text lines (numbers with every digit of a long double), and
// back. ParsePlotData returns std::nullopt and says why for text it cannot read.
std::string WritePlotData(const PlotData& plot);
std::optional<PlotData> ParsePlotData(const std::string& text, std::string& why);

}  // namespace quorvane
