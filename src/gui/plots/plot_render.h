// Drawing the plots of an analysis (see TemplateForm/plot_data.h) with
// QPainter, and saving them as PNG, SVG or PDF (PNG and PDF only where Qt SVG
// is not built in, as on Windows). Needs a QGuiApplication (for the fonts); no
// widgets.
//
// Each plot is laid out on a fixed logical canvas (kPlotWidth x kPlotHeight)
// and scaled uniformly into the area it is given, so it reads the same on a
// screen at any scaling, on paper and in a file. Colours are from the
// Okabe-Ito palette, and every mark also differs by shape or line style, so
// the plots read without telling colours apart.
#pragma once

#include <QRectF>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/plot_data.h"

class QPainter;

namespace quorvane {

// The deficit plots exist only in plot data that hold them (PlotData::deficits);
// asked for where they do not, a plot is left blank.
enum class PlotKind { Posterior, CaseAmongControls, DeficitY1, DeficitY2 };

inline constexpr int kPlotWidth = 800;
inline constexpr int kPlotHeight = 520;

// One plot, scaled to fit `area` (aspect kept, centred).
void PaintPlot(QPainter& painter, const QRectF& area, const PlotData& plot, PlotKind kind);
// The plots the data hold, in this order: the posterior, the case among the
// controls, and the deficit plots of Task Y1 and Task Y2 when there are any.
std::vector<PlotKind> PlotKinds(const PlotData& plot);
// All the plots (PlotKinds), one above the other, scaled to fit.
void PaintBothPlots(QPainter& painter, const QRectF& area, const PlotData& plot);
// All the plots in the number of columns (filled row by row) that draws them
// largest in `area` (the fewer columns when two draw them equally large):
// for two plots, one above the other or side by side; for four, also 2 x 2.
void PaintBothPlotsToFit(QPainter& painter, const QRectF& area, const PlotData& plot);
// All the plots in `columns` columns (filled row by row), scaled to fit.
void PaintPlotsInColumns(QPainter& painter, const QRectF& area, const PlotData& plot, int columns);
// The number of columns PaintBothPlotsToFit uses for `count` plots.
int PlotColumnsToFit(const QSizeF& area, int count);
// Whether PaintBothPlotsToFit puts two plots side by side in an area of this size.
bool PlotsSideBySide(const QSizeF& area);

// The x position (logical canvas units, 0..kPlotWidth) where value v falls in
// the posterior plot: the same mapping draws the bins and the interval.
double PosteriorX(const PosteriorPlot& p, long double v);

// Whether this build writes SVG drawings: built with Qt SVG (the Windows
// build is not).
#if defined(QUORVANE_PLOTS_SVG)
inline constexpr bool kPlotsSaveSvg = true;
#else
inline constexpr bool kPlotsSaveSvg = false;
#endif
// The file types SavePlots writes, as a file dialog's filter ("PNG image
// (*.png);;...") and as a list for messages (".png, .svg or .pdf").
QString PlotFileFilter();
QString PlotFileTypes();

// One plot (or all of them, stacked, when `which` is empty) as the bytes of an image
// file; the format comes from the path's extension, or from the text itself
// when it has none ("png", "svg" where built in, "pdf"; any case). PNG images are drawn at
// `pngScale` times the logical size. std::nullopt with the reason on failure.
std::optional<std::string> EncodePlots(const QString& suffixOrPath, const PlotData& plot,
                                       std::optional<PlotKind> which, QString& why,
                                       double pngScale = 2.0);

// The same written to `path` through the program's safe writer (an existing
// file survives a failed write). Returns false and says why on failure
// (unknown extension, file not writable, disk full).
bool SavePlots(const QString& path, const PlotData& plot, std::optional<PlotKind> which,
               QString& why, double pngScale = 2.0);

}  // namespace quorvane
