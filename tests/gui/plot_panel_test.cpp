// The results viewer's plot panel after real runs: docked beside the report
// with the latest analysis's plots, Save Plot... through the dialog seam in
// each format, Clear Results, hiding and showing, and the plots' page in
// Print All (a PDF read back with pdftotext).
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QPrinter>
#include <QScreen>

#include <QProcess>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include "TemplateForm/analysis.h"
#include "TemplateResults/plot_panel.h"
#include "gui/plots/plot_render.h"
#include "gui/text_printing.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

class PlotPanelTest : public GuiTest {
 protected:
  bool Run() {
    Field(1)->setText(QStringLiteral("10"));
    Field(2)->setText(QStringLiteral("1"));
    return Compute(GuiDataFile("ten-controls-one-covariate.txt"));
  }
  QAction* Action(const char* name) {
    auto* action = viewer_->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  QDockWidget* Dock() { return Find<QDockWidget>(viewer_.get(), "plotDock"); }
  QByteArray Head(const QString& path, int bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.read(bytes);
  }
  // The screen has room for the report at its preferred width beside the panel.
  bool RoomBeside() const {
    return viewer_->screen()->availableGeometry().width() >= 792 + 430 + 20;
  }
};

// An analysis of the README's example run by the core, with the deficit
// tests or without, with its plot data.
Analysis ExampleAnalysis(bool deficits) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.drawCount = kTestDraws;
  request.plots = true;
  request.deficits.asked = deficits;
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  AnalysisOutcome outcome = RunAnalysis(request);
  EXPECT_TRUE(outcome.ok());
  return outcome.result();
}

// Pixels that are neither white nor grey in the rectangle of the image.
int Coloured(const QImage& image, const QRect& rect) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); y += 2) {
    for (int x = rect.left(); x <= rect.right(); x += 2) {
      const QColor c = image.pixelColor(x, y);
      n += c.red() != c.green() || c.green() != c.blue() ? 1 : 0;
    }
  }
  return n;
}

TEST_F(PlotPanelTest, TheDockedPanelOpensWideEnoughToRead) {
  ASSERT_TRUE(Run());
  ASSERT_TRUE(RoomBeside());
  ASSERT_TRUE(viewer_->PlotsShown());
  EXPECT_GE(Dock()->width(), 400);
  EXPECT_LE(Dock()->width(), 450);
  EXPECT_EQ(viewer_->PlotPanelWidth(), Dock()->width());
  // Two plots fit without scrolling, each at a readable width.
  const PanelPlotLayout shown = viewer_->Plots().ShownLayout();
  auto* scroller = Find<QScrollArea>(viewer_.get(), "plotScroller");
  EXPECT_EQ(shown.columns, 1);
  EXPECT_EQ(shown.canvasHeight, scroller->viewport()->height());
  EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());
}

