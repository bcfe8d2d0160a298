// The summary-statistics panel: a pasted spreadsheet block fills its grids,
// a refused entry is named and gets the focus, and its files read back.
#include "TemplateForm/qt/summary_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>

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
  EXPECT_EQ(panel.StatisticsGrid()->rowCount(), 3);            // the fourth pasted row was dropped
  EXPECT_EQ(panel.CorrelationGrid()->item(0, 1)->text(), "");  // upper triangle untouched
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
