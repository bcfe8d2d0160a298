// The worksheet's summary-statistics entry: a grid for the controls' means and
// SDs and the case's scores (one column per variable) and a lower-triangular
// grid for the correlations, both sized by the number of covariates. The
// correlation grid's diagonal and upper triangle are greyed and read-only (the
// upper triangle mirrors the lower); a click on an upper cell makes its lower
// twin current. A block pasted from a spreadsheet (tab-separated rows) fills
// a grid from the current cell; a full square correlation matrix, or its lower
// triangle with the diagonal, gives its lower triangle wherever it is pasted,
// and a block that does not fit is refused. Edits and pastes can be undone
// (Ctrl+Z) and redone (Ctrl+Shift+Z or Ctrl+Y). Each column is as wide as its
// text; a cell's tooltip gives its value in full precision. Self-contained:
// the worksheet owns N, k, the prior and Compute.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "TemplateForm/summary_file.h"
#include "TemplateForm/variable_names.h"

class QTableWidget;

namespace quorvane {

class SummaryPanel : public QWidget {
  Q_OBJECT

 public:
  explicit SummaryPanel(QWidget* parent = nullptr);

  // Resizes both grids for k covariates (1..5), keeping the entries that stay.
  void SetCovariates(int k);
  // The variables' names on the grids' headings (the standard ones where a
  // name is not given).
  void SetNames(const VariableNames& names);
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
  // current cell. In the statistics grid, cells beyond the grid are left
  // alone. In the correlation grid a full square matrix (symmetric, 1s on
  // the diagonal) or its lower triangle with the diagonal gives its lower
  // triangle; any other block must fit below the diagonal from the current
  // cell, or nothing is pasted and pasteRefused tells why. Returns whether
  // the block was taken. One paste is one undo step.
  bool PasteText(const QString& text);
  bool PasteInto(QTableWidget* grid, const QString& text);  // either grid of this panel

  // The last edit or paste undone, or the last undone one done again; false
  // when there is none. Filling the grids (SetTexts, SetCovariates) starts a
  // new history.
  bool Undo();
  bool Redo();

 signals:
  // A paste was refused; message says why (for a box).
  void pasteRefused(const QString& message);

 public:
  QTableWidget* StatisticsGrid() const { return statistics_; }
  QTableWidget* CorrelationGrid() const { return correlations_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  VariableNames names_;
  struct CellEdit {
    QTableWidget* grid;
    int row, column;
    QString before, after;
  };
  using Step = std::vector<CellEdit>;

  void FocusEntry(const SummaryEntry& entry);
  QString Cell(const QTableWidget* grid, int row, int column) const;
  bool Editable(const QTableWidget* grid, int row, int column) const;
  // Sets a cell's text as the program does (no undo step): its tooltip, its
  // mirror in the correlation grid, the remembered text.
  void Put(QTableWidget* grid, int row, int column, const QString& text);
  // A cell edited by hand: one undo step.
  void Edited(QTableWidget* grid, int row, int column);
  // The texts as they are now, remembered: an edit's text before.
  void Remember();
  void NewHistory();
  void Apply(const Step& step, bool after);
  // The correlation grid's block: the edits, or the refusal in message.
  std::optional<Step> CorrelationPaste(const std::vector<QStringList>& rows, QString& message);
  bool OnCorrelationViewportPress(QEvent* event);

  int k_ = 0;
  QTableWidget* statistics_;
  QTableWidget* correlations_;
  bool filling_ = false;  // cells set by the program, not edited
  std::vector<std::vector<QString>> statisticsTexts_, correlationTexts_;  // remembered
  std::vector<Step> undo_, redo_;
};

}  // namespace quorvane