TEST_F(PlotPanelTest, FloatedThePanelIsAFramedWindowAndTheMenuDocksItAgain) {
  ASSERT_TRUE(Run());
  ASSERT_TRUE(viewer_->PlotsShown());
  QAction* dockAgain = Action("mnuDockPlots");
  EXPECT_FALSE(dockAgain->isEnabled());
  Dock()->setFloating(true);
  ASSERT_TRUE(WaitUntil([&] { return Dock()->isVisible(); }, 2000));
  EXPECT_EQ(Dock()->windowType(), Qt::Window);
  EXPECT_TRUE(Dock()->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_NE(Dock()->titleBarWidget(), nullptr);  // the window manager's title instead
  EXPECT_TRUE(dockAgain->isEnabled());
  dockAgain->trigger();
  EXPECT_FALSE(Dock()->isFloating());
  EXPECT_EQ(viewer_->dockWidgetArea(Dock()), Qt::RightDockWidgetArea);
  EXPECT_EQ(Dock()->titleBarWidget(), nullptr);
  EXPECT_FALSE(dockAgain->isEnabled());
  EXPECT_TRUE(viewer_->PlotsShown());
  EXPECT_EQ(viewer_->centralWidget()->size(), QSize(792, 554));
}

TEST_F(PlotPanelTest, TheListTellsTheRunsApartByNumberFileAndPrior) {
  ASSERT_TRUE(Run());
  Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->click();  // standard theory
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  auto* choice = Find<QComboBox>(viewer_.get(), "plotChoice");
  ASSERT_EQ(choice->count(), 2);
  EXPECT_EQ(choice->itemText(0), "Analysis 1: ten-controls-one-covariate.txt, calibrated prior");
  EXPECT_EQ(choice->itemText(1),
            "Analysis 2: ten-controls-one-covariate.txt, standard-theory prior");
  // The whole path in the tooltip.
  EXPECT_EQ(choice->itemData(1, Qt::ToolTipRole).toString(),
            QDir::toNativeSeparators(GuiDataFile("ten-controls-one-covariate.txt")));
  // Summary statistics typed in: named so.
  Analysis typed = ExampleAnalysis(false);
  typed.fromSummary = true;
  typed.dataFileName.clear();
  EXPECT_EQ(AnalysisName(3, typed), "Analysis 3: summary statistics entered, calibrated prior");
}

TEST_F(PlotPanelTest, WithTheDeficitTestsThePanelShowsFourPlotsAtAReadableWidth) {
  viewer_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer_.get()));
  PlotPanel& panel = viewer_->Plots();
  auto* scroller = Find<QScrollArea>(viewer_.get(), "plotScroller");
  QWidget* canvas = Find<QWidget>(viewer_.get(), "plotCanvas");
  for (const bool deficits : {false, true, false}) {
    SCOPED_TRACE(deficits ? "with the deficit tests" : "without");
    Analysis a = ExampleAnalysis(deficits);
    ASSERT_TRUE(a.plot.has_value());
    panel.AddPlots(a, std::move(*a.plot));
    ASSERT_TRUE(viewer_->PlotsShown());
    QTest::qWait(20);
    const std::size_t count = PlotKinds(*panel.Selected()).size();
    EXPECT_EQ(count, deficits ? 4u : 2u);
    const PanelPlotLayout shown = panel.ShownLayout();
    const QSize room = scroller->viewport()->size();
    if (deficits) {
      // Four plots in about 430 pixels: one above the other, scrolled.
      EXPECT_EQ(shown.columns, 1);
      EXPECT_GT(shown.canvasHeight, room.height());
      EXPECT_EQ(canvas->height(), shown.canvasHeight);
      EXPECT_TRUE(scroller->verticalScrollBar()->isVisible());
    } else {
      EXPECT_EQ(canvas->height(), room.height());
      EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());
    }
    // Each plot's cell is drawn, none narrower than the readable width.
    const QImage image = canvas->grab().toImage();
    const int rows = static_cast<int>((count + shown.columns - 1) / shown.columns);
    const double scale = std::min(double(canvas->width()) / (shown.columns * kPlotWidth),
                                  double(canvas->height()) / (rows * kPlotHeight));
    EXPECT_GE(scale * kPlotWidth, deficits ? kLeastReadablePlotWidth : 200);
    for (int i = 0; i < static_cast<int>(count); ++i) {
      const QRect cell(static_cast<int>((i % shown.columns) * kPlotWidth * scale),
                       static_cast<int>((i / shown.columns) * kPlotHeight * scale),
                       static_cast<int>(kPlotWidth * scale), static_cast<int>(kPlotHeight * scale));
      EXPECT_GT(Coloured(image, cell.intersected(image.rect())), 100) << "plot " << i;
    }
  }
}

