#include "TemplateForm/plot_data.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "TemplateForm/analysis.h"
#include "distrib/distributions.h"
#include "file_io/number_text.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

// The share of the draws the histogram's range covers at least: the central
// 99.9%, so a few far draws do not squeeze the rest into a handful of bins.
constexpr long double kCentralShare = 0.999L;
// Bins of the first, fine pass that finds the central range.
constexpr int kFineBins = 10000;
constexpr int kFineRounds = 4;
// Zero joins the plotted range when it lies within this many widths of the
// central range; further away it would squeeze the posterior flat.
constexpr long double kZeroReach = 3;
// The case among the controls spans at least 4 SDs on each side of zero (of
// the predictive density's SD about its centre, when that is wider).
constexpr long double kControlSpanSDs = 4;
// The draws' normals are gathered into this many bins across the range (and
// kComponentReach SDs beyond it on each side) before the density is summed:
// a bin is a hundredth of an SD or less, which moves the curve by under 1e-5
// of its height. Normals centred further out add below 1e-14 of the peak in
// the range, and are left out of the curve (not of the tail's area).
constexpr int kComponentBins = 4096;
constexpr long double kComponentReach = 8;
// A deficit plot spans the central 99% of the predictive distribution (at
// least 4 scales each side of its centre) and the case.
constexpr long double kDeficitCentralTail = 0.005L;
constexpr long double kDeficitMinimumSpan = 4;

std::string Fixed3(long double value) {
  return FormatText("%.3Lf", value);
}

// The central kCentralShare of the finite draws, from a fine histogram over
// their whole range, its edges rounded outwards to the fine bins so that at
// least that share lies inside. When the central draws fill only a few fine
// bins (far outliers), the fine histogram is taken again over those bins.
void CentralRange(std::span<const long double> draws, long double& low, long double& high) {
  long double lo = std::numeric_limits<long double>::infinity();
  long double hi = -lo;
  std::int64_t finite = 0;
  for (long double z : draws) {
    if (!std::isfinite(z)) continue;
    lo = std::min(lo, z);
    hi = std::max(hi, z);
    ++finite;
  }
  if (finite == 0) {
    low = -1;
    high = 1;
    return;
  }
  const auto tail = static_cast<std::int64_t>(
      std::floor(static_cast<long double>(finite) * (1 - kCentralShare) / 2));
  std::vector<std::int64_t> fine(kFineBins);
  for (int round = 0; round < kFineRounds && hi > lo; ++round) {
    std::fill(fine.begin(), fine.end(), 0);
    std::int64_t left = 0, right = 0;  // finite draws outside [lo, hi]
    const long double width = (hi - lo) / kFineBins;
    for (long double z : draws) {
      if (!std::isfinite(z)) continue;
      if (z < lo) {
        ++left;
      } else if (z > hi) {
        ++right;
      } else {
        const auto i = static_cast<std::int64_t>((z - lo) / width);
        ++fine[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, kFineBins - 1))];
      }
    }
    int first = 0;
    while (first < kFineBins - 1 && left + fine[first] <= tail) left += fine[first++];
    int last = kFineBins - 1;
    while (last > first && right + fine[last] <= tail) right += fine[last--];
    const long double newHi = (last == kFineBins - 1) ? hi : lo + width * (last + 1);
    lo += width * first;
    hi = newHi;
    if (last - first + 1 >= kFineBins / 10) break;
  }
  low = lo;
  high = hi;
}

