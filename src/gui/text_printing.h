// Printing plain text as a line printer would: lines one below the other from
// the top left of the printable area in one monospaced font, a line wider
// than the page continued on the next printed line, a tab advancing to the
// next multiple of eight average character widths, and a new page when the
// next line would not fit above the bottom two line heights of the page.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPainter;
class QPrinter;
class QRectF;

namespace quorvane {

// What the layout needs to know of a font and a page (any one unit).
struct TextPageMetrics {
  std::function<double(QChar)> advance;  // width of one character
  double averageCharWidth = 0;
  double lineHeight = 0;
  double pageWidth = 0;
  double pageHeight = 0;
};

// The printed lines of text, page by page. Lines of the text end at a line
// feed (a carriage return before it is dropped); an empty piece after the
// last line end is no line. Tabs are turned into blanks up to the next tab
// stop. Every page holds at least one line.
std::vector<QStringList> LayOutTextPages(const QString& text, const TextPageMetrics& metrics);

// A page printed after the text: paints into `page`, the printable area in
// the painter's coordinates (its top left at 0, 0).
using PrintedPage = std::function<void(QPainter& painter, const QRectF& page)>;

// Prints text on printer as one job in PrintFont() (8 points), then each of
// pagesAfter on a page of its own. Returns false when the printer could not be
// started (the message is in errorText).
bool PrintText(QPrinter& printer, const QString& text, QString& errorText,
               const std::vector<PrintedPage>& pagesAfter = {});

}  // namespace quorvane