TEST(PanelPlotLayoutTest, FourPlotsScrollWhereFittingThemWouldMakeThemTooSmall) {
  const struct {
    QSize room;
    int count;
    PanelPlotLayout layout;
  } cases[] = {
      {{430, 554}, 2, {1, 554}},      // the two plots fit one above the other
      {{900, 300}, 2, {2, 300}},      // side by side
      {{430, 554}, 4, {1, 1118}},     // four: stacked at 430 wide, scrolled
      {{800, 554}, 4, {2, 554}},      // two columns of 400 fit: two rows of 260
      {{1600, 1100}, 4, {2, 1100}},   // room for 2 x 2 at full size
      {{380, 2000}, 4, {1, 2000}},    // tall enough to fit them stacked
      {{300, 554}, 4, {1, 4 * 195}},  // narrower than readable: one column
      {{0, 0}, 4, {1, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LayOutPanelPlots(c.room, c.count), c.layout)
        << c.room.width() << " x " << c.room.height() << ", " << c.count << " plots";
  }
}

// quorvane-plot draws one plot with --only, the deficit plots too.
TEST(PlotProgramTest, OnlyDrawsTheOnePlotAskedForAndRefusesAMissingDeficitPlot) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const Analysis withDeficits = ExampleAnalysis(true);
  const Analysis without = ExampleAnalysis(false);
  const struct {
    const Analysis* a;
    QStringList only;
    int exitCode;
    QSize size;  // of the PNG written (none when the size is empty)
  } cases[] = {
      {&withDeficits, {"--only", "deficit-y1"}, 0, {kPlotWidth, kPlotHeight}},
      {&withDeficits, {"--only", "deficit-y2"}, 0, {kPlotWidth, kPlotHeight}},
      {&withDeficits, {"--only", "case"}, 0, {kPlotWidth, kPlotHeight}},
      {&withDeficits, {}, 0, {kPlotWidth, 4 * kPlotHeight}},
      {&without, {}, 0, {kPlotWidth, 2 * kPlotHeight}},
      {&without, {"--only", "deficit-y1"}, 1, {}},
      {&withDeficits, {"--only", "deficit-y3"}, 2, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.only.join(' ').toStdString());
    const QString file = QDir(scratch.path()).filePath(QStringLiteral("p%1.png").arg(n++));
    QProcess program;
    program.start(QStringLiteral(QUORVANE_PLOT_PATH), c.only + QStringList{file});
    ASSERT_TRUE(program.waitForStarted());
    program.write(QByteArray::fromStdString(WritePlotData(*c.a->plot)));
    program.closeWriteChannel();
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), c.exitCode) << program.readAllStandardError().toStdString();
    if (c.size.isEmpty()) {
      EXPECT_FALSE(QFile::exists(file));
      continue;
    }
    const QImage image(file);
    EXPECT_EQ(image.size(), c.size);
  }
}

TEST_F(PlotPanelTest, ARunShowsItsPlotsBesideTheReportAndTheLatestIsSelected) {
  ASSERT_TRUE(Run());
  ASSERT_TRUE(viewer_->isVisible());
  PlotPanel& panel = viewer_->Plots();
  ASSERT_EQ(panel.Count(), 1);
  ASSERT_NE(panel.Selected(), nullptr);
  EXPECT_EQ(panel.Selected()->posterior.drawCount, kTestDraws);
  if (!RoomBeside()) GTEST_SKIP() << "the test screen is too narrow for the panel beside";
  EXPECT_TRUE(viewer_->PlotsShown());
  EXPECT_EQ(viewer_->dockWidgetArea(Dock()), Qt::RightDockWidgetArea);
  // Beside the report, which keeps its preferred size and most of the window.
  QWidget* client = viewer_->centralWidget();
  EXPECT_EQ(client->size(), QSize(792, 554));
  EXPECT_GE(Dock()->geometry().left(), client->geometry().right());
  EXPECT_GT(viewer_->memoResults()->width(), Dock()->width());
  EXPECT_TRUE(viewer_->screen()->availableGeometry().contains(viewer_->frameGeometry()));
  // The canvas draws the plots (not the empty panel's line).
  QWidget* canvas = Find<QWidget>(viewer_.get(), "plotCanvas");
  const QImage shown = canvas->grab().toImage();
  int coloured = 0;
  for (int y = 0; y < shown.height(); y += 2) {
    for (int x = 0; x < shown.width(); x += 2) {
      const QColor c = shown.pixelColor(x, y);
      coloured += c.red() != c.green() || c.green() != c.blue() ? 1 : 0;
    }
  }
  EXPECT_GT(coloured, 200);

  // A second run: its plots are added and selected; the first stay listed.
  const PlotData first = *panel.Selected();
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  ASSERT_EQ(panel.Count(), 2);
  EXPECT_EQ(panel.Selected(), &panel.PlotAt(1));
  EXPECT_EQ(panel.PlotAt(0), first);
  auto* choice = Find<QComboBox>(viewer_.get(), "plotChoice");
  EXPECT_EQ(choice->currentIndex(), 1);
  EXPECT_TRUE(choice->currentText().startsWith("Analysis 2: "))
      << choice->currentText().toStdString();
  EXPECT_EQ(client->size(), QSize(792, 554));  // the window was not widened twice
}