PosteriorPlot BuildPosterior(const Analysis& a, std::span<const long double> draws) {
  PosteriorPlot p;
  const EngineResults& r = a.results;
  p.drawCount = static_cast<std::int64_t>(draws.size());
  p.pointEstimate = r.effectSize;
  switch (a.limit) {
    case CredibleLimitChoice::TwoSided:
      p.lower = r.effectSizeLower;
      p.upper = r.effectSizeUpper;
      break;
    case CredibleLimitChoice::OneSidedLower:
      p.lower = r.effectSizeLower;
      break;
    case CredibleLimitChoice::OneSidedUpper:
      p.upper = r.effectSizeUpper;
      break;
  }

  // The range: the central draws, the point estimate and the limits, and zero
  // when it is near.
  long double low = 0, high = 0;
  CentralRange(draws, low, high);
  if (!(high > low)) {  // all the draws alike: a unit range about them
    low -= 0.5L;
    high += 0.5L;
  }
  for (long double v : {p.pointEstimate, p.lower.value_or(low), p.upper.value_or(high)}) {
    if (std::isfinite(v)) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  const long double span = std::max(high - low, 1e-6L);
  p.zeroShown = low - kZeroReach * span <= 0 && 0 <= high + kZeroReach * span;
  if (p.zeroShown) {
    low = std::min(low, 0.0L);
    high = std::max(high, 0.0L);
  }
  // A margin of 2% of the range on each side keeps the marks off the frame.
  const long double margin = std::max(high - low, 1e-6L) * 0.02L;
  low -= margin;
  high += margin;

  const int bins = HistogramBinCount(p.drawCount);
  p.counts.assign(static_cast<std::size_t>(bins), 0);
  p.binLow = low;
  p.binWidth = (high - low) / bins;
  const long double end = p.binHigh();
  for (long double z : draws) {
    if (std::isnan(z)) {
      ++p.notFinite;
    } else if (z < low) {
      ++p.below;
    } else if (z >= end) {
      ++p.above;
    } else {
      const auto i = static_cast<std::int64_t>((z - low) / p.binWidth);
      ++p.counts[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, bins - 1))];
    }
  }

  p.title = "How certain the effect size is: its posterior distribution";
  p.xTitle = "Effect size (Z-DCCC): the case's standardized difference between the tasks";
  p.yTitle = "Posterior density";
  p.legend.push_back({PlotMark::Bars, "Posterior draws (" + GroupDigits(p.drawCount) + ")"});
  p.legend.push_back(
      {PlotMark::PointEstimate, "Point estimate = " + FormatText("%2.3Lf", p.pointEstimate)});
  switch (a.limit) {
    case CredibleLimitChoice::TwoSided:
      p.legend.push_back({PlotMark::Interval, FormatText("95%% credible interval: %3.3Lf to %3.3Lf",
                                                         *p.lower, *p.upper)});
      break;
    case CredibleLimitChoice::OneSidedLower:
      p.legend.push_back(
          {PlotMark::Interval, FormatText("Above the 95%% lower credible limit %3.3Lf", *p.lower)});
      break;
    case CredibleLimitChoice::OneSidedUpper:
      p.legend.push_back(
          {PlotMark::Interval, FormatText("Below the 95%% upper credible limit %3.3Lf", *p.upper)});
      break;
  }
  p.legend.push_back({PlotMark::Zero, p.zeroShown ? "Zero: no difference from the controls"
                                                  : "Zero (no difference) lies off the scale"});
  return p;
}

long double NormalDensity(long double u) {
  return std::exp(-0.5L * u * u) / std::sqrt(2 * std::numbers::pi_v<long double>);
}

