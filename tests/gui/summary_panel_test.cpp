// The summary-statistics panel: a pasted spreadsheet block fills its grids,
// a refused entry is named and gets the focus, and its files read back.
#include "TemplateForm/qt/summary_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "TemplateForm/worksheet/saved_summary.h"
#include "file_io/number_text.h"
#include "text/format_text.h"

namespace quorvane {
namespace {

// Two covariates, pasted as a spreadsheet copies them (CR LF, tabs).
void Fill(SummaryPanel& panel) {
  panel.SetCovariates(2);
  panel.StatisticsGrid()->setCurrentCell(0, 0);
  panel.PasteInto(
      panel.StatisticsGrid(),
      "24.6\t31.15\t102.4\t12.9\r\n5.12\t4.30\t14.7\t2.61\r\n11\t30\t96\t12\t99\r\n7\t7\r\n");
  panel.CorrelationGrid()->setCurrentCell(1, 0);
  panel.PasteInto(panel.CorrelationGrid(), "0.62\n0.48\t0.51\n0.21\t0.17\t0.09\n");
}

TEST(SummaryPanel, PastedBlockFillsTheGridsWithinTheirBounds) {
  SummaryPanel panel;
  panel.show();
  Fill(panel);
  const SummaryTexts t = panel.Texts(28);
  EXPECT_EQ(t.means, (std::vector<std::string>{"24.6", "31.15", "102.4", "12.9"}));
  EXPECT_EQ(t.caseScores, (std::vector<std::string>{"11", "30", "96", "12"}));
  EXPECT_EQ(t.correlations[2], (std::vector<std::string>{"0.21", "0.17", "0.09"}));
  EXPECT_EQ(panel.StatisticsGrid()->rowCount(), 3);  // the fourth pasted row was dropped
  // The upper triangle was not pasted into: it mirrors the lower, read-only.
  EXPECT_EQ(panel.CorrelationGrid()->item(0, 1)->text(), "0.62");
  EXPECT_EQ(panel.CorrelationGrid()->item(0, 1)->flags(), Qt::NoItemFlags);
  QString message;
  EXPECT_TRUE(panel.Statistics(28, message).has_value()) << message.toStdString();
}

// A refused entry: the message names it and its cell gets the focus.
TEST(SummaryPanel, RefusedEntryIsNamedAndFocused) {
  struct Case {
    QTableWidget* (SummaryPanel::*grid)() const;
    int row, column;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {&SummaryPanel::StatisticsGrid, 1, 2, "0",
       "The SD of Covariate 1 must be greater than 0, not 0."},
      {&SummaryPanel::StatisticsGrid, 0, 3, "1,5",
       "The mean of Covariate 2 is not a plain decimal number: \"1,5\"."},
      {&SummaryPanel::CorrelationGrid, 3, 1, "1.2",
       "The correlation of Covariate 2 with Task Y2 (row 4, column 2) must lie between -1 and 1, "
       "not 1.2."},
  };
  for (const Case& c : cases) {
    SummaryPanel panel;
    panel.show();
    QApplication::setActiveWindow(&panel);
    Fill(panel);
    QTableWidget* grid = (panel.*c.grid)();
    grid->setItem(c.row, c.column, new QTableWidgetItem(QString::fromLatin1(c.text)));
    panel.StatisticsGrid()->setCurrentCell(0, 0);
    QString message;
    EXPECT_FALSE(panel.Statistics(28, message).has_value());
    EXPECT_EQ(message.toStdString(), c.message);
    EXPECT_EQ(grid->currentRow(), c.row) << c.message;
    EXPECT_EQ(grid->currentColumn(), c.column) << c.message;
    EXPECT_TRUE(grid->hasFocus()) << c.message;
  }
}

// A shown panel with the keyboard focus, k covariates.
void Show(SummaryPanel& panel, int k) {
  panel.SetCovariates(k);
  panel.show();
  QApplication::setActiveWindow(&panel);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
}

// Types text as keys into whatever has the focus (the grid, then its
// editor), then Enter.
void TypeKeys(const QString& text) {
  for (const QChar c : text) QTest::keyClicks(QApplication::focusWidget(), QString(c));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QApplication::processEvents();  // the editor's text is taken a moment later
}

QString Text(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text() : QStringLiteral("(no cell)");
}

void Click(QTableWidget* grid, int row, int column) {
  const QRect cell = grid->visualRect(grid->model()->index(row, column));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

// Every correlation cell's text, row by row ("" for none).
std::vector<std::string> CorrelationTexts(const SummaryPanel& panel) {
  std::vector<std::string> texts;
  for (const auto& row : panel.Texts(20).correlations) {
    texts.insert(texts.end(), row.begin(), row.end());
  }
  return texts;
}

// Clicking an upper cell (Task Y2 x Covariate 1) makes its lower twin
// current, so the typed value goes to that pair; the diagonal takes nothing.
// Both look and are read-only.
TEST(SummaryPanel, AClickedCellTakesTheTypingAndTheUpperTriangleStandsForItsLowerTwin) {
  SummaryPanel panel;
  Show(panel, 2);
  QTableWidget* grid = panel.CorrelationGrid();
  grid->setFocus();
  grid->setCurrentCell(3, 1);  // Covariate 2 x Task Y2
  Click(grid, 1, 2);           // Task Y2 x Covariate 1, above the diagonal
  EXPECT_EQ(grid->currentRow(), 2);
  EXPECT_EQ(grid->currentColumn(), 1);
  TypeKeys(QStringLiteral("0.9"));
  EXPECT_EQ(Text(grid, 2, 1), "0.9");
  EXPECT_EQ(panel.Texts(20).correlations[2][1], "");  // Covariate 2 x Task Y2 untouched
  EXPECT_EQ(Text(grid, 1, 2), "0.9");                 // the mirror shows it

  // A lower cell clicked takes the typing itself.
  Click(grid, 3, 0);
  TypeKeys(QStringLiteral("0.25"));
  EXPECT_EQ(panel.Texts(20).correlations[2][0], "0.25");

  // A click on the diagonal leaves no cell to type into.
  const std::vector<std::string> before = CorrelationTexts(panel);
  Click(grid, 2, 2);
  TypeKeys(QStringLiteral("5"));
  EXPECT_EQ(CorrelationTexts(panel), before);

  ASSERT_NE(grid->item(2, 1), nullptr);
  const QColor editable = grid->item(2, 1)->background().style() == Qt::NoBrush
                              ? grid->palette().color(QPalette::Base)
                              : grid->item(2, 1)->background().color();
  for (const auto& [row, column] : {std::pair{0, 0}, {1, 2}, {0, 3}, {3, 3}}) {
    const QTableWidgetItem* item = grid->item(row, column);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->flags(), Qt::NoItemFlags) << row << "," << column;  // not selectable either
    EXPECT_NE(item->background().color(), editable) << row << "," << column;  // greyed
  }
  EXPECT_TRUE(grid->item(2, 1)->flags() & Qt::ItemIsEditable);
}

// What a paste into the correlation grid (two covariates, K = 4) takes.
TEST(SummaryPanel, APastedMatrixGivesItsLowerTriangleAndABlockThatDoesNotFitIsRefused) {
  const std::vector<std::string> full = {"0.5", "0.3", "0.2", "0.1", "0.4", "0.6"};
  const std::vector<std::string> none(6, "");
  const struct Case {
    const char* what;
    const char* text;
    int row, column;                 // the current cell
    std::vector<std::string> lower;  // afterwards, row by row
    const char* refusal;             // part of the message; nullptr: taken
  } cases[] = {
      {"square, symmetric, from a spreadsheet",
       "1\t0.5\t0.3\t0.1\r\n0.5\t1\t0.2\t0.4\r\n0.3\t0.2\t1\t0.6\r\n0.1\t0.4\t0.6\t1\r\n", 3, 0,
       full, nullptr},
      {"square, the same values written differently",
       "1.00\t.5\t0.30\t0.1\n0.50\t1\t0.2\t0.4\n.3\t0.2\t1\t0.6\n0.1\t0.40\t0.6\t1.0\n",
       1,
       0,
       {"0.50", ".3", "0.2", "0.1", "0.40", "0.6"},
       nullptr},
      {"lower triangle with the diagonal", "1\n0.5\t1\n0.3\t0.2\t1\n0.1\t0.4\t0.6\t1\n", 2, 1, full,
       nullptr},
      {"square with the upper triangle left empty",
       "1\t\t\t\n0.5\t1\t\t\n0.3\t0.2\t1\t\n0.1\t0.4\t0.6\t1\n", 3, 2, full, nullptr},
      {"lower triangle without the diagonal", "0.5\n0.3\t0.2\n0.1\t0.4\t0.6\n", 1, 0, full,
       nullptr},
      {"one value", "0.4", 3, 1, {"", "", "", "", "0.4", ""}, nullptr},
      {"square, not symmetric",
       "1\t0.5\t0.3\t0.1\n0.5\t1\t0.2\t0.4\n0.3\t0.2\t1\t0.6\n0.1\t0.4\t0.7\t1\n", 1, 0, none,
       "not symmetric: row 4, column 3 holds 0.7 but row 3, column 4 holds 0.6"},
      {"square, 0.9 on the diagonal",
       "1\t0.5\t0.3\t0.1\n0.5\t0.9\t0.2\t0.4\n0.3\t0.2\t1\t0.6\n0.1\t0.4\t0.6\t1\n", 1, 0, none,
       "0.9 on its diagonal (row 2)"},
      {"a block onto the diagonal", "0.3\t0.2\n0.1\t0.4\n", 1, 0, none,
       "0.2 would fall on the diagonal"},
      {"a block beyond the last row", "0.5\n0.3\n0.1\n0.7\n", 1, 0, none,
       "0.7 would fall on no cell"},
      {"a 3 x 3 matrix in a 4 x 4 grid", "1\t0.5\t0.3\n0.5\t1\t0.2\n0.3\t0.2\t1\n", 1, 0, none,
       "3 x 3 matrix does not match the grid's 4 variables"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SummaryPanel panel;
    Show(panel, 2);
    QSignalSpy refused(&panel, &SummaryPanel::pasteRefused);
    QTableWidget* grid = panel.CorrelationGrid();
    grid->setFocus();
    grid->setCurrentCell(c.row, c.column);
    QApplication::clipboard()->setText(QString::fromLatin1(c.text));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(CorrelationTexts(panel), c.lower);
    if (c.refusal == nullptr) {
      EXPECT_EQ(refused.count(), 0);
      continue;
    }
    ASSERT_EQ(refused.count(), 1);
    const QString message = refused.first().first().toString();
    EXPECT_TRUE(message.contains(QString::fromLatin1(c.refusal))) << message.toStdString();
    EXPECT_TRUE(message.endsWith("Nothing was pasted.")) << message.toStdString();
  }
}

TEST(SummaryPanel, EditsAndPastesAreUndoneAndRedoneOneStepAtATime) {
  SummaryPanel panel;
  Show(panel, 1);
  QTableWidget* statistics = panel.StatisticsGrid();
  QTableWidget* correlations = panel.CorrelationGrid();
  statistics->setFocus();
  statistics->setCurrentCell(0, 0);
  TypeKeys(QStringLiteral("24.6"));
  correlations->setFocus();
  correlations->setCurrentCell(1, 0);
  QApplication::clipboard()->setText(QStringLiteral("0.62\n0.48\t0.51\n"));
  QTest::keyClick(correlations, Qt::Key_V, Qt::ControlModifier);
  correlations->setCurrentCell(2, 1);
  TypeKeys(QStringLiteral("0.7"));  // over a pasted value
  const auto state = [&] {
    const SummaryTexts t = panel.Texts(20);
    return t.means[0] + "|" + t.correlations[0][0] + "|" + t.correlations[1][0] + "|" +
           t.correlations[1][1];
  };
  ASSERT_EQ(state(), "24.6|0.62|0.48|0.7");
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* after;
  } steps[] = {
      {Qt::Key_Z, Qt::ControlModifier, "24.6|0.62|0.48|0.51"},  // the typed 0.7
      {Qt::Key_Z, Qt::ControlModifier, "24.6|||"},              // the whole paste
      {Qt::Key_Z, Qt::ControlModifier, "|||"},                  // the typed mean
      {Qt::Key_Z, Qt::ControlModifier, "|||"},                  // nothing more to undo
      {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "24.6|||"},
      {Qt::Key_Y, Qt::ControlModifier, "24.6|0.62|0.48|0.51"},
      {Qt::Key_Y, Qt::ControlModifier, "24.6|0.62|0.48|0.7"},
      {Qt::Key_Y, Qt::ControlModifier, "24.6|0.62|0.48|0.7"},  // nothing more to redo
  };
  for (const auto& step : steps) {
    QTest::keyClick(correlations, step.key, step.modifiers);
    EXPECT_EQ(state(), step.after);
  }
  // The mirror follows an undo too.
  QTest::keyClick(correlations, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(correlations, 1, 2), "0.51");
  // A new edit after an undo drops what could have been redone.
  correlations->setCurrentCell(2, 0);
  TypeKeys(QStringLiteral("0.1"));
  QTest::keyClick(correlations, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(state(), "24.6|0.62|0.1|0.51");
}

// The example's statistics as the worksheet loads them: each cell shows the
// shortest text that reads back the stored value, in a column wide enough
// for it, and its tooltip gives the value in full.
TEST(SummaryPanel, LoadedValuesShowWholeInTheirShortestTextWithTheFullValueInTheTooltip) {
  SummaryStatistics s;
  ASSERT_FALSE(ReadSummaryFile(QDir(QStringLiteral(QUORVANE_EXAMPLES_DIR))
                                   .absoluteFilePath(QStringLiteral("summary-statistics.txt"))
                                   .toStdString(),
                               s));
  SummaryPanel panel;
  Show(panel, 1);
  panel.SetTexts(ShortestSummaryTexts(s));
  QApplication::processEvents();
  const auto check = [&](QTableWidget* grid, int row, int column, long double stored) {
    SCOPED_TRACE(grid->objectName().toStdString() + " " + std::to_string(row) + "," +
                 std::to_string(column));
    const QTableWidgetItem* item = grid->item(row, column);
    ASSERT_NE(item, nullptr);
    const std::string text = item->text().toStdString();
    const auto shown = ParsePlainDecimal(text);
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, stored);
    // No shorter text of the value reads back the same.
    std::size_t digits = 0;  // significant: from the first that is not 0
    for (char ch : text) digits += (ch >= '1' && ch <= '9') || (ch == '0' && digits > 0);
    if (digits > 1) {
      const auto shorter =
          ParsePlainDecimal(FormatText("%.*Lg", static_cast<int>(digits) - 1, stored));
      EXPECT_FALSE(shorter && *shorter == stored) << text;
    }
    const int room = grid->columnWidth(column) -
                     2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    EXPECT_GE(room, grid->fontMetrics().horizontalAdvance(item->text())) << text;
    EXPECT_EQ(ParsePlainDecimal(item->toolTip().toStdString()), std::optional(stored))
        << item->toolTip().toStdString();
    EXPECT_EQ(item->toolTip().toStdString(), FullPrecision(stored));
  };
  // The statistics count their variables from 1, the grids from 0.
  for (int j = 1; j <= 4; ++j) {
    check(panel.StatisticsGrid(), 0, j - 1, s.means[j]);
    check(panel.StatisticsGrid(), 1, j - 1, s.sds[j]);
    check(panel.StatisticsGrid(), 2, j - 1, s.caseScores[j]);
    for (int l = 1; l < j; ++l) check(panel.CorrelationGrid(), j - 1, l - 1, s.R(j, l));
  }
}

TEST(SummaryPanel, SavedFileLoadsBackAndABadFileIsRefusedWithItsLine) {
  QTemporaryDir dir;
  const QString path = dir.filePath("norms.txt");
  SummaryPanel panel;
  Fill(panel);
  QString why;
  ASSERT_TRUE(panel.SaveFile(path, 28, why)) << why.toStdString();
  SummaryPanel other;
  int N = 0;
  ASSERT_TRUE(other.LoadFile(path, N, why)) << why.toStdString();
  EXPECT_EQ(N, 28);
  EXPECT_EQ(other.Covariates(), 2);
  QString message;
  const auto a = panel.Statistics(28, message);
  const auto b = other.Statistics(28, message);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->means == b->means && a->sds == b->sds && a->R == b->R &&
              a->caseScores == b->caseScores);

  other.StatisticsGrid()->setItem(1, 0, new QTableWidgetItem("-2"));
  EXPECT_FALSE(other.SaveFile(path, 28, why));
  EXPECT_EQ(why.toStdString(), "The SD of Task Y1 must be greater than 0, not -2.");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("N 28\ncovariates 1\nmean 1 2 3\nSD 1 1\n");
  file.close();
  EXPECT_FALSE(other.LoadFile(path, N, why));
  EXPECT_EQ(why.toStdString(),
            "Summary file, line 4: the row \"SD\" needs 3 numbers (Task Y1, Task Y2, Covariate "
            "1), not 2.");
  EXPECT_EQ(other.Covariates(), 2);  // a refused file changes nothing
}

}  // namespace
}  // namespace quorvane