TEST_F(PlotPanelTest, SavePlotWritesEachFormatThroughTheDialogAndRefusesOthers) {
  ASSERT_TRUE(Run());
  // SVG where the build has Qt SVG (not on Windows), refused like any other
  // type where it has not.
  const QByteArray svgHead = kPlotsSaveSvg ? QByteArray("<?xml") : QByteArray();
  const QString types = kPlotsSaveSvg ? ".png, .svg or .pdf" : ".png or .pdf";
  const QString intervalText =
      QString::fromStdString(viewer_->Plots().Selected()->posterior.legend.at(2).text);
  ASSERT_TRUE(intervalText.contains("credible")) << intervalText.toStdString();
  const struct {
    const char* file;
    const char* how;  // "button" or "menu"
    QByteArray head;  // the file's first bytes; empty: nothing written, an error shown
  } cases[] = {
      {"plots.png", "button", QByteArray("\x89PNG\r\n\x1a\n", 8)},
      {"plots.svg", "menu", svgHead},
      {"plots.PDF", "button", QByteArray("%PDF-")},
      {"plots.bmp", "menu", QByteArray()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    dialogs_.messages.clear();
    const QString path = ScratchFile(c.file);
    dialogs_.saveAnswers = {path};
    if (std::string(c.how) == "button") {
      Find<QPushButton>(viewer_.get(), "cmdSavePlot")->click();
    } else {
      Action("mnuSavePlot")->trigger();
    }
    if (c.head.isEmpty()) {
      EXPECT_FALSE(QFile::exists(path));
      ASSERT_EQ(dialogs_.messages.size(), 1u);
      EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
      EXPECT_TRUE(dialogs_.messages[0].text.contains(types))
          << dialogs_.messages[0].text.toStdString();
      continue;
    }
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(Head(path, static_cast<int>(c.head.size())), c.head);
  }
  // The drawings hold the plots' own texts: the interval as the legend gives it.
  if (kPlotsSaveSvg) {
    QFile svg(ScratchFile("plots.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(svg.readAll()).contains(intervalText.toHtmlEscaped()));
  }
  EXPECT_TRUE(PdfText(ScratchFile("plots.PDF")).contains(intervalText));
  // The dialog offers the formats written, proposing the last file chosen.
  ASSERT_EQ(dialogs_.saveRequests.size(), 4u);
  EXPECT_EQ(dialogs_.saveRequests[0].proposedName, "plots.png");
  EXPECT_EQ(dialogs_.saveRequests[0].filter,
            kPlotsSaveSvg ? "PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"
                          : "PNG image (*.png);;PDF document (*.pdf)");
  EXPECT_EQ(dialogs_.saveRequests[1].proposedName, ScratchFile("plots.png"));
  // Cancelled: nothing written, no message.
  dialogs_.messages.clear();
  dialogs_.saveAnswers = {std::nullopt};
  Find<QPushButton>(viewer_.get(), "cmdSavePlot")->click();
  EXPECT_EQ(dialogs_.saveRequests.size(), 5u);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(PlotPanelTest, ClearResultsClearsThePlotsAndSavePlotIsOff) {
  ASSERT_TRUE(Run());
  ASSERT_EQ(viewer_->Plots().Count(), 1);
  EXPECT_TRUE(Find<QPushButton>(viewer_.get(), "cmdSavePlot")->isEnabled());
  EXPECT_TRUE(Action("mnuSavePlot")->isEnabled());
  // Answering No to the discard question keeps the plots with the report.
  dialogs_.confirmAnswers = {MessageButton::No};
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  EXPECT_EQ(viewer_->Plots().Count(), 1);
  dialogs_.confirmAnswers = {MessageButton::Yes};
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  EXPECT_TRUE(viewer_->Lines().isEmpty());
  EXPECT_EQ(viewer_->Plots().Count(), 0);
  EXPECT_EQ(viewer_->Plots().Selected(), nullptr);
  EXPECT_FALSE(Find<QPushButton>(viewer_.get(), "cmdSavePlot")->isEnabled());
  EXPECT_FALSE(Action("mnuSavePlot")->isEnabled());
  dialogs_.saveAnswers = {ScratchFile("none.png")};
  Action("mnuSavePlot")->trigger();  // even if reached: nothing asked, nothing written
  EXPECT_TRUE(dialogs_.saveRequests.empty());
  EXPECT_FALSE(QFile::exists(ScratchFile("none.png")));
}

TEST_F(PlotPanelTest, HidingGivesTheReportTheRoomAndTheChoiceIsKeptForLaterRuns) {
  ASSERT_TRUE(Run());
  QAction* toggle = Action("mnuShowPlots");
  EXPECT_FALSE(QKeySequence::mnemonic(toggle->text()).isEmpty());
  EXPECT_FALSE(QKeySequence::mnemonic(Find<QMenu>(viewer_.get(), "mnuPlots")->title()).isEmpty());
  viewer_->ShowPlots(true);  // shown (also where it did not open by itself)
  ASSERT_TRUE(viewer_->PlotsShown());
  EXPECT_TRUE(toggle->isChecked());
  QWidget* client = viewer_->centralWidget();
  const int windowWidth = viewer_->width();
  const int besideWidth = client->width();

  toggle->trigger();  // hidden, as from the menu
  QApplication::processEvents();
  EXPECT_FALSE(viewer_->PlotsShown());
  EXPECT_FALSE(Dock()->isVisible());
  EXPECT_EQ(viewer_->width(), windowWidth);  // the window stays; the report takes the room
  EXPECT_EQ(client->width(), windowWidth);
  EXPECT_GT(client->width(), besideWidth);

  // A later run keeps the panel hidden; its plots are there when shown again.
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  EXPECT_FALSE(viewer_->PlotsShown());
  EXPECT_EQ(viewer_->Plots().Count(), 2);
  toggle->trigger();
  QApplication::processEvents();
  EXPECT_TRUE(viewer_->PlotsShown());
  EXPECT_TRUE(Dock()->isVisible());
  EXPECT_EQ(viewer_->width(), windowWidth);
  EXPECT_EQ(client->width(), besideWidth);
  EXPECT_TRUE(viewer_->screen()->availableGeometry().contains(viewer_->frameGeometry()));
  EXPECT_GT(viewer_->memoResults()->width(), Dock()->width());

  // Closed by its own title bar button: the menu says so, and it stays hidden.
  Dock()->close();
  QApplication::processEvents();
  EXPECT_FALSE(toggle->isChecked());
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  EXPECT_FALSE(viewer_->PlotsShown());
}

TEST_F(PlotPanelTest, PrintAllAddsAPlotPageForEachAnalysisAfterTheUnchangedText) {
  ASSERT_TRUE(Run());
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  ASSERT_EQ(viewer_->Plots().Count(), 2);
  const QString all = ScratchFile("all.pdf");
  dialogs_.pdfAnswers = {all};
  Action("mnuPrint")->trigger();
  ASSERT_TRUE(QFile::exists(all));

  // The same text printed alone, as Print All printed it before there were plots.
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString textOnly = ScratchFile("text.pdf");
  printer.setOutputFileName(textOnly);
  QString error;
  ASSERT_TRUE(PrintText(printer, viewer_->WholeText() + QStringLiteral("\r\n"), error));
  const QString expected = PdfText(textOnly);
  const int textPages = PdfPages(textOnly);
  ASSERT_GE(textPages, 1);

  const QString printed = PdfText(all);
  ASSERT_EQ(PdfPages(all), textPages + 2);
  const QStringList pages = printed.split(QLatin1Char('\f'));
  // The same pages but for the footers (the plots' pages count too).
  QStringList textPagesAlone = expected.split(QLatin1Char('\f')).mid(0, textPages);
  for (int i = 0; i < textPages; ++i) {
    EXPECT_EQ(WithoutBlanks(WithoutPageFooters(pages.value(i))),
              WithoutBlanks(WithoutPageFooters(textPagesAlone.value(i))))
        << i;
  }
  for (int i = 0; i < textPages + 2; ++i) {
    EXPECT_TRUE(
        pages.value(i).contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(textPages + 2)))
        << i;
  }
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const QString page = pages.value(textPages + i);
    const PlotData& plot = viewer_->Plots().PlotAt(i);
    EXPECT_TRUE(page.contains(QStringLiteral("Analysis %1: ").arg(i + 1)));
    EXPECT_TRUE(page.contains(QString::fromStdString(plot.posterior.legend.at(2).text)));
    EXPECT_TRUE(WithoutBlanks(page).contains(
        WithoutBlanks(QString::fromStdString(plot.caseAmongControls.xTitle))));
    EXPECT_FALSE(page.contains("Two-tailed"));  // no report text on the plots' page
  }

  // Print Selection prints the selection alone.
  viewer_->memoResults()->selectAll();
  const QString selection = ScratchFile("selection.pdf");
  dialogs_.pdfAnswers = {selection};
  Action("mnuPrintSelection")->trigger();
  ASSERT_TRUE(QFile::exists(selection));
  EXPECT_LE(PdfPages(selection), textPages);
  EXPECT_FALSE(PdfText(selection).contains(
      QString::fromStdString(viewer_->Plots().PlotAt(0).posterior.legend.at(2).text)));
}

}  // namespace
}  // namespace quorvane::testing