CaseAmongControlsPlot BuildCaseAmongControls(const Analysis& a,
                                             std::span<const long double> draws) {
  CaseAmongControlsPlot c;
  c.sdDiff = a.sdDiff;
  c.caseValue = a.condZ1 - a.condZ2;
  c.percentMoreExtreme = a.results.percentMoreExtreme;
  const long double sd = c.sdDiff;
  const long double d = c.caseValue;

  // The draws' z*: how many are finite, their mean and variance.
  std::int64_t finite = 0;
  long double sum = 0, squares = 0;
  for (long double z : draws) {
    if (!std::isfinite(z)) continue;
    ++finite;
    sum += z;
  }
  const long double meanZ = finite > 0 ? sum / static_cast<long double>(finite) : 0;
  for (long double z : draws) {
    if (std::isfinite(z)) squares += (z - meanZ) * (z - meanZ);
  }
  const long double varZ = finite > 1 ? squares / static_cast<long double>(finite - 1) : 0;
  const bool mixture =
      finite > 0 && sd > 0 && std::isfinite(sd) && std::isfinite(d) && std::isfinite(varZ);

  // The range: symmetric about 0, at least 4 SDs of the difference, the
  // predictive density's centre and 4 of its SDs, and the case.
  long double half = kControlSpanSDs * sd;
  if (mixture) {
    half = std::max(half, std::fabs(d - meanZ * sd) + kControlSpanSDs * sd * std::sqrt(1 + varZ));
  }
  if (std::isfinite(d)) half = std::max(half, std::fabs(d) * 1.15L);
  if (!(half > 0) || !std::isfinite(half)) half = 1;
  c.xMin = -half;
  c.xMax = half;

  c.upperTail = d >= 0;
  if (mixture) {
    // Each draw's normal is centred at d - z* sd; the centres are binned
    // across the range and kComponentReach SDs beyond it.
    const long double low = c.xMin - kComponentReach * sd;
    const long double width = (c.xMax + kComponentReach * sd - low) / kComponentBins;
    std::vector<std::int64_t> counts(kComponentBins, 0);
    for (long double z : draws) {
      if (!std::isfinite(z)) continue;
      const long double at = (d - z * sd - low) / width;
      if (at >= 0 && at < kComponentBins) ++counts[static_cast<std::size_t>(at)];
    }
    c.density.assign(kCaseDensityPoints, 0);
    const long double step = (c.xMax - c.xMin) / (kCaseDensityPoints - 1);
    for (int b = 0; b < kComponentBins; ++b) {
      if (counts[static_cast<std::size_t>(b)] == 0) continue;
      const long double centre = low + width * (b + 0.5L);
      const long double weight = static_cast<long double>(counts[static_cast<std::size_t>(b)]) /
                                 (static_cast<long double>(finite) * sd);
      for (int j = 0; j < kCaseDensityPoints; ++j) {
        const long double u = (c.xMin + step * j - centre) / sd;
        if (std::fabs(u) < 12) c.density[static_cast<std::size_t>(j)] += weight * NormalDensity(u);
      }
    }
    // The side shaded is the engine's: the case's side of the controls, the
    // one with the smaller share (mean Phi(z*) above one half: above).
    // The run's own sum of Phi(z*) when these are its draws; else from them.
    long double share = 0;
    if (a.phiSums.sum > 0 && static_cast<std::size_t>(a.drawCount) == draws.size()) {
      share = a.phiSums.sum / static_cast<long double>(a.drawCount);
    } else {
      const tNormal_distribution normal(0, 1);
      for (long double z : draws) {
        if (std::isfinite(z)) share += normal.Distribution_function(z);
      }
      share /= static_cast<long double>(finite);
    }
    c.upperTail = share * 100 > 50;
  }

  c.title = "How extreme the case is: the case among the controls";
  c.xTitle = "Difference between the conditional z scores (" + TaskName(a.names, 1) + " minus " +
             TaskName(a.names, 2) + ")";
  c.yTitle = "Density in the control population";
  const std::string percent = FormatText("%2.3Lf%%", c.percentMoreExtreme);
  c.tailLabel = percent;
  if (mixture) {
    c.legend.push_back(
        {PlotMark::Curve, "Controls, as the posterior predicts them (the mean over " +
                              GroupDigits(finite) + " draws)"});
  } else {
    c.legend.push_back(
        {PlotMark::Curve, "Controls: normal, mean 0, SD of the difference " + Fixed3(c.sdDiff)});
  }
  c.legend.push_back({PlotMark::CaseValue, "The case: " + Fixed3(c.caseValue)});
  c.legend.push_back({PlotMark::TailArea, percent + " of controls more extreme " +
                                              (c.upperTail ? "(above" : "(below") +
                                              " the case; Bayesian point estimate" +
                                              (mixture ? ", the shaded area)" : ")")});
  return c;
}

}  // namespace

