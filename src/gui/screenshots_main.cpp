// quorvane-screenshots: renders the two windows of the desktop program to PNG
// files without a display (run it on Qt's offscreen platform), for the
// documentation: the worksheet as it starts, the worksheet with summary
// statistics typed in, and the results viewer after a real analysis of a data
// file, scrolled down to the results.
//
// Usage: quorvane-screenshots OUTDIR DATAFILE CONTROLS COVARIATES
// Writes OUTDIR/worksheet.png, OUTDIR/summary-worksheet.png,
// OUTDIR/results-viewer.png (the report alone) and
// OUTDIR/results-viewer-plots.png (with the plot panel beside it).
//
// Usage: quorvane-screenshots --summary-on-screen FILE
// Writes FILE: the whole screen with the worksheet holding the summary
// statistics and the deficit option of summary-worksheet.png.
//
// Usage: quorvane-screenshots --on-screen FILE [VIEWERFILE DATAFILE CONTROLS COVARIATES]
// Writes FILE: the whole screen, in device pixels, with the worksheet where
// the program places it when it starts (the window manager's frame is not
// drawn), and VIEWERFILE likewise with the results viewer after the analysis
// of DATAFILE. With QT_SCALE_FACTOR set it shows the scaled window on its
// screen.
//
// Usage: quorvane-screenshots --desktop VIEWERFILE PREVIEWFILE ABOUTFILE DATAFILE CONTROLS
// COVARIATES On a real display with a window manager (such as Xvfb with openbox): the results
// viewer with the report and the four plots of the analysis of DATAFILE with the deficit tests
// (1,000,000 draws), then its print preview, then the About box, each written as the whole screen,
// frames and all.
//
// --face FAMILY before the other arguments makes FAMILY the application's
// face (as a desktop whose user-interface font it is), so that the pictures do
// not depend on the fonts the machine prefers; without it, the platform's.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFontInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include <QRadioButton>
#include <QTableWidget>

#include "TemplateForm/analysis.h"
#include "TemplateForm/qt/TfrmTemplate.h"
#include "TemplateForm/qt/summary_panel.h"
#include "TemplateForm/report.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "TemplateResults/plot_panel.h"
#include "gui/dialogs.h"
#include "gui/numeric_locale.h"
#include "gui/scripted_dialogs.h"
#include "gui/window_placement.h"

