#include "gui/plots/plot_render.h"

#include <png.h>
#include <zlib.h>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#if defined(QUORVANE_PLOTS_SVG)
#include <QSvgGenerator>
#endif
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <vector>

#include "file_io/safe_file.h"

namespace quorvane {

namespace {

// Okabe-Ito colours.
const QColor kSkyBlue(0x56, 0xB4, 0xE9);
const QColor kBlue(0x00, 0x72, 0xB2);
const QColor kOrange(0xE6, 0x9F, 0x00);
const QColor kVermillion(0xD5, 0x5E, 0x00);
const QColor kPurple(0xCC, 0x79, 0xA7);
const QColor kBlack(0, 0, 0);
const QColor kGrid(0xDD, 0xDD, 0xDD);

// The canvas's frame for the data: room above for the title and the legend,
// to the left for the y axis, below for the x axis.
constexpr double kLeft = 78, kRight = kPlotWidth - 22, kBottom = kPlotHeight - 58;
constexpr double kLegendTop = 38, kLegendRow = 20;

QFont Face(double pixels, bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(static_cast<int>(pixels));
  font.setBold(bold);
  return font;
}

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// About `target` round steps covering [lo, hi]: 1, 2 or 5 times a power of ten.
double NiceStep(double lo, double hi, int target) {
  const double raw = (hi - lo) / target;
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

QString TickLabel(double v, double step) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  if (std::fabs(v) < step * 1e-6) v = 0;
  return QString::number(v, 'f', decimals).replace(QLatin1Char('-'), QChar(0x2212));
}

struct Frame {
  double top;  // below the legend
  double xMin, xMax, yMax;
  double X(double v) const { return kLeft + (v - xMin) / (xMax - xMin) * (kRight - kLeft); }
  double Y(double v) const { return kBottom - v / yMax * (kBottom - top); }
  QRectF Rect() const { return QRectF(QPointF(kLeft, top), QPointF(kRight, kBottom)); }
};

void DrawSwatch(QPainter& p, const QRectF& box, PlotMark mark) {
  p.save();
  const double mid = box.center().y();
  switch (mark) {
    case PlotMark::Bars:
      p.setPen(QPen(kBlue, 1));
      p.setBrush(kSkyBlue);
      p.drawRect(box.adjusted(4, 2, -4, -2));
      break;
    case PlotMark::Interval:
      p.setPen(QPen(kOrange, 2));
      p.setBrush(QColor(kOrange.red(), kOrange.green(), kOrange.blue(), 90));
      p.drawRect(box.adjusted(4, 1, -4, -1));
      break;
    case PlotMark::TailArea: {
      p.setPen(QPen(kPurple, 1.5));
      p.setBrush(QColor(kPurple.red(), kPurple.green(), kPurple.blue(), 110));
      p.drawRect(box.adjusted(4, 1, -4, -1));
      p.setBrush(QBrush(kPurple.darker(160), Qt::BDiagPattern));
      p.drawRect(box.adjusted(4, 1, -4, -1));
      break;
    }
    case PlotMark::PointEstimate:
      p.setPen(QPen(kVermillion, 3));
      p.drawLine(QPointF(box.left(), mid), QPointF(box.right(), mid));
      break;
    case PlotMark::CaseValue:
      p.setPen(QPen(kVermillion, 3, Qt::DashDotLine));
      p.drawLine(QPointF(box.left(), mid), QPointF(box.right(), mid));
      break;
    case PlotMark::Zero:
      p.setPen(QPen(kBlack, 1.5, Qt::DashLine));
      p.drawLine(QPointF(box.left(), mid), QPointF(box.right(), mid));
      break;
    case PlotMark::Curve:
      p.setPen(QPen(kBlue, 2.5));
      p.drawLine(QPointF(box.left(), mid), QPointF(box.right(), mid));
      break;
  }
  p.restore();
}

// Title, legend; returns the frame's top.
double DrawHeader(QPainter& p, const std::string& title, const std::vector<LegendEntry>& legend) {
  p.setPen(kBlack);
  p.setFont(Face(17, true));
  p.drawText(QRectF(kLeft - 60, 6, kRight - kLeft + 60, 26), Qt::AlignLeft | Qt::AlignVCenter,
             Text(title));
  p.setFont(Face(14));
  double y = kLegendTop;
  for (const LegendEntry& e : legend) {
    DrawSwatch(p, QRectF(kLeft, y + 3, 34, kLegendRow - 6), e.mark);
    p.setPen(kBlack);
    p.drawText(QRectF(kLeft + 42, y, kRight - kLeft - 42, kLegendRow),
               Qt::AlignLeft | Qt::AlignVCenter, Text(e.text));
    y += kLegendRow;
  }
  return y + 12;
}

void DrawAxes(QPainter& p, const Frame& f, const std::string& xTitle, const std::string& yTitle) {
  p.save();
  p.setFont(Face(13));
  const QFontMetricsF metrics(p.font());
  // x ticks and grid.
  const double xStep = NiceStep(f.xMin, f.xMax, 8);
  for (double v = std::ceil(f.xMin / xStep) * xStep; v <= f.xMax + xStep * 1e-9; v += xStep) {
    const double x = f.X(v);
    p.setPen(QPen(kGrid, 1));
    p.drawLine(QPointF(x, f.top), QPointF(x, kBottom));
    p.setPen(QPen(kBlack, 1));
    p.drawLine(QPointF(x, kBottom), QPointF(x, kBottom + 5));
    p.drawText(QRectF(x - 40, kBottom + 6, 80, 18), Qt::AlignHCenter | Qt::AlignTop,
               TickLabel(v, xStep));
  }
  // y ticks.
  const double yStep = NiceStep(0, f.yMax, 5);
  for (double v = 0; v <= f.yMax + yStep * 1e-9; v += yStep) {
    const double y = f.Y(v);
    p.setPen(QPen(kBlack, 1));
    p.drawLine(QPointF(kLeft - 5, y), QPointF(kLeft, y));
    p.drawText(QRectF(kLeft - 60, y - 9, 52, 18), Qt::AlignRight | Qt::AlignVCenter,
               TickLabel(v, yStep));
  }
  p.setPen(QPen(kBlack, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(f.Rect());
  p.setFont(Face(14));
  p.drawText(QRectF(kLeft, kBottom + 28, kRight - kLeft, 22), Qt::AlignHCenter | Qt::AlignVCenter,
             Text(xTitle));
  p.translate(16, (f.top + kBottom) / 2);
  p.rotate(-90);
  const double half = (kBottom - f.top) / 2 + 40;
  p.drawText(QRectF(-half, -10, 2 * half, 20), Qt::AlignCenter, Text(yTitle));
  p.restore();
  (void)metrics;
}

void PaintPosterior(QPainter& p, const PosteriorPlot& post) {
  Frame f;
  f.top = DrawHeader(p, post.title, post.legend);
  f.xMin = static_cast<double>(post.binLow);
  f.xMax = static_cast<double>(post.binHigh());
  double densest = 0;
  for (std::size_t i = 0; i < post.counts.size(); ++i)
    densest = std::max(densest, static_cast<double>(post.Density(i)));
  f.yMax = densest > 0 ? densest * 1.08 : 1;
  p.fillRect(f.Rect(), Qt::white);

  // The interval (to the frame's edge on an open side), behind the bars.
  const double left = post.lower ? PosteriorX(post, *post.lower) : kLeft;
  const double right = post.upper ? PosteriorX(post, *post.upper) : kRight;
  p.fillRect(QRectF(QPointF(left, f.top), QPointF(right, kBottom)),
             QColor(kOrange.red(), kOrange.green(), kOrange.blue(), 90));

  p.setPen(QPen(kBlue, 0.8));
  p.setBrush(kSkyBlue);
  for (std::size_t i = 0; i < post.counts.size(); ++i) {
    if (post.counts[i] == 0) continue;
    const long double from = post.binLow + post.binWidth * static_cast<long double>(i);
    const long double to = post.binLow + post.binWidth * static_cast<long double>(i + 1);
    p.drawRect(QRectF(QPointF(PosteriorX(post, from), f.Y(static_cast<double>(post.Density(i)))),
                      QPointF(PosteriorX(post, to), kBottom)));
  }
  p.setPen(QPen(kOrange, 2));
  if (post.lower) p.drawLine(QPointF(left, f.top), QPointF(left, kBottom));
  if (post.upper) p.drawLine(QPointF(right, f.top), QPointF(right, kBottom));
  if (post.zeroShown) {
    p.setPen(QPen(kBlack, 1.5, Qt::DashLine));
    const double x0 = PosteriorX(post, 0);
    p.drawLine(QPointF(x0, f.top), QPointF(x0, kBottom));
  }
  p.setPen(QPen(kVermillion, 3));
  const double xp = PosteriorX(post, post.pointEstimate);
  p.drawLine(QPointF(xp, f.top), QPointF(xp, kBottom));
  DrawAxes(p, f, post.xTitle, post.yTitle);
}

// What a density plot with a marked case and a shaded tail draws: the case
// among the controls and the deficit plots.
struct TailPlot {
  std::function<long double(long double)> density;
  long double xMin = 0, xMax = 1, caseValue = 0, peak = 1;
  bool upperTail = false;
  const std::string *title = nullptr, *xTitle = nullptr, *yTitle = nullptr, *tailLabel = nullptr;
  const std::vector<LegendEntry>* legend = nullptr;
};

void PaintTailPlot(QPainter& p, const TailPlot& c) {
  Frame f;
  f.top = DrawHeader(p, *c.title, *c.legend);
  f.xMin = static_cast<double>(c.xMin);
  f.xMax = static_cast<double>(c.xMax);
  f.yMax = c.peak > 0 && std::isfinite(c.peak) ? static_cast<double>(c.peak) * 1.12 : 1;
  p.fillRect(f.Rect(), Qt::white);

  constexpr int kSteps = 400;
  auto at = [&](int i) { return c.xMin + (c.xMax - c.xMin) * i / kSteps; };
  QPainterPath curve;
  for (int i = 0; i <= kSteps; ++i) {
    const QPointF point(f.X(static_cast<double>(at(i))),
                        f.Y(static_cast<double>(c.density(at(i)))));
    if (i == 0)
      curve.moveTo(point);
    else
      curve.lineTo(point);
  }
  // The tail beyond the case, on its side.
  const long double edge = c.upperTail ? c.xMax : c.xMin;
  QPainterPath tail;
  tail.moveTo(f.X(static_cast<double>(c.caseValue)), kBottom);
  for (int i = 0; i <= kSteps; ++i) {
    const long double x = c.caseValue + (edge - c.caseValue) * i / kSteps;
    tail.lineTo(f.X(static_cast<double>(x)), f.Y(static_cast<double>(c.density(x))));
  }
  tail.lineTo(f.X(static_cast<double>(edge)), kBottom);
  tail.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(kPurple.red(), kPurple.green(), kPurple.blue(), 110));
  p.drawPath(tail);
  p.setBrush(QBrush(kPurple.darker(160), Qt::BDiagPattern));
  p.drawPath(tail);

  p.setPen(QPen(kBlue, 2.5));
  p.setBrush(Qt::NoBrush);
  p.drawPath(curve);
  const double xc = f.X(static_cast<double>(c.caseValue));
  p.setPen(QPen(kVermillion, 3, Qt::DashDotLine));
  p.drawLine(QPointF(xc, f.top), QPointF(xc, kBottom));

  // The tail's percentage beside the case's line, on the tail's side.
  p.setFont(Face(15, true));
  const QString label = Text(*c.tailLabel);
  const QFontMetricsF metrics(p.font());
  const double width = metrics.horizontalAdvance(label) + 10;
  const double y = f.top + (kBottom - f.top) * 0.35;
  QRectF box(c.upperTail ? xc + 6 : xc - 6 - width, y, width, metrics.height() + 4);
  if (box.right() > kRight - 2) box.moveRight(kRight - 2);
  if (box.left() < kLeft + 2) box.moveLeft(kLeft + 2);
  p.fillRect(box, QColor(255, 255, 255, 220));
  p.setPen(kBlack);
  p.drawText(box, Qt::AlignCenter, label);
  DrawAxes(p, f, *c.xTitle, *c.yTitle);
}

void PaintCaseAmongControls(QPainter& p, const CaseAmongControlsPlot& c) {
  TailPlot t;
  t.density = [&c](long double x) { return c.Density(x); };
  t.xMin = c.xMin;
  t.xMax = c.xMax;
  t.caseValue = c.caseValue;
  t.peak = c.PeakDensity();
  t.upperTail = c.upperTail;
  t.title = &c.title;
  t.xTitle = &c.xTitle;
  t.yTitle = &c.yTitle;
  t.tailLabel = &c.tailLabel;
  t.legend = &c.legend;
  PaintTailPlot(p, t);
}

void PaintDeficit(QPainter& p, const DeficitPlot& d) {
  TailPlot t;
  t.density = [&d](long double x) { return d.Density(x); };
  t.xMin = d.xMin;
  t.xMax = d.xMax;
  t.caseValue = d.caseValue;
  t.peak = d.Density(d.centre);
  t.upperTail = d.upperTail;
  t.title = &d.title;
  t.xTitle = &d.xTitle;
  t.yTitle = &d.yTitle;
  t.tailLabel = &d.tailLabel;
  t.legend = &d.legend;
  PaintTailPlot(p, t);
}

const DeficitPlot* DeficitOf(const PlotData& plot, PlotKind kind) {
  const int task = kind == PlotKind::DeficitY1 ? 1 : kind == PlotKind::DeficitY2 ? 2 : 0;
  for (const DeficitPlot& d : plot.deficits) {
    if (d.task == task) return &d;
  }
  return nullptr;
}

// Where plot i of n goes when the plots fill `columns` columns, row by row.
QRectF Cell(int i, int columns) {
  return QRectF((i % columns) * double(kPlotWidth), (i / columns) * double(kPlotHeight), kPlotWidth,
                kPlotHeight);
}

int Rows(int count, int columns) {
  return (count + columns - 1) / columns;
}

// Writes an RGB32 image as an 8-bit RGB PNG with the least encoding effort
// that still packs a plot well: every row with the "sub" filter (flat
// colours become runs of zeros) and zlib's run-length strategy at level 1.
// About a sixth of the time of a default PNG encoder on the plots, for a file
// of about the same size.
void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp /*png*/) {}

// The image as PNG bytes: the sub filter and zlib's run-length strategy at
// level 1, about a third of the time of Qt's writer for a larger file.
bool EncodePng(const QImage& image, std::string& bytes) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool written = false;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &bytes, AppendPngBytes, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    // RGB32 is 0xffRRGGBB words: B, G, R, 0xff bytes on a little-endian machine.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
      png_set_bgr(png);
      png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
      png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height(); ++y) {
      png_write_row(png, image.constScanLine(y));
    }
    png_write_end(png, nullptr);
    written = true;
  }
  png_destroy_write_struct(&png, &info);
  return written;
}

