// What the two plots of an analysis show, computed once from the analysis and
// its posterior draws, without any toolkit: the Qt renderer, the command line
// and the tests all take it from here.
//
// The posterior plot: a histogram of the draws' effect sizes (Z-DCCC), binned
// in one pass, with the point estimate, the credible interval or one-sided
// limit exactly as the report gives it, and zero.
//
// The case among the controls: the controls' distribution of the difference
// between the conditional z scores (Task Y1 - Task Y2) as the method assumes
// it, normal with mean 0 and the report's "SD of the difference", the case's
// difference (effect size x SD of the difference = condZ1 - condZ2), and the
// tail beyond the case on its side, labelled with the report's percentage of
// controls more extreme.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
  long double sdDiff = 1;              // SD of the controls' normal (mean 0)
  long double caseValue = 0;           // the case's difference, condZ1 - condZ2
  bool upperTail = true;               // the tail shaded: above the case (else below)
  long double percentMoreExtreme = 0;  // the report's point estimate, in percent
  long double xMin = -4, xMax = 4;     // the plotted range, symmetric about 0
  std::string title, xTitle, yTitle, tailLabel;
  std::vector<LegendEntry> legend;

  // The normal density at x.
  long double Density(long double x) const;
  friend bool operator==(const CaseAmongControlsPlot&, const CaseAmongControlsPlot&) = default;
};

struct PlotData {
  PosteriorPlot posterior;
  CaseAmongControlsPlot caseAmongControls;
  friend bool operator==(const PlotData&, const PlotData&) = default;
};

// The number of histogram bins for D draws: twice the cube root of D, between
// 10 and 100.
int HistogramBinCount(std::int64_t drawCount);

// The plots of an analysis from its draws (Analysis::draws, or another span of
// the same draws). Throws std::invalid_argument when draws is empty.
PlotData BuildPlotData(const Analysis& a, std::span<const long double> draws);
PlotData BuildPlotData(const Analysis& a);  // from a.draws

// The plot data as text lines (numbers with every digit of a long double), and
// back. ParsePlotData returns std::nullopt and says why for text it cannot read.
std::string WritePlotData(const PlotData& plot);
std::optional<PlotData> ParsePlotData(const std::string& text, std::string& why);

}  // namespace quorvane