DeficitPlot BuildDeficitPlot(const DeficitResult& r, const VariableNames& names) {
  if (!r.HasTest() || (r.task != 1 && r.task != 2)) {
    throw std::invalid_argument("BuildDeficitPlot: the task has no deficit test");
  }
  DeficitPlot p;
  p.task = r.task;
  p.df = r.df;
  p.centre = r.predicted;
  p.scale = r.PredictiveScale();
  p.caseValue = r.caseScore;
  p.upperTail = r.poorer == PoorerScores::Higher;
  p.percent = r.percentBeyond;
  long double reach = ScaledTQuantile(p.df, 0, 1, 1 - kDeficitCentralTail);
  if (!std::isfinite(reach)) reach = kDeficitMinimumSpan;
  const long double half = std::max(reach, kDeficitMinimumSpan) * p.scale;
  p.xMin = std::min(p.centre - half, p.caseValue - 0.1L * half);
  p.xMax = std::max(p.centre + half, p.caseValue + 0.1L * half);
  if (!(p.xMax > p.xMin) || !std::isfinite(p.xMax - p.xMin)) {
    p.xMin = p.centre - 1;
    p.xMax = p.centre + 1;
  }

  const std::string task = TaskName(names, p.task);
  p.title = task + " on its own: the case against controls with its covariate values";
  p.xTitle = task + " score";
  p.yTitle = "Density in the control population";
  const std::string percent = FormatText("%2.3Lf%%", p.percent);
  p.tailLabel = percent;
  p.legend.push_back(
      {PlotMark::Curve,
       FormatText("Controls with the case's covariate values: t, %d df, centre ", p.df) +
           Fixed3(p.centre) + ", scale " + Fixed3(p.scale)});
  p.legend.push_back({PlotMark::CaseValue, "The case: " + Fixed3(p.caseValue)});
  std::string tail = percent + " of controls score " + (p.upperTail ? "higher" : "lower") +
                     " than the case: the shaded area";
  const long double offScale = 100 * p.TailAreaOffScale();
  if (offScale >= 0.0005L) tail += FormatText(", %.3Lf%% of it off the scale", offScale);
  p.legend.push_back({PlotMark::TailArea, tail});
  return p;
}

namespace {

bool ReadNumber(const std::string& text, long double& v) {
  if (text == "nan") {
    v = std::numeric_limits<long double>::quiet_NaN();
    return true;
  }
  // Read as the C locale reads it, whatever locale the plot program runs in.
  const std::optional<long double> value = ParsePlainDecimal(text);
  if (value) v = *value;
  return value.has_value();
}

bool ReadCount(const std::string& text, std::int64_t& n) {
  long double v = 0;
  if (!ReadNumber(text, v) || !(v >= 0) || v > 9e18L || v != std::floor(v)) return false;
  n = static_cast<std::int64_t>(v);
  return true;
}

const char* MarkName(PlotMark m) {
  switch (m) {
    case PlotMark::Bars:
      return "bars";
    case PlotMark::Interval:
      return "interval";
    case PlotMark::PointEstimate:
      return "point";
    case PlotMark::Zero:
      return "zero";
    case PlotMark::Curve:
      return "curve";
    case PlotMark::TailArea:
      return "tail";
    case PlotMark::CaseValue:
      return "case";
  }
  return "bars";
}

std::optional<PlotMark> MarkFromName(const std::string& name) {
  for (PlotMark m : {PlotMark::Bars, PlotMark::Interval, PlotMark::PointEstimate, PlotMark::Zero,
                     PlotMark::Curve, PlotMark::TailArea, PlotMark::CaseValue}) {
    if (name == MarkName(m)) return m;
  }
  return std::nullopt;
}

constexpr const char* kHeader = "quorvane-plot-data 1";

// The deficit plot of the task, added (in task order) when not there yet.
DeficitPlot& DeficitFor(PlotData& plot, int task) {
  for (DeficitPlot& d : plot.deficits) {
    if (d.task == task) return d;
  }
  DeficitPlot d;
  d.task = task;
  auto at = plot.deficits.begin();
  while (at != plot.deficits.end() && at->task < task) ++at;
  return *plot.deficits.insert(at, d);
}

}  // namespace

long double PosteriorPlot::Density(std::size_t i) const {
  if (drawCount <= 0 || !(binWidth > 0)) return 0;
  return static_cast<long double>(counts.at(i)) / (static_cast<long double>(drawCount) * binWidth);
}

