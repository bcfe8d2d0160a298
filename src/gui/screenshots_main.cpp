// quorvane-screenshots: renders the two windows of the desktop program to PNG
// files without a display (run it on Qt's offscreen platform), for the
// documentation: the worksheet as it starts, and the results viewer after a
// real analysis of a data file, scrolled down to the results.
//
// Usage: quorvane-screenshots OUTDIR DATAFILE CONTROLS COVARIATES
// Writes OUTDIR/worksheet.png and OUTDIR/results-viewer.png.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "TemplateForm/qt/TfrmTemplate.h"
#include "TemplateForm/saved_inputs.h"
#include "TemplateResults/TfrmTemplateResults.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  QApplication::setWindowIcon(quorvane::ProgramIcon());
  const QStringList args = QApplication::arguments();
  if (args.size() != 5) {
    std::fputs("Usage: quorvane-screenshots OUTDIR DATAFILE CONTROLS COVARIATES\n", stderr);
    return 2;
  }
  const QDir out(args[1]);
  const QString dataFile = args[2];  // shown in the report as given

  // Keep the saved inputs of this run away from the build folder.
  QTemporaryDir scratch;
  quorvane::SetSavedInputsFolders(scratch.path().toStdString(), scratch.path().toStdString());

  quorvane::ScriptedDialogs dialogs;
  quorvane::TfrmTemplate worksheet(dialogs);
  quorvane::TfrmTemplateResults viewer(dialogs);
  worksheet.SetResultsViewer(&viewer);
  worksheet.show();
  worksheet.activateWindow();
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
  return Save(viewer, out.filePath(QStringLiteral("results-viewer.png"))) ? 0 : 1;
}
