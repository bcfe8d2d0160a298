// The worksheet's summary-statistics entry: a grid for the controls' means and
// SDs and the case's scores (one column per variable) and a lower-triangular
// grid for the correlations, both sized by the number of covariates. A block
// pasted from a spreadsheet (tab-separated rows) fills the grid from the
// current cell. Self-contained: the worksheet owns N, k, the prior and Compute.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "TemplateForm/summary_file.h"

class QTableWidget;

namespace quorvane {

class SummaryPanel : public QWidget {
  Q_OBJECT

 public:
  explicit SummaryPanel(QWidget* parent = nullptr);

  // Resizes both grids for k covariates (1..5), keeping the entries that stay.
  void SetCovariates(int k);
  int Covariates() const { return k_; }

  SummaryTexts Texts(int N) const;
  void SetTexts(const SummaryTexts& texts);  // also sizes the grids

  // The typed statistics for N controls, checked; on a refusal the message
  // and the cell at fault gets the focus.
  std::optional<SummaryStatistics> Statistics(int N, QString& message);

  // Summary files (the CLI's format). Load sizes the grids from the file and
  // gives its N; false with the reason when the file is refused.
  bool SaveFile(const QString& path, int N, QString& why);
  bool LoadFile(const QString& path, int& N, QString& why);

  // Pastes tab-separated rows into the grid holding the focus, from its
  // current cell; cells beyond the grid, and the correlation grid's upper
  // triangle, are left alone.
  void PasteText(const QString& text);
  void PasteInto(QTableWidget* grid, const QString& text);  // either grid of this panel

  QTableWidget* StatisticsGrid() const { return statistics_; }
  QTableWidget* CorrelationGrid() const { return correlations_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FocusEntry(const SummaryEntry& entry);
  QString Cell(const QTableWidget* grid, int row, int column) const;

  int k_ = 0;
  QTableWidget* statistics_;
  QTableWidget* correlations_;
};

}  // namespace quorvane
