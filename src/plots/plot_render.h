// Drawing the two plots of an analysis (see TemplateForm/plot_data.h) with
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

#include "TemplateForm/plot_data.h"

class QPainter;

namespace quorvane {

enum class PlotKind { Posterior, CaseAmongControls };

inline constexpr int kPlotWidth = 800;
inline constexpr int kPlotHeight = 520;

// One plot, scaled to fit `area` (aspect kept, centred).
void PaintPlot(QPainter& painter, const QRectF& area, const PlotData& plot, PlotKind kind);
// Both plots, the posterior above the case among the controls, scaled to fit.
void PaintBothPlots(QPainter& painter, const QRectF& area, const PlotData& plot);
// Both plots, one above the other or side by side, whichever draws them larger
// in `area` (stacked when the two are equal).
void PaintBothPlotsToFit(QPainter& painter, const QRectF& area, const PlotData& plot);
// Whether PaintBothPlotsToFit puts the plots side by side in an area of this size.
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

// Writes one plot (or both, stacked, when `which` is empty) to `path`; the
// format comes from the extension (.png, .svg where built in, .pdf; any case). PNG images are
// drawn at `pngScale` times the logical size. Returns false and says why on
// failure (unknown extension, file not writable).
bool SavePlots(const QString& path, const PlotData& plot, std::optional<PlotKind> which,
               QString& why, double pngScale = 2.0);

}  // namespace quorvane
