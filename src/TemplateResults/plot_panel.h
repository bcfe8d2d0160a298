// The results viewer's plot panel: the plots of one analysis of the session
// (by default the latest), a choice of analysis, and "Save Plot..." (PNG,
// SVG or PDF). Self-contained: the viewer docks it beside its report, hands it
// each analysis's plot data and shows or hides it. The plots (two, or four
// with the deficit tests) are drawn in the columns that show them largest in
// the room the panel has; where that would draw them narrower than they read
// (four plots in a narrow panel), they are drawn at a readable width and the
// panel scrolls.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "TemplateForm/plot_data.h"

class QComboBox;
class QPainter;
class QPushButton;
class QScrollArea;

namespace quorvane {

class DialogSeam;
struct Analysis;

// How the panel lists an analysis, telling the session's runs apart: "Analysis
// 2: controls.txt, calibrated prior" (the data file's name without its
// folder; "summary statistics entered" where no file was named).
QString AnalysisName(int run, const Analysis& a);

// The narrowest a plot is drawn in the panel (in pixels: at any screen
// scaling the same share of the plot's text size).
inline constexpr int kLeastReadablePlotWidth = 360;

// How the panel lays out `count` plots in a viewport of `room`: the columns,
// and the canvas height (room's height where they fit; more, scrolled, where
// fitting them would draw them narrower than kLeastReadablePlotWidth).
struct PanelPlotLayout {
  int columns = 1;
  int canvasHeight = 0;
  friend bool operator==(const PanelPlotLayout&, const PanelPlotLayout&) = default;
};
PanelPlotLayout LayOutPanelPlots(const QSize& room, int count);

class PlotPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PlotPanel(DialogSeam& dialogs, QWidget* parent = nullptr);

  // A new analysis: listed last and selected.
  void AddPlots(const QString& name, PlotData plot);
  // The same, named by AnalysisName (run number Count() + 1), its data file in
  // the list's tooltip.
  void AddPlots(const Analysis& a, PlotData plot);
  // Forgets every analysis (the viewer's Clear Results).
  void Clear();
  int Count() const { return static_cast<int>(plots_.size()); }
  // The selected analysis's plots, or nullptr when there is none.
  const PlotData* Selected() const;
  void Select(int index);

  // The analysis at index (0-based, in the order added).
  const PlotData& PlotAt(int index) const { return plots_[static_cast<std::size_t>(index)].plot; }
  QString NameAt(int index) const { return plots_[static_cast<std::size_t>(index)].name; }

  // The selected analysis's plots in the columns LayOutPanelPlots gives for
  // the panel's viewport, fitted into `area`.
  void PaintSelected(QPainter& painter, const QRectF& area) const;
  // The layout the panel shows now (for the selected analysis's plots).
  PanelPlotLayout ShownLayout() const;
  // "Save Plot...": asks for a file and writes the selected plots there.
  void SavePlotClick();

 signals:
  // Plots of a new analysis have been added (and selected).
  void plotsAdded();
  // Whether there is a selected analysis to save or print has changed.
  void selectionChanged(bool any);

 private:
  struct Entry {
    QString name;
    PlotData plot;
  };
  DialogSeam& dialogs_;
  std::vector<Entry> plots_;
  QComboBox* choice_ = nullptr;
  QPushButton* save_ = nullptr;
  QWidget* canvas_ = nullptr;
  QScrollArea* scroller_ = nullptr;
  void FitCanvas();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString lastFile_ = QStringLiteral("plots.png");
};

}  // namespace quorvane