long double CaseAmongControlsPlot::Density(long double x) const {
  if (density.size() < 2) return NormalDensity(x / sdDiff) / sdDiff;
  if (!(x >= xMin && x <= xMax)) return 0;
  const long double at = (x - xMin) / (xMax - xMin) * static_cast<long double>(density.size() - 1);
  const std::size_t i = std::min(static_cast<std::size_t>(at), density.size() - 2);
  const long double share = at - static_cast<long double>(i);
  return density[i] + (density[i + 1] - density[i]) * share;
}

long double CaseAmongControlsPlot::PeakDensity() const {
  if (density.size() < 2) return Density(0);
  return *std::max_element(density.begin(), density.end());
}

long double DeficitPlot::Density(long double x) const {
  return ScaledTDensity(df, centre, scale, x);
}

long double DeficitPlot::TailArea() const {
  // P(X > x) as P(-X < -x), -X centred at -centre: no cancellation.
  return upperTail ? ScaledTCdf(df, -centre, scale, -caseValue)
                   : ScaledTCdf(df, centre, scale, caseValue);
}

long double DeficitPlot::TailAreaOffScale() const {
  if (upperTail) return ScaledTCdf(df, -centre, scale, -std::max(xMax, caseValue));
  return ScaledTCdf(df, centre, scale, std::min(xMin, caseValue));
}

int HistogramBinCount(std::int64_t drawCount) {
  const long double twiceCubeRoot = 2 * std::cbrt(static_cast<long double>(drawCount));
  return static_cast<int>(std::clamp<long double>(std::floor(twiceCubeRoot), 10, 100));
}

PlotData BuildPlotData(const Analysis& a) {
  return BuildPlotData(a, a.draws);
}

PlotData BuildPlotData(const Analysis& a, std::span<const long double> draws) {
  if (draws.empty()) throw std::invalid_argument("BuildPlotData: the analysis kept no draws");
  return PlotData{BuildPosterior(a, draws), BuildCaseAmongControls(a, draws), {}};
}

PlotData BuildPlotData(const Analysis& a, std::span<const long double> draws,
                       const DeficitResult& y1, const DeficitResult& y2) {
  if (y1.task != 1 || y2.task != 2) {
    throw std::invalid_argument("BuildPlotData: the deficit tests are not Task Y1's and Y2's");
  }
  PlotData plot = BuildPlotData(a, draws);
  plot.deficits = {BuildDeficitPlot(y1, a.names), BuildDeficitPlot(y2, a.names)};
  return plot;
}

