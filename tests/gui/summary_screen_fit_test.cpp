// The worksheet's summary grids on the test screen at the scale factor the
// run was started with (CTest runs the *ScreenFitTest.* tests at 100%, 150%
// and 200%): the grids keep the size their cells need, and where the screen
// is too small for the window to hold them the window's page scrolls as a
// whole, every cell within reach.
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <vector>

#include "TemplateForm/qt/summary_panel.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

using SummaryScreenFitTest = GuiFaceTest;

TEST_P(SummaryScreenFitTest, TheSummaryGridsKeepTheirSizeAndThePageScrollsWhereItMust) {
  QWidget* w = worksheet_.get();
  Find<QRadioButton>(w, "DataKind_Radio_1")->click();
  Field(1)->setText(QStringLiteral("20"));
  Field(2)->setText(QStringLiteral("5"));  // the largest grids: 7 x 7 correlations
  QTest::qWait(100);                       // laid out anew
  const QRect area = w->screen()->availableGeometry();
  EXPECT_TRUE(area.contains(w->frameGeometry()));

  // The grids' box is not squeezed, and neither grid scrolls inside.
  auto* box = Find<QScrollArea>(w, "summaryArea");
  EXPECT_GE(box->viewport()->width(), box->widget()->sizeHint().width());
  EXPECT_GE(box->viewport()->height(), box->widget()->sizeHint().height());
  SummaryPanel* panel = worksheet_->Summary();
  for (QTableWidget* grid : {panel->StatisticsGrid(), panel->CorrelationGrid()}) {
    SCOPED_TRACE(grid->objectName().toStdString());
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
    const QModelIndex last = grid->model()->index(grid->rowCount() - 1, grid->columnCount() - 1);
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(last)));
  }

  // The page scrolls where the window is smaller than it; scrolled to them,
  // each grid's first and last cells and the buttons lie in the window.
  auto* page = Find<QScrollArea>(w, "worksheetPage");
  const QSize content = page->widget()->minimumSizeHint();
  EXPECT_EQ(page->verticalScrollBar()->maximum() > 0, content.height() > w->height());
  EXPECT_EQ(page->horizontalScrollBar()->maximum() > 0, content.width() > w->width());
  struct Spot {
    QWidget* widget;
    QRect rect;  // in the widget
  };
  std::vector<Spot> spots;
  for (QTableWidget* grid : {panel->StatisticsGrid(), panel->CorrelationGrid()}) {
    for (const QModelIndex& cell :
         {grid->model()->index(0, 0),
          grid->model()->index(grid->rowCount() - 1, grid->columnCount() - 1)}) {
      spots.push_back({grid->viewport(), grid->visualRect(cell)});
    }
  }
  for (const char* button : {"cmdLoadSummary", "cmdSaveSummary", "cmdCompute", "ExitBtn"}) {
    QWidget* widget = Find<QWidget>(w, button);
    spots.push_back({widget, widget->rect()});
  }
  for (const Spot& spot : spots) {
    SCOPED_TRACE(spot.widget->objectName().toStdString());
    const QPoint centre = spot.widget->mapTo(page->widget(), spot.rect.center());
    page->ensureVisible(centre.x(), centre.y(), spot.rect.width() / 2, spot.rect.height() / 2);
    QApplication::processEvents();
    const QRect inWindow(spot.widget->mapTo(w, spot.rect.topLeft()), spot.rect.size());
    EXPECT_TRUE(w->rect().contains(inWindow))
        << inWindow.x() << "," << inWindow.y() << " " << inWindow.width() << "x"
        << inWindow.height() << " in " << w->width() << "x" << w->height();
  }
  // Back to raw data: no page to scroll where the window holds the inputs.
  Find<QRadioButton>(w, "DataKind_Radio_0")->click();
  QTest::qWait(100);
  EXPECT_EQ(page->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(page->horizontalScrollBar()->maximum(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faces, SummaryScreenFitTest, ::testing::ValuesIn(TestFaces()), FaceName);

}  // namespace
}  // namespace quorvane::testing