// The painter scaled so that a w x h logical canvas fits `area`, centred.
void FitCanvas(QPainter& p, const QRectF& area, double w, double h) {
  const double scale = std::min(area.width() / w, area.height() / h);
  p.translate(area.center().x() - w * scale / 2, area.center().y() - h * scale / 2);
  p.scale(scale, scale);
}

}  // namespace

double PosteriorX(const PosteriorPlot& p, long double v) {
  const long double share = (v - p.binLow) / (p.binHigh() - p.binLow);
  return kLeft + static_cast<double>(share) * (kRight - kLeft);
}

void PaintPlot(QPainter& painter, const QRectF& area, const PlotData& plot, PlotKind kind) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  FitCanvas(painter, area, kPlotWidth, kPlotHeight);
  painter.fillRect(QRectF(0, 0, kPlotWidth, kPlotHeight), Qt::white);
  switch (kind) {
    case PlotKind::Posterior:
      PaintPosterior(painter, plot.posterior);
      break;
    case PlotKind::CaseAmongControls:
      PaintCaseAmongControls(painter, plot.caseAmongControls);
      break;
    case PlotKind::DeficitY1:
    case PlotKind::DeficitY2:
      if (const DeficitPlot* d = DeficitOf(plot, kind)) PaintDeficit(painter, *d);
      break;
  }
  painter.restore();
}