// One "key value" line each; a legend entry "legend PLOT MARK text".
std::string WritePlotData(const PlotData& plot) {
  const PosteriorPlot& p = plot.posterior;
  const CaseAmongControlsPlot& c = plot.caseAmongControls;
  std::ostringstream out;
  out << kHeader << '\n';
  out << "binLow " << FullPrecision(p.binLow) << "\nbinWidth " << FullPrecision(p.binWidth)
      << "\ncounts";
  for (std::int64_t n : p.counts) out << ' ' << n;
  out << "\nbelow " << p.below << "\nabove " << p.above << "\nnotFinite " << p.notFinite
      << "\ndrawCount " << p.drawCount << "\npointEstimate " << FullPrecision(p.pointEstimate)
      << '\n';
  if (p.lower) out << "lower " << FullPrecision(*p.lower) << '\n';
  if (p.upper) out << "upper " << FullPrecision(*p.upper) << '\n';
  out << "zeroShown " << (p.zeroShown ? 1 : 0) << "\nposteriorTitle " << p.title << "\nposteriorX "
      << p.xTitle << "\nposteriorY " << p.yTitle << '\n';
  for (const LegendEntry& e : p.legend)
    out << "legend posterior " << MarkName(e.mark) << ' ' << e.text << '\n';
  out << "sdDiff " << FullPrecision(c.sdDiff) << "\ncaseValue " << FullPrecision(c.caseValue)
      << "\nupperTail " << (c.upperTail ? 1 : 0) << "\npercentMoreExtreme "
      << FullPrecision(c.percentMoreExtreme) << "\nxMin " << FullPrecision(c.xMin) << "\nxMax "
      << FullPrecision(c.xMax) << "\ncaseTitle " << c.title << "\ncaseX " << c.xTitle << "\ncaseY "
      << c.yTitle << "\ntailLabel " << c.tailLabel << '\n';
  if (!c.density.empty()) {
    out << "caseDensity";
    for (long double v : c.density) out << ' ' << FullPrecision(v);
    out << '\n';
  }
  for (const LegendEntry& e : c.legend)
    out << "legend case " << MarkName(e.mark) << ' ' << e.text << '\n';
  for (const DeficitPlot& d : plot.deficits) {
    const std::string key = "deficit " + std::to_string(d.task) + ' ';
    out << key << "df " << d.df << '\n'
        << key << "centre " << FullPrecision(d.centre) << '\n'
        << key << "scale " << FullPrecision(d.scale) << '\n'
        << key << "caseValue " << FullPrecision(d.caseValue) << '\n'
        << key << "upperTail " << (d.upperTail ? 1 : 0) << '\n'
        << key << "percent " << FullPrecision(d.percent) << '\n'
        << key << "xMin " << FullPrecision(d.xMin) << '\n'
        << key << "xMax " << FullPrecision(d.xMax) << '\n'
        << key << "title " << d.title << '\n'
        << key << "xTitle " << d.xTitle << '\n'
        << key << "yTitle " << d.yTitle << '\n'
        << key << "tailLabel " << d.tailLabel << '\n';
    for (const LegendEntry& e : d.legend) {
      out << "legend deficit" << d.task << ' ' << MarkName(e.mark) << ' ' << e.text << '\n';
    }
  }
  out << "end\n";
  return out.str();
}

