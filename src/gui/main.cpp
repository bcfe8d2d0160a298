// quorvane: the desktop program. Creates the worksheet (the main window) and
// the hidden results viewer and runs the event loop until the user leaves
// with "Exit" in either window.

#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "TemplateForm/qt/TfrmTemplate.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "gui/dialogs.h"
#include "gui/numeric_locale.h"
#include "gui/window_memory.h"
#include "gui/window_placement.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: quorvane\n"
    "The Quorvane desktop program: a Bayesian test for a standardized difference\n"
    "in a single case, controlling for covariates. It takes no options besides\n"
    "Qt's own (such as -platform); the analysis is set up in its worksheet window.\n"
    "For the same analysis without a window see quorvane-cli --help.\n";

}  // namespace

int main(int argc, char** argv) {
  // ProgramTitle and SavedInputsFileName are constants, set before any window.
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  // The user's settings (window places, the plot panel's width) are kept under these names.
  QApplication::setOrganizationName(QStringLiteral("Quorvane"));
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QApplication::setWindowIcon(quorvane::ProgramIcon());

  const QStringList arguments = QApplication::arguments();
  if (arguments.contains(QStringLiteral("--version"))) {
    std::printf("quorvane %s\n", QUORVANE_VERSION);
    return 0;
  }
  if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  quorvane::QtDialogs dialogs;
  quorvane::TfrmTemplate worksheet(dialogs);
  quorvane::TfrmTemplateResults viewer(dialogs);
  worksheet.SetResultsViewer(&viewer);
  // Sizes and places of both windows, and the plot panel's width, as the user
  // left them last time (fitted to the screen as it is now).
  quorvane::WindowMemory memory;
  memory.Track(worksheet, QStringLiteral("worksheet"));
  memory.Track(viewer, QStringLiteral("viewer"));
  viewer.SetPlotPanelWidth(
      memory.Number(QStringLiteral("viewer/plotPanelWidth"), viewer.PlotPanelWidth()));
  memory.KeepNumber(QStringLiteral("viewer/plotPanelWidth"),
                    [&viewer] { return viewer.PlotPanelWidth(); });
  worksheet.show();
  return QApplication::exec();
}
