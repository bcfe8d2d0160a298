// Both windows on a 1280 x 900 screen at the scale factor the run was started
// with (CTest runs these tests at QT_SCALE_FACTOR 1, 1.5 and 2), once for each
// of the tests' faces: each window's frame, and every button, field and text
// area in it, lie on the screen.
#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>

#include "TemplateResults/plot_panel.h"
#include "gui/window_placement.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

class ScreenFitTest : public GuiFaceTest {
 protected:
  // Every control a user needs, as the screen shows it.
  void ExpectOnScreen(QWidget* window, const char* name, const QStringList& required) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QApplication::processEvents();
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << "frame " << Text(window->frameGeometry()) << " area " << Text(area);
    EXPECT_GE(window->width(), window->minimumWidth());
    EXPECT_GE(window->height(), window->minimumHeight());
    QStringList checked;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool wanted = qobject_cast<QAbstractButton*>(control) != nullptr ||
                          qobject_cast<QLineEdit*>(control) != nullptr ||
                          qobject_cast<QPlainTextEdit*>(control) != nullptr ||
                          qobject_cast<QGroupBox*>(control) != nullptr ||
                          qobject_cast<QMenuBar*>(control) != nullptr;
      if (!wanted || !control->isVisible() || control->window() != window) continue;
      const QRect inWindow(control->mapTo(window, QPoint(0, 0)), control->size());
      const QRect onScreen(control->mapToGlobal(QPoint(0, 0)), control->size());
      EXPECT_TRUE(window->rect().contains(inWindow))
          << control->objectName().toStdString() << " " << Text(inWindow);
      EXPECT_TRUE(area.contains(onScreen))
          << control->objectName().toStdString() << " " << Text(onScreen);
      checked << control->objectName();
    }
    for (const QString& control : required) {
      EXPECT_TRUE(checked.contains(control)) << control.toStdString() << " not shown";
    }
  }
  // Whether the screen has room for the window at its preferred client size.
  static bool Room(const QWidget* window, const QSize& preferred) {
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize area = window->screen()->availableGeometry().size();
    return area.width() >= preferred.width() + frame.width() &&
           area.height() >= preferred.height() + frame.height();
  }
  static std::string Text(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
  }
};

TEST_P(ScreenFitTest, BothWindowsAndEveryControlLieOnTheScreen) {
  const QScreen* screen = worksheet_->screen();
  ASSERT_NE(screen, nullptr);
  const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
  const double scale = factor.isEmpty() ? 1.0 : factor.toDouble();
  ASSERT_DOUBLE_EQ(screen->devicePixelRatio(), scale);
  ASSERT_EQ(screen->geometry().size() * scale, QSize(1280, 900))
      << "run on the test screen (QT_QPA_PLATFORM=offscreen:configfile=...)";

  const QStringList worksheetControls = {
      "DescripFld",    "memoComments",   "Prior_Radio_0", "Prior_Radio_1", "RadioGroup1_0",
      "RadioGroup1_1", "RadioGroup1_2",  "txtInput1",     "txtInput2",     "cmdCompute",
      "btnclearData",  "cmdShowResults", "ExitBtn"};
  ExpectOnScreen(worksheet_.get(), "worksheet", worksheetControls);
  // Where the screen has room the windows open at their preferred size.
  const QSize worksheetSize(792, 573 + worksheet_->layout()->menuBar()->height());
  EXPECT_EQ(worksheet_->size() == worksheetSize, Room(worksheet_.get(), worksheetSize));

  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  ExpectOnScreen(viewer_.get(), "results viewer",
                 {"memoResults", "cmdSaveOutput", "cmdClearResults", "cmdReturn", "cmdExit"});
  EXPECT_EQ(viewer_->screen(), screen);
  const QSize menu(0, viewer_->menuBar()->height());
  EXPECT_EQ(viewer_->centralWidget()->size() == QSize(792, 554),
            Room(viewer_.get(), QSize(792, 554) + menu));
  // With the plot panel shown (where there was no room it did not open by
  // itself), the window still lies on the screen with every control.
  // Docked beside the report where the screen has room for both, else a
  // window of its own.
  viewer_->ShowPlots(true);
  QWidget* plots = &viewer_->Plots();
  QStringList viewerControls = {"memoResults", "cmdSaveOutput", "cmdClearResults", "cmdReturn",
                                "cmdExit"};
  if (plots->window() == viewer_.get()) {
    viewerControls << "cmdSavePlot";
    EXPECT_GT(viewer_->memoResults()->width(), plots->width());
  } else {
    ExpectOnScreen(plots->window(), "plot panel", {"cmdSavePlot"});
    EXPECT_EQ(plots->window()->screen(), screen);
  }
  ExpectOnScreen(viewer_.get(), "results viewer with its plots", viewerControls);
  if (scale == 1.0) {
    EXPECT_EQ(plots->window(), viewer_.get());
  } else if (scale == 2.0) {
    EXPECT_NE(plots->window(), viewer_.get());
  }
  if (plots->window() != viewer_.get()) {
    // A window of its own with the window manager's frame (not a frameless
    // tool window), which the Plots menu docks again.
    EXPECT_EQ(plots->window()->windowType(), Qt::Window);
    EXPECT_FALSE(plots->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(plots->window()->windowFlags().testFlag(Qt::WindowTitleHint));
    QAction* dock = viewer_->findChild<QAction*>("mnuDockPlots");
    ASSERT_NE(dock, nullptr);
    EXPECT_TRUE(dock->isEnabled());
  }

  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  ExpectOnScreen(worksheet_.get(), "worksheet again", worksheetControls);
}

INSTANTIATE_TEST_SUITE_P(Faces, ScreenFitTest, ::testing::ValuesIn(TestFaces()), FaceName);
// A fixed-pitch default face, as the font configuration of a system with the
// Liberation fonts alone gives for sans-serif: the windows use a proportional
// one and still fit.
INSTANTIATE_TEST_SUITE_P(FixedPitchDefault, ScreenFitTest,
                         ::testing::Values(QStringLiteral("Liberation Mono")), FaceName);

}  // namespace
}  // namespace quorvane::testing

namespace {

using quorvane::FittedClientGeometry;

TEST(WindowPlacement, FittedGeometryCentresShrinksToTheAreaButNotBelowTheMinimum) {
  const QRect area(100, 50, 1280, 870);  // a screen's area less a task bar at the top
  const QMargins frame(2, 30, 2, 2);
  const struct {
    QSize preferred;
    QSize minimum;
    QRect client;
  } cases[] = {
      // Room: the preferred size, the frame centred.
      {{792, 573}, {600, 350}, {100 + 242 + 2, 50 + 132 + 30, 792, 573}},
      // Too wide and too tall: as large as the area less the frame.
      {{2000, 1000}, {600, 350}, {100 + 2, 50 + 30, 1276, 838}},
      // Even the minimum does not fit: the title bar and top left stay on it.
      {{2000, 1000}, {1400, 900}, {100 + 2, 50 + 30, 1400, 900}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FittedClientGeometry(area, frame, c.preferred, c.minimum), c.client)
        << c.preferred.width() << "x" << c.preferred.height();
  }
}

}  // namespace
