// quorvane-screenshots: renders the two windows of the desktop program to PNG
// files without a display (run it on Qt's offscreen platform), for the
// documentation: the worksheet as it starts, and the results viewer after a
// real analysis of a data file, scrolled down to the results.
//
// Usage: quorvane-screenshots OUTDIR DATAFILE CONTROLS COVARIATES
// Writes OUTDIR/worksheet.png, OUTDIR/results-viewer.png (the report alone)
// and OUTDIR/results-viewer-plots.png (with the plot panel beside it).
//
// Usage: quorvane-screenshots --on-screen FILE
// Writes FILE: the whole screen, in device pixels, with the worksheet where
// the program places it when it starts (the window manager's frame is not
// drawn). With QT_SCALE_FACTOR set it shows the scaled window on its screen.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "TemplateForm/qt/TfrmTemplate.h"
#include "TemplateForm/saved_inputs.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "TemplateResults/plot_panel.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  QApplication::setWindowIcon(quorvane::ProgramIcon());
  const QStringList args = QApplication::arguments();
  const bool onScreen = args.size() == 3 && args[1] == QStringLiteral("--on-screen");
  if (args.size() != 5 && !onScreen) {
    std::fputs(
        "Usage: quorvane-screenshots OUTDIR DATAFILE CONTROLS COVARIATES\n"
        "       quorvane-screenshots --on-screen FILE\n",
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
  if (onScreen) return SaveOnScreen(worksheet, args[2]) ? 0 : 1;

  const QDir out(args[1]);
  const QString dataFile = args[2];  // shown in the report as given
  if (!Save(worksheet, out.filePath(QStringLiteral("worksheet.png")))) return 1;

  worksheet.Field(1)->setText(args[3]);
  worksheet.Field(2)->setText(args[4]);
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
    return 1;
  }
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