std::vector<PlotKind> PlotKinds(const PlotData& plot) {
  std::vector<PlotKind> kinds = {PlotKind::Posterior, PlotKind::CaseAmongControls};
  if (DeficitOf(plot, PlotKind::DeficitY1) != nullptr) kinds.push_back(PlotKind::DeficitY1);
  if (DeficitOf(plot, PlotKind::DeficitY2) != nullptr) kinds.push_back(PlotKind::DeficitY2);
  return kinds;
}

void PaintPlotsInColumns(QPainter& painter, const QRectF& area, const PlotData& plot, int columns) {
  const std::vector<PlotKind> kinds = PlotKinds(plot);
  const int count = static_cast<int>(kinds.size());
  columns = std::clamp(columns, 1, count);
  painter.save();
  FitCanvas(painter, area, columns * double(kPlotWidth),
            Rows(count, columns) * double(kPlotHeight));
  for (int i = 0; i < count; ++i)
    PaintPlot(painter, Cell(i, columns), plot, kinds[static_cast<std::size_t>(i)]);
  painter.restore();
}

void PaintBothPlots(QPainter& painter, const QRectF& area, const PlotData& plot) {
  PaintPlotsInColumns(painter, area, plot, 1);
}

int PlotColumnsToFit(const QSizeF& area, int count) {
  int best = 1;
  double bestScale = 0;
  for (int columns = 1; columns <= count; ++columns) {
    const double scale = std::min(area.width() / (columns * double(kPlotWidth)),
                                  area.height() / (Rows(count, columns) * double(kPlotHeight)));
    if (scale > bestScale) {  // ties keep the fewer columns
      bestScale = scale;
      best = columns;
    }
  }
  return best;
}