std::optional<PlotData> ParsePlotData(const std::string& text, std::string& why) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    why = "not plot data (the first line is not \"" + std::string(kHeader) + "\")";
    return std::nullopt;
  }
  PlotData plot;
  PosteriorPlot& p = plot.posterior;
  CaseAmongControlsPlot& c = plot.caseAmongControls;
  int lineNumber = 1;
  bool ended = false;
  while (std::getline(in, line)) {
    ++lineNumber;
    const std::size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    long double v = 0;
    std::int64_t n = 0;
    bool ok = true;
    auto number = [&](long double& target) { ok = ReadNumber(value, target); };
    auto count = [&](std::int64_t& target) { ok = ReadCount(value, target); };
    auto flag = [&](bool& target) {
      ok = value == "0" || value == "1";
      target = value == "1";
    };
    if (key == "end") {
      ended = true;
      break;
    } else if (key == "binLow") {
      number(p.binLow);
    } else if (key == "binWidth") {
      number(p.binWidth);
    } else if (key == "counts") {
      std::istringstream items(value);
      std::string item;
      p.counts.clear();
      while (ok && items >> item) {
        ok = ReadCount(item, n);
        p.counts.push_back(n);
      }
    } else if (key == "below") {
      count(p.below);
    } else if (key == "above") {
      count(p.above);
    } else if (key == "notFinite") {
      count(p.notFinite);
    } else if (key == "drawCount") {
      count(p.drawCount);
    } else if (key == "pointEstimate") {
      number(p.pointEstimate);
    } else if (key == "lower") {
      number(v);
      p.lower = v;
    } else if (key == "upper") {
      number(v);
      p.upper = v;
    } else if (key == "zeroShown") {
      flag(p.zeroShown);
    } else if (key == "posteriorTitle") {
      p.title = value;
    } else if (key == "posteriorX") {
      p.xTitle = value;
    } else if (key == "posteriorY") {
      p.yTitle = value;
    } else if (key == "sdDiff") {
      number(c.sdDiff);
    } else if (key == "caseValue") {
      number(c.caseValue);
    } else if (key == "upperTail") {
      flag(c.upperTail);
    } else if (key == "percentMoreExtreme") {
      number(c.percentMoreExtreme);
    } else if (key == "xMin") {
      number(c.xMin);
    } else if (key == "xMax") {
      number(c.xMax);
    } else if (key == "caseTitle") {
      c.title = value;
    } else if (key == "caseX") {
      c.xTitle = value;
    } else if (key == "caseY") {
      c.yTitle = value;
    } else if (key == "tailLabel") {
      c.tailLabel = value;
    } else if (key == "caseDensity") {
      std::istringstream items(value);
      std::string item;
      c.density.clear();
      while (ok && items >> item) {
        ok = ReadNumber(item, v) && v >= 0;
        c.density.push_back(v);
      }
    } else if (key == "deficit") {
      // "deficit TASK FIELD VALUE"
      const std::size_t a = value.find(' ');
      const std::size_t b = a == std::string::npos ? a : value.find(' ', a + 1);
      const std::string task = value.substr(0, a);
      ok = (task == "1" || task == "2") && a != std::string::npos;
      if (ok) {
        DeficitPlot& d = DeficitFor(plot, task == "1" ? 1 : 2);
        const std::string field = value.substr(a + 1, b == std::string::npos ? b : b - a - 1);
        const std::string rest = b == std::string::npos ? "" : value.substr(b + 1);
        auto deficitNumber = [&](long double& target) { ok = ReadNumber(rest, target); };
        if (field == "df") {
          ok = ReadCount(rest, n) && n >= 1 && n <= 1000000000;
          d.df = static_cast<int>(n);
        } else if (field == "centre") {
          deficitNumber(d.centre);
        } else if (field == "scale") {
          deficitNumber(d.scale);
        } else if (field == "caseValue") {
          deficitNumber(d.caseValue);
        } else if (field == "upperTail") {
          ok = rest == "0" || rest == "1";
          d.upperTail = rest == "1";
        } else if (field == "percent") {
          deficitNumber(d.percent);
        } else if (field == "xMin") {
          deficitNumber(d.xMin);
        } else if (field == "xMax") {
          deficitNumber(d.xMax);
        } else if (field == "title") {
          d.title = rest;
        } else if (field == "xTitle") {
          d.xTitle = rest;
        } else if (field == "yTitle") {
          d.yTitle = rest;
        } else if (field == "tailLabel") {
          d.tailLabel = rest;
        } else {
          ok = false;
        }
      }
    } else if (key == "legend") {
      const std::size_t a = value.find(' ');
      const std::size_t b = a == std::string::npos ? a : value.find(' ', a + 1);
      const std::string which = value.substr(0, a);
      const std::optional<PlotMark> mark =
          a == std::string::npos ? std::nullopt : MarkFromName(value.substr(a + 1, b - a - 1));
      std::vector<LegendEntry>* legend = nullptr;
      if (which == "posterior") legend = &p.legend;
      if (which == "case") legend = &c.legend;
      if (which == "deficit1") legend = &DeficitFor(plot, 1).legend;
      if (which == "deficit2") legend = &DeficitFor(plot, 2).legend;
      ok = mark.has_value() && legend != nullptr;
      if (ok) {
        const std::string entry = b == std::string::npos ? "" : value.substr(b + 1);
        legend->push_back({*mark, entry});
      }
    } else {
      ok = false;
    }
    if (!ok) {
      why = "plot data line " + std::to_string(lineNumber) + " cannot be read: \"" + line + "\"";
      return std::nullopt;
    }
  }
  if (!ended) {
    why = "the plot data end early (no \"end\" line)";
    return std::nullopt;
  }
  std::int64_t total = p.below + p.above + p.notFinite;
  for (std::int64_t k : p.counts) total += k;
  bool deficitsHold = true;
  for (const DeficitPlot& d : plot.deficits) {
    deficitsHold = deficitsHold && d.scale > 0 && std::isfinite(d.scale) && d.xMax > d.xMin &&
                   std::isfinite(d.centre) && std::isfinite(d.caseValue);
  }
  if (p.counts.empty() || !(p.binWidth > 0) || total != p.drawCount || !(c.sdDiff > 0) ||
      !(c.xMax > c.xMin) || c.density.size() == 1 || !deficitsHold) {
    why = "the plot data do not hold together (bins, draw count or ranges)";
    return std::nullopt;
  }
  return plot;
}

}  // namespace quorvane
