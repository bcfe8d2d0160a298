// The results viewer's plot panel: the two plots of one analysis of the
// session (by default the latest), a choice of analysis, and "Save Plot..."
// (PNG, SVG or PDF). Self-contained: the viewer docks it beside its report,
// hands it each analysis's plot data and shows or hides it. The two plots are
// drawn one above the other or side by side, whichever shows them larger in
// the room the panel has.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "TemplateForm/plot_data.h"

class QComboBox;
class QPainter;
class QPushButton;

namespace quorvane {

class DialogSeam;

class PlotPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PlotPanel(DialogSeam& dialogs, QWidget* parent = nullptr);

  // A new analysis: listed last and selected.
  void AddPlots(const QString& name, PlotData plot);
  // Forgets every analysis (the viewer's Clear Results).
  void Clear();
  int Count() const { return static_cast<int>(plots_.size()); }
  // The selected analysis's plots, or nullptr when there is none.
  const PlotData* Selected() const;
  void Select(int index);

  // The analysis at index (0-based, in the order added).
  const PlotData& PlotAt(int index) const { return plots_[static_cast<std::size_t>(index)].plot; }
  QString NameAt(int index) const { return plots_[static_cast<std::size_t>(index)].name; }

  // The selected plots, both, fitted into `area` (stacked or side by side).
  void PaintSelected(QPainter& painter, const QRectF& area) const;
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
  QString lastFile_ = QStringLiteral("plots.png");
};

}  // namespace quorvane
