#include "gui/text_printing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "gui/fonts.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

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

std::vector<TextBlock> TextBlocks(const QStringList& lines) {
  std::vector<TextBlock> blocks;
  for (int i = 0; i < lines.size(); ++i) {
    if (lines[i].trimmed().isEmpty()) continue;
    if (blocks.empty() || blocks.back().first + blocks.back().count != i) blocks.push_back({i, 0});
    ++blocks.back().count;
  }
  for (TextBlock& b : blocks) {
    b.keepWithNext = lines[b.first + b.count - 1].trimmed().endsWith(QLatin1Char(':'));
  }
  if (!blocks.empty()) blocks.back().keepWithNext = false;
  return blocks;
}

std::vector<int> PageStarts(const std::vector<TextBlock>& blocks, int lineCount, int linesPerPage) {
  const int L = std::max(1, linesPerPage);
  std::vector<int> starts;
  if (lineCount <= 0) return starts;
  starts.push_back(0);
  int y = 0;   // lines on the current page
  int at = 0;  // the next line to place
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const TextBlock& block = blocks[b];
    const int gap = block.first - at;  // blank lines before the block
    // The lines that go with the block's start: it and the blocks kept with it.
    int chain = block.count;
    int lastCount = block.count;
    for (std::size_t c = b; blocks[c].keepWithNext && c + 1 < blocks.size(); ++c) {
      lastCount = blocks[c + 1].count;
      chain += blocks[c + 1].first - (blocks[c].first + blocks[c].count) + lastCount;
    }
    const int need = chain <= L ? chain : chain - lastCount + std::min(2, lastCount);
    if (y + gap + need > L && (y > 0 || gap > 0)) {
      if (y == 0) {
        starts.back() = block.first;  // the page began with blank lines only
      } else {
        starts.push_back(block.first);
      }
      y = 0;
    } else {
      y += gap;
    }
    for (int i = 0; i < block.count; ++i) {
      if (y >= L) {
        starts.push_back(block.first + i);
        y = 0;
      }
      ++y;
    }
    at = block.first + block.count;
  }
  // Blank lines after the last block: while they fit on its page.
  if (blocks.empty() && lineCount > 0) {
    for (int i = L; i < lineCount; i += L) starts.push_back(i);
  }
  return starts;
}

int LinesPerPage(const TextPageMetrics& metrics) {
  if (metrics.lineHeight <= 0) return 1;
  const double room = metrics.pageHeight - 2 * metrics.lineHeight;
  return std::max(1, static_cast<int>(std::floor(room / metrics.lineHeight + kSlack)));
}

QString PageFooter(int page, int pages, const QDate& date) {
  return QStringLiteral("Page %1 of %2    %3    Quorvane %4")
      .arg(page)
      .arg(pages)
      .arg(date.toString(Qt::ISODate), QStringLiteral(QUORVANE_VERSION));
}

std::vector<QStringList> LayOutTextPages(const QString& text, const TextPageMetrics& metrics) {
  QStringList sourceLines = text.split(QLatin1Char('\n'));
  if (!sourceLines.isEmpty() && sourceLines.constLast().isEmpty()) sourceLines.removeLast();

  QStringList printed;
  for (QString line : sourceLines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    WrapLine(line, metrics, printed);
  }

  const int L = LinesPerPage(metrics);
  const std::vector<int> starts = PageStarts(TextBlocks(printed), printed.size(), L);
  std::vector<QStringList> pages;
  for (std::size_t p = 0; p < starts.size(); ++p) {
    const int end = p + 1 < starts.size() ? starts[p + 1] : static_cast<int>(printed.size());
    // Only blank lines lie past the page's room; they are left out.
    pages.push_back(printed.mid(starts[p], std::min(end - starts[p], L)));
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

  const int pageCount = static_cast<int>(pages.size() + pagesAfter.size());
  const QDate today = QDate::currentDate();
  auto footer = [&](QPainter& p, int number) {
    p.save();
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPointF(0, page.height() - metrics.lineHeight + fm.ascent()),
               PageFooter(number, pageCount, today));
    p.restore();
  };

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
    footer(painter, static_cast<int>(p) + 1);
  }
  bool started = !pages.empty();
  int number = static_cast<int>(pages.size());
  for (const PrintedPage& paint : pagesAfter) {
    if (started) printer.newPage();
    started = true;
    painter.save();
    paint(painter, QRectF(0, 0, page.width(), page.height() - 2 * metrics.lineHeight));
    painter.restore();
    footer(painter, ++number);
  }
  painter.end();
  return true;
}

}  // namespace quorvane
