// Window sizes and places and the plot panel's width remembered between runs:
// where a remembered window goes on the screen as it is now, and a round trip
// through a settings file of the test's own (never the user's settings).
#include <QDockWidget>
#include <QScreen>
#include <QSettings>

#include "gui/window_memory.h"
#include "gui/window_placement.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

TEST(WindowMemoryTest, ARememberedWindowIsFittedToTheScreenAsItIsNow) {
  const QRect area(0, 0, 1280, 860);  // a task bar below
  const QMargins frame(8, 40, 8, 8);
  const QSize least(400, 300);
  const struct {
    const char* what;
    QRect remembered;  // the client area as remembered
    QSize minimum;
    QRect placed;
  } cases[] = {
      {"inside: as remembered", {100, 120, 700, 500}, least, {100, 120, 700, 500}},
      {"right of the screen: moved left", {2000, 120, 700, 500}, least, {572, 120, 700, 500}},
      {"below: moved up", {100, 700, 700, 500}, least, {100, 352, 700, 500}},
      {"left and above: moved in", {-500, -300, 700, 500}, least, {8, 40, 700, 500}},
      {"larger than the screen: shrunk", {0, 0, 3000, 2000}, least, {8, 40, 1264, 812}},
      {"least size larger than the screen", {50, 50, 900, 700}, {1400, 1000}, {8, 40, 1400, 1000}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RestoredClientGeometry(area, frame, c.remembered, c.minimum), c.placed) << c.what;
  }
  // A second screen to the right: its own area.
  EXPECT_EQ(
      RestoredClientGeometry(QRect(1280, 0, 1920, 1080), frame, QRect(3100, 500, 600, 400), least),
      QRect(1280 + 1920 - 8 - 600, 500, 600, 400));
}

class WindowMemoryRunTest : public GuiTest {
 protected:
  QString SettingsFile() const { return ScratchFile("settings.ini"); }
  // A fresh pair of windows as the program makes them at start, their places
  // remembered in the test's settings file.
  struct Windows {
    std::unique_ptr<TfrmTemplate> worksheet;
    std::unique_ptr<TfrmTemplateResults> viewer;
    std::unique_ptr<WindowMemory> memory;
  };
  Windows Start() {
    Windows w;
    w.worksheet = std::make_unique<TfrmTemplate>(dialogs_);
    w.viewer = std::make_unique<TfrmTemplateResults>(dialogs_);
    w.worksheet->SetResultsViewer(w.viewer.get());
    w.worksheet->SetDrawCount(kTestDraws);
    w.memory = std::make_unique<WindowMemory>(SettingsFile());
    w.memory->Track(*w.worksheet, "worksheet");
    w.memory->Track(*w.viewer, "viewer");
    w.viewer->SetPlotPanelWidth(
        w.memory->Number("viewer/plotPanelWidth", w.viewer->PlotPanelWidth()));
    w.memory->KeepNumber("viewer/plotPanelWidth",
                         [v = w.viewer.get()] { return v->PlotPanelWidth(); });
    return w;
  }
};

TEST_F(WindowMemoryRunTest, SizesPlacesAndThePlotWidthComeBackNextRun) {
  worksheet_->hide();
  const QRect area = worksheet_->screen()->availableGeometry();
  QRect worksheetPlace, viewerPlace;
  {
    Windows first = Start();
    first.worksheet->show();
    EXPECT_EQ(first.viewer->PlotPanelWidth(), 430);  // nothing remembered yet
    first.worksheet->setGeometry(QRect(area.topLeft() + QPoint(60, 70), QSize(700, 560)));
    worksheetPlace = first.worksheet->geometry();
    first.viewer->show();
    first.viewer->setGeometry(QRect(area.topLeft() + QPoint(30, 90), QSize(1000, 600)));
    viewerPlace = first.viewer->geometry();
    first.viewer->SetPlotPanelWidth(333);
    first.memory->Save();
  }
  {
    QSettings written(SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(written.value("worksheet/geometry").toRect(), worksheetPlace);
    EXPECT_EQ(written.value("viewer/plotPanelWidth").toInt(), 333);
  }
  Windows second = Start();
  second.worksheet->show();
  EXPECT_EQ(second.worksheet->geometry(), worksheetPlace);
  EXPECT_EQ(second.viewer->PlotPanelWidth(), 333);
  // A run shows the viewer where it was, its plot panel as wide as it was.
  second.worksheet->Field(1)->setText(QStringLiteral("10"));
  second.worksheet->Field(2)->setText(QStringLiteral("1"));
  dialogs_.openAnswers = {GuiDataFile("ten-controls-one-covariate.txt")};
  QSignalSpy ended(second.worksheet.get(), &TfrmTemplate::computeEnded);
  Find<QPushButton>(second.worksheet.get(), "cmdCompute")->click();
  ASSERT_TRUE(WaitUntil([&] { return ended.count() > 0; }));
  ASSERT_TRUE(second.viewer->isVisible());
  EXPECT_EQ(second.viewer->geometry().topLeft(), viewerPlace.topLeft());
  ASSERT_TRUE(second.viewer->PlotsShown());
  EXPECT_EQ(Find<QDockWidget>(second.viewer.get(), "plotDock")->width(), 333);
  // The user widens the panel: that width is the one written.
  QDockWidget* dock = Find<QDockWidget>(second.viewer.get(), "plotDock");
  second.viewer->resizeDocks({dock}, {380}, Qt::Horizontal);
  ASSERT_TRUE(WaitUntil([&] { return dock->width() == 380; }, 2000)) << dock->width();
  second.memory->Save();
  EXPECT_EQ(QSettings(SettingsFile(), QSettings::IniFormat).value("viewer/plotPanelWidth").toInt(),
            380);
}

TEST_F(WindowMemoryRunTest, APlaceFromALargerScreenIsFittedToThisOne) {
  worksheet_->hide();
  {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.setValue("worksheet/geometry", QRect(2500, 1600, 2400, 1500));
    settings.setValue("viewer/plotPanelWidth", 99999);
  }
  Windows w = Start();
  w.worksheet->show();
  const QRect area = w.worksheet->screen()->availableGeometry();
  EXPECT_TRUE(area.contains(w.worksheet->frameGeometry()))
      << w.worksheet->frameGeometry().x() << "," << w.worksheet->frameGeometry().y() << " "
      << w.worksheet->frameGeometry().width() << "x" << w.worksheet->frameGeometry().height();
  EXPECT_LT(w.worksheet->width(), 1280);
  EXPECT_LE(w.viewer->PlotPanelWidth(), 1600);
  // Nothing written to the settings until Save.
  EXPECT_EQ(QSettings(SettingsFile(), QSettings::IniFormat).value("worksheet/geometry").toRect(),
            QRect(2500, 1600, 2400, 1500));
}

}  // namespace
}  // namespace quorvane::testing