namespace {

bool Save(QWidget& window, const QString& path) {
  QApplication::processEvents();
  if (!window.grab().save(path, "PNG")) {
    std::fprintf(stderr, "quorvane-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("wrote %s\n", qPrintable(QDir::toNativeSeparators(path)));
  return true;
}

// The screen with the window on it, as the program placed it.
bool SaveOnScreen(QWidget& window, const QString& path) {
  QApplication::processEvents();
  const QScreen* screen = window.screen();
  const qreal scale = screen->devicePixelRatio();
  QPixmap canvas(screen->geometry().size() * scale);
  canvas.setDevicePixelRatio(scale);
  canvas.fill(QColor(0x2b, 0x3a, 0x4a));
  QPainter painter(&canvas);
  painter.drawPixmap(window.geometry().topLeft() - screen->geometry().topLeft(), window.grab());
  painter.end();
  if (!canvas.save(path, "PNG")) {
    std::fprintf(stderr, "quorvane-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("wrote %s (%dx%d screen at %g%%, window %dx%d at %d,%d)\n",
              qPrintable(QDir::toNativeSeparators(path)), canvas.width(), canvas.height(),
              scale * 100, window.width(), window.height(), window.x(), window.y());
  return true;
}

// Published norms as a user types them: 20 controls, two covariates, each
// task also tested for a deficit (higher scores poorer on Task Y2). The
// worksheet is left so.
void EnterSummaryStatistics(quorvane::TfrmTemplate& worksheet) {
  worksheet.findChild<QRadioButton*>(QStringLiteral("DataKind_Radio_1"))->click();
  worksheet.Field(1)->setText(QStringLiteral("20"));
  worksheet.Field(2)->setText(QStringLiteral("2"));
  quorvane::SummaryTexts t = quorvane::SummaryTexts::Empty(20, 2);
  t.means = {"20.35", "26.90", "101.80", "13.55"};
  t.sds = {"4.22", "3.81", "13.76", "2.54"};
  t.caseScores = {"9", "27", "84", "11"};
  t.correlations = {{"0.55"}, {"0.67", "0.71"}, {"0.30", "0.09", "-0.07"}};
  worksheet.Summary()->SetTexts(t);
  worksheet.findChild<QCheckBox*>(QStringLiteral("chkDeficits"))->setChecked(true);
  worksheet.findChild<QCheckBox*>(QStringLiteral("chkHigherPoorerY2"))->setChecked(true);
  worksheet.Summary()->StatisticsGrid()->setCurrentCell(2, 0);
  worksheet.Summary()->StatisticsGrid()->setFocus();
  // The grids get their room once they are laid out: a moment's events.
  QEventLoop settle;
  QTimer::singleShot(200, &settle, &QEventLoop::quit);
  settle.exec();
}

bool SaveSummaryWorksheet(quorvane::TfrmTemplate& worksheet, const QString& path) {
  EnterSummaryStatistics(worksheet);
  const bool saved = Save(worksheet, path);
  worksheet.findChild<QRadioButton*>(QStringLiteral("DataKind_Radio_0"))->click();
  worksheet.findChild<QCheckBox*>(QStringLiteral("chkDeficits"))->setChecked(false);
  worksheet.findChild<QCheckBox*>(QStringLiteral("chkHigherPoorerY2"))->setChecked(false);
  return saved;
}

// The analysis of dataFile (shown in the report as given) with N and k typed
// in, as the Compute button runs it; returns whether it wrote a report.
bool Compute(quorvane::TfrmTemplate& worksheet, quorvane::ScriptedDialogs& dialogs,
             const QString& dataFile, const QString& controls, const QString& covariates) {
  worksheet.Field(1)->setText(controls);
  worksheet.Field(2)->setText(covariates);
  dialogs.openAnswers.push_back(dataFile);
  bool written = false;
  QEventLoop loop;
  QObject::connect(&worksheet, &quorvane::TfrmTemplate::computeEnded, &loop, [&](bool ok) {
    written = ok;
    loop.quit();
  });
  QTimer::singleShot(0, &worksheet, &quorvane::TfrmTemplate::cmdComputeClick);
  loop.exec();
  if (!written) {
    std::fputs("quorvane-screenshots: the analysis did not complete:\n", stderr);
    for (const auto& message : dialogs.messages) {
      std::fprintf(stderr, "  %s\n", qPrintable(message.text));
    }
  }
  return written;
}

// Scrolled down to the results of the analysis, as a reader would.
void ScrollToEnd(quorvane::TfrmTemplateResults& viewer) {
  QApplication::processEvents();
  QScrollBar* scroll = viewer.memoResults()->verticalScrollBar();
  scroll->setValue(scroll->maximum());
}

// Waits ms milliseconds with the event loop running.
void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The whole screen as it shows, window manager's frames and all.
bool SaveScreen(const QString& path) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap shot = screen->grabWindow(0);
  if (!shot.save(path, "PNG")) {
    std::fprintf(stderr, "quorvane-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("wrote %s (%dx%d)\n", qPrintable(path), shot.width(), shot.height());
  return true;
}

// While a modal dialog of the viewer runs: sized to `size` (as far as the
// screen allows), then the screen saved to path, then the dialog closed.
void ShootNextModal(const QString& path, const QSize& size, bool& saved) {
  QTimer::singleShot(1500, [path, size, &saved] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    if (size.isValid()) {
      dialog->resize(size.boundedTo(dialog->screen()->availableGeometry().size() - QSize(20, 60)));
      quorvane::KeepOnScreen(*dialog);
    }
    QTimer::singleShot(1500, [path, &saved] {
      saved = SaveScreen(path);
      if (QWidget* d = QApplication::activeModalWidget()) d->close();
    });
  });
}

// The --desktop pictures (see the usage above).
int Desktop(const QStringList& args) {
  quorvane::AnalysisRequest request;
  request.controls = args[6].toStdString();
  request.covariates = args[7].toStdString();
  request.plots = true;
  request.deficits.asked = true;
  request.data = quorvane::RawDataFile{args[5].toStdString()};
  quorvane::AnalysisOutcome outcome = quorvane::RunAnalysis(request);
  if (!outcome.ok()) {
    std::fprintf(stderr, "quorvane-screenshots: %s\n", outcome.error().message.c_str());
    return 1;
  }
  quorvane::Analysis& a = outcome.result();
  quorvane::QtDialogs dialogs;
  quorvane::TfrmTemplateResults viewer(dialogs);
  viewer.SetHelpText([] { return QStringLiteral("Quorvane"); });
  viewer.show();
  Wait(500);
  const int first = viewer.Memo().Count();
  quorvane::WriteReport(a, viewer.Memo());
  viewer.ShowLineAtTop(first);
  viewer.Plots().AddPlots(a, std::move(*a.plot));
  viewer.ShowPlots(true);  // where the screen is too small for it to open by itself
  Wait(300);
  // The deficit plots, below the other two.
  if (auto* plots = viewer.findChild<QScrollArea*>(QStringLiteral("plotScroller"))) {
    plots->verticalScrollBar()->setValue(plots->verticalScrollBar()->maximum());
  }
  // The results, as a reader scrolls to them.
  const int outputs = static_cast<int>(viewer.Lines().indexOf(QStringLiteral(" OUTPUTS:")));
  if (outputs >= 0) viewer.ShowLineAtTop(outputs);
  Wait(1500);
  if (!SaveScreen(args[2])) return 1;
  bool saved = false;
  ShootNextModal(args[3], QSize(1000, 820), saved);
  viewer.findChild<QAction*>(QStringLiteral("mnuPrintPreview"))->trigger();
  if (!saved) return 1;
  saved = false;
  ShootNextModal(args[4], QSize(), saved);
  viewer.findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  QApplication::setWindowIcon(quorvane::ProgramIcon());
  QStringList args = QApplication::arguments();
  if (args.size() > 2 && args[1] == QStringLiteral("--face")) {
    const QString face = args[2];
    args.remove(1, 2);
    QFont font = QApplication::font();
    font.setFamilies({face});
    if (QFontInfo(font).family() != face) {
      std::fprintf(stderr, "quorvane-screenshots: the face %s is not installed\n",
                   qPrintable(face));
      return 1;
    }
    QApplication::setFont(font);
  }
  if (args.size() == 8 && args[1] == QStringLiteral("--desktop")) return Desktop(args);
  const bool onScreen =
      (args.size() == 3 || args.size() == 7) && args[1] == QStringLiteral("--on-screen");
  const bool summaryOnScreen = args.size() == 3 && args[1] == QStringLiteral("--summary-on-screen");
  if (args.size() != 5 && !onScreen && !summaryOnScreen) {
    std::fputs(
        "Usage: quorvane-screenshots [--face FAMILY] OUTDIR DATAFILE CONTROLS COVARIATES\n"
        "       quorvane-screenshots [--face FAMILY] --on-screen FILE\n"
        "                            [VIEWERFILE DATAFILE CONTROLS COVARIATES]\n"
        "       quorvane-screenshots [--face FAMILY] --desktop VIEWERFILE PREVIEWFILE ABOUTFILE\n"
        "                            DATAFILE CONTROLS COVARIATES\n"
        "       quorvane-screenshots [--face FAMILY] --summary-on-screen FILE\n",
        stderr);
    return 2;
  }

  // Keep the saved inputs of this run away from the build folder.
  QTemporaryDir scratch;
  quorvane::SetSavedInputsFolders(scratch.path().toStdString(), scratch.path().toStdString());

  quorvane::ScriptedDialogs dialogs;
  quorvane::TfrmTemplate worksheet(dialogs);
  quorvane::TfrmTemplateResults viewer(dialogs);
  worksheet.SetResultsViewer(&viewer);
  worksheet.show();
  worksheet.activateWindow();
  if (summaryOnScreen) {
    EnterSummaryStatistics(worksheet);
    return SaveOnScreen(worksheet, args[2]) ? 0 : 1;
  }
  if (onScreen) {
    if (!SaveOnScreen(worksheet, args[2])) return 1;
    if (args.size() == 3) return 0;
    if (!Compute(worksheet, dialogs, args[4], args[5], args[6])) return 1;
    ScrollToEnd(viewer);
    return SaveOnScreen(viewer, args[3]) ? 0 : 1;
  }

  const QDir out(args[1]);
  const QString dataFile = args[2];  // shown in the report as given
  if (!Save(worksheet, out.filePath(QStringLiteral("worksheet.png")))) return 1;
  if (!SaveSummaryWorksheet(worksheet, out.filePath(QStringLiteral("summary-worksheet.png")))) {
    return 1;
  }

  if (!Compute(worksheet, dialogs, dataFile, args[3], args[4])) return 1;
  // Scrolled down to the results of the analysis, as a reader would.
  QScrollBar* scroll = viewer.memoResults()->verticalScrollBar();
  scroll->setValue(scroll->maximum());
  // The report alone (the panel hidden), then with the plot panel beside it.
  const int reportWidth = viewer.centralWidget()->width();
  viewer.ShowPlots(false);
  viewer.resize(reportWidth, viewer.height());
  scroll->setValue(scroll->maximum());
  if (!Save(viewer, out.filePath(QStringLiteral("results-viewer.png")))) return 1;
  viewer.ShowPlots(true);
  scroll->setValue(scroll->maximum());
  return Save(viewer, out.filePath(QStringLiteral("results-viewer-plots.png"))) ? 0 : 1;
}