bool PlotsSideBySide(const QSizeF& area) {
  return PlotColumnsToFit(area, 2) == 2;
}

void PaintBothPlotsToFit(QPainter& painter, const QRectF& area, const PlotData& plot) {
  PaintPlotsInColumns(painter, area, plot,
                      PlotColumnsToFit(area.size(), static_cast<int>(PlotKinds(plot).size())));
}

QString PlotFileFilter() {
  return kPlotsSaveSvg
             ? QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)")
             : QStringLiteral("PNG image (*.png);;PDF document (*.pdf)");
}

QString PlotFileTypes() {
  return kPlotsSaveSvg ? QStringLiteral(".png, .svg or .pdf") : QStringLiteral(".png or .pdf");
}

std::optional<std::string> EncodePlots(const QString& suffixOrPath, const PlotData& plot,
                                       std::optional<PlotKind> which, QString& why,
                                       double pngScale) {
  const QString suffix = QFileInfo(suffixOrPath).suffix().isEmpty()
                             ? suffixOrPath.toLower()
                             : QFileInfo(suffixOrPath).suffix().toLower();
  const double w = kPlotWidth;
  const double h = which ? kPlotHeight : PlotKinds(plot).size() * double(kPlotHeight);
  auto paint = [&](QPainter& painter, const QRectF& area) {
    if (which) {
      PaintPlot(painter, area, plot, *which);
    } else {
      PaintBothPlots(painter, area, plot);
    }
  };
  const auto cannotDraw = [&why] {
    why = QStringLiteral("the plots could not be drawn");
    return std::nullopt;
  };
  if (suffix == QLatin1String("png")) {
    QImage image(QSize(static_cast<int>(std::lround(w * pngScale)),
                       static_cast<int>(std::lround(h * pngScale))),
                 QImage::Format_RGB32);
    if (image.isNull()) return cannotDraw();
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      paint(painter, QRectF(0, 0, image.width(), image.height()));
    }
    std::string bytes;
    if (!EncodePng(image, bytes)) return cannotDraw();
    return bytes;
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
#if defined(QUORVANE_PLOTS_SVG)
  if (suffix == QLatin1String("svg")) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(static_cast<int>(w), static_cast<int>(h)));
    svg.setViewBox(QRectF(0, 0, w, h));
    svg.setTitle(QStringLiteral("Quorvane plots"));
    QPainter painter;
    if (!painter.begin(&svg)) return cannotDraw();
    paint(painter, QRectF(0, 0, w, h));
    if (!painter.end()) return cannotDraw();
    return bytes.toStdString();
  }
#endif
  if (suffix == QLatin1String("pdf")) {
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QStringLiteral("Quorvane plots"));
    pdf.setCreator(QStringLiteral("Quorvane"));
    pdf.setResolution(300);
    // A page the canvas's shape, 72 canvas units to the inch.
    pdf.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&pdf)) return cannotDraw();
    paint(painter, QRectF(0, 0, pdf.width(), pdf.height()));
    if (!painter.end()) return cannotDraw();
    return bytes.toStdString();
  }
  why = QStringLiteral("the file name must end in ") + PlotFileTypes();
  return std::nullopt;
}

bool SavePlots(const QString& path, const PlotData& plot, std::optional<PlotKind> which,
               QString& why, double pngScale) {
  const std::optional<std::string> bytes = EncodePlots(path, plot, which, why, pngScale);
  if (!bytes) return false;
  if (auto problem = WriteFileSafely(QFile::encodeName(path).toStdString(), *bytes)) {
    why = QString::fromStdString(*problem);
    return false;
  }
  return true;
}

}  // namespace quorvane
