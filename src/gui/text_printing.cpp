#include "gui/text_printing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <cmath>

#include "gui/fonts.h"

namespace quorvane {

namespace {

constexpr int kTabColumns = 8;
constexpr double kSlack = 1e-9;  // for comparing sums of advances

// Splits one line of text into the printed lines that the page width allows.
void WrapLine(const QString& line, const TextPageMetrics& m, QStringList& out) {
  const double tabWidth = kTabColumns * m.averageCharWidth;
  QString current;
  double x = 0;
  auto put = [&](QChar c) {
    const double w = m.advance(c);
    if (!current.isEmpty() && x + w > m.pageWidth + kSlack) {
      out.push_back(current);
      current.clear();
      x = 0;
    }
    current.push_back(c);
    x += w;
  };
  for (const QChar c : line) {
    if (c != QLatin1Char('\t')) {
      put(c);
      continue;
    }
    if (tabWidth <= 0) continue;
    const double stop = (std::floor(x / tabWidth + kSlack) + 1) * tabWidth;
    if (stop > m.pageWidth + kSlack) {  // the tab stop lies beyond the page: a new line
      out.push_back(current);
      current.clear();
      x = 0;
      continue;
    }
    do {
      put(QLatin1Char(' '));
    } while (x + kSlack < stop);
  }
  out.push_back(current);
}

}  // namespace

std::vector<QStringList> LayOutTextPages(const QString& text, const TextPageMetrics& metrics) {
  QStringList sourceLines = text.split(QLatin1Char('\n'));
  if (!sourceLines.isEmpty() && sourceLines.constLast().isEmpty()) sourceLines.removeLast();

  QStringList printed;
  for (QString line : sourceLines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    WrapLine(line, metrics, printed);
  }

  std::vector<QStringList> pages;
  double y = 0;
  for (const QString& line : printed) {
    const bool fits =
        y + metrics.lineHeight <= metrics.pageHeight - 2 * metrics.lineHeight + kSlack;
    if (pages.empty() || (!fits && !pages.back().isEmpty())) {
      pages.emplace_back();
      y = 0;
    }
    pages.back().push_back(line);
    y += metrics.lineHeight;
  }
  return pages;
}

bool PrintText(QPrinter& printer, const QString& text, QString& errorText,
               const std::vector<PrintedPage>& pagesAfter) {
  const QFont font(PrintFont(), &printer);
  const QFontMetricsF fm(font, &printer);
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());

  TextPageMetrics metrics;
  metrics.advance = [&fm](QChar c) { return fm.horizontalAdvance(c); };
  metrics.averageCharWidth = fm.averageCharWidth();
  metrics.lineHeight = fm.lineSpacing();
  metrics.pageWidth = page.width();
  metrics.pageHeight = page.height();
  const std::vector<QStringList> pages = LayOutTextPages(text, metrics);

  QPainter painter;
  if (!painter.begin(&printer)) {
    errorText =
        printer.outputFileName().isEmpty()
            ? QStringLiteral("The printer could not be started.")
            : QStringLiteral("The file %1 could not be written.").arg(printer.outputFileName());
    return false;
  }
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) printer.newPage();
    double y = 0;
    for (const QString& line : pages[p]) {
      painter.drawText(QPointF(0, y + fm.ascent()), line);
      y += metrics.lineHeight;
    }
  }
  bool started = !pages.empty();
  for (const PrintedPage& paint : pagesAfter) {
    if (started) printer.newPage();
    started = true;
    painter.save();
    paint(painter, QRectF(QPointF(0, 0), page.size()));
    painter.restore();
  }
  painter.end();
  return true;
}

}  // namespace quorvane
