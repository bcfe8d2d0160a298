// quorvane-plot: draws the plots of an analysis (two, or four with the
// deficit tests) into an image file, or one of them with --only.
//
//   quorvane-plot [--only posterior|case|deficit-y1|deficit-y2] FILE < plot-data
//
// The plot data (TemplateForm/plot_data.h, as quorvane-cli --plot writes it)
// come on standard input; FILE's extension chooses the format (.png, .svg,
// .pdf; no .svg on Windows). It always draws on Qt's offscreen platform (on
// Windows on Qt's Windows platform, for the system's fonts): it needs no
// display and takes no notice of $DISPLAY or QT_QPA_PLATFORM. PNG images are drawn at the
// plots' own size (800 pixels wide): most of the time goes with the pixels,
// and the run stays quick; SVG and PDF scale without loss.
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "gui/plots/plot_render.h"

int main(int argc, char** argv) {
  std::optional<quorvane::PlotKind> only;
  int fileArg = 1;
  if (argc == 4 && std::string(argv[1]) == "--only") {
    const std::string which = argv[2];
    if (which == "posterior") only = quorvane::PlotKind::Posterior;
    if (which == "case") only = quorvane::PlotKind::CaseAmongControls;
    if (which == "deficit-y1") only = quorvane::PlotKind::DeficitY1;
    if (which == "deficit-y2") only = quorvane::PlotKind::DeficitY2;
    fileArg = only ? 3 : 0;
  }
  if (argc != fileArg + 1 || fileArg == 0) {
    std::cerr << "usage: quorvane-plot [--only posterior|case|deficit-y1|deficit-y2] FILE < "
                 "plot-data   (FILE ends in "
              << quorvane::PlotFileTypes().toStdString() << ")\n";
    return 2;
  }
  const std::string text{std::istreambuf_iterator<char>(std::cin),
                         std::istreambuf_iterator<char>()};
  std::string why;
  const std::optional<quorvane::PlotData> plot = quorvane::ParsePlotData(text, why);
  if (!plot) {
    std::cerr << "quorvane-plot: " << why << '\n';
    return 1;
  }
  if (only && (*only == quorvane::PlotKind::DeficitY1 || *only == quorvane::PlotKind::DeficitY2)) {
    const std::vector<quorvane::PlotKind> held = quorvane::PlotKinds(*plot);
    if (std::find(held.begin(), held.end(), *only) == held.end()) {
      std::cerr << "quorvane-plot: the plot data hold no deficit plots (they come from an "
                   "analysis with the deficit tests: quorvane-cli --deficits)\n";
      return 1;
    }
  }
#if defined(_WIN32)
  // Windows has no display to need: its own platform draws with the system's
  // fonts (Qt's offscreen platform there sees only fonts in Qt's own folder).
  qputenv("QT_QPA_PLATFORM", "windows");
#else
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QGuiApplication app(argc, argv);
  QString failure;
  const QString path = QString::fromLocal8Bit(argv[fileArg]);
  if (!quorvane::SavePlots(path, *plot, only, failure, /*pngScale=*/1.0)) {
    std::cerr << "quorvane-plot: " << argv[fileArg] << ": " << failure.toStdString() << '\n';
    return 3;
  }
  return 0;
}
