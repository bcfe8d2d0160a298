// Printing plain text as a line printer would: lines one below the other from
// the top left of the printable area in one monospaced font, a line wider
// than the page continued on the next printed line, a tab advancing to the
// next multiple of eight average character widths, and the bottom two line
// heights of each page kept for its footer (page number, date, program).
// Each block of the text (lines between blank lines: the inputs, the sample
// statistics, each result) is kept on one page where it fits, and a block
// that introduces the next (its last line ends in a colon, as " OUTPUTS:")
// with that one; a block longer than a page is broken where the page is full.
#pragma once

#include <QDate>
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

// A block of printed lines: [first, first + count), kept on one page where it
// fits; keepWithNext: kept on the page of the block after it.
struct TextBlock {
  int first = 0;
  int count = 0;
  bool keepWithNext = false;
  friend bool operator==(const TextBlock&, const TextBlock&) = default;
};

// The blocks of printed lines: runs of lines that are not blank (a line of
// blanks alone is blank); a block whose last line ends in ':' is kept with
// the next.
std::vector<TextBlock> TextBlocks(const QStringList& lines);

// Where each page starts (an index into the lines) when lineCount lines are
// printed linesPerPage to a page (at least one). A block that does not fit in
// what is left of the page, with the blocks kept with it, starts the next
// page; where they are longer than a page together, at least the first two
// lines of the last of them are kept with the others. A block longer than a
// page breaks where the page is full. Blank lines between blocks are not
// carried to the next page.
std::vector<int> PageStarts(const std::vector<TextBlock>& blocks, int lineCount, int linesPerPage);

// The lines a page holds: floor((pageHeight - 2 lineHeight) / lineHeight), at
// least one (the bottom two line heights are the footer's).
int LinesPerPage(const TextPageMetrics& metrics);

// The footer of page `page` of `pages`: "Page 2 of 3", the date and the
// program with its version.
QString PageFooter(int page, int pages, const QDate& date);

// The printed lines of text, page by page. Lines of the text end at a line
// feed (a carriage return before it is dropped); an empty piece after the
// last line end is no line. Tabs are turned into blanks up to the next tab
// stop. Pages break as PageStarts says; blank lines at a page's end that
// would not fit are left out. Every page holds at least one line.
std::vector<QStringList> LayOutTextPages(const QString& text, const TextPageMetrics& metrics);

// A page printed after the text: paints into `page`, the printable area in
// the painter's coordinates (its top left at 0, 0).
using PrintedPage = std::function<void(QPainter& painter, const QRectF& page)>;

// Prints text on printer as one job in PrintFont() (8 points), then each of
// pagesAfter on a page of its own (above the footer), each page with its
// PageFooter. Returns false when the printer could not be started (the
// message is in errorText).
bool PrintText(QPrinter& printer, const QString& text, QString& errorText,
               const std::vector<PrintedPage>& pagesAfter = {});

}  // namespace quorvane
