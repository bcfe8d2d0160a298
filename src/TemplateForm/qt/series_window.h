// The case series window: many cases, read from a cases file, against the
// controls the worksheet's Compute would use (a raw data file's first N rows,
// or the summary statistics of summary mode), with its counts, prior, limit,
// notes and deficit tests. The series runs on a worker thread (the core's
// RunBatch) while a progress bar with Cancel shows the draws done; each case
// appears in the table as it ends, in input order. The table has one row per
// case row of the file (bad rows with their line and message), can be sorted
// by any column, shows a row's full report in the results viewer on request,
// and is saved as CSV with the command-line program's columns plus the
// Holm-adjusted two-tailed p.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/series_output.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace quorvane {

class DialogSeam;
class SeriesTableModel;
class TfrmTemplateResults;
struct SeriesRun;

// The table's columns. Which are shown follows the request: the limits asked
// for (both for a two-sided interval, one for a one-sided limit) and the
// deficit tests' columns only when they were asked for.
enum class SeriesColumn {
  Line,
  Id,
  TwoTailedP,
  HolmP,  // the two-tailed p adjusted for the number of cases (Holm's step-down method)
  OneTailedP,
  EffectSize,
  EffectLower,
  EffectUpper,
  Percent,
  PercentLower,
  PercentUpper,
  DeficitY1P,  // each task's deficit test: its one-tailed p in the poorer direction
  DeficitY2P,
  Verdict,  // the dissociation verdict of the three tests
  Message,  // why a row gave no result, or what its numbers warn of
};

class SeriesWindow : public QWidget {
  Q_OBJECT

 public:
  // parent: the worksheet (the window stays in front of it). viewer: where a
  // row's report goes.
  SeriesWindow(DialogSeam& dialogs, TfrmTemplateResults* viewer, QWidget* parent);
  ~SeriesWindow() override;

  // Takes the controls and choices of a series (the request the worksheet's
  // Compute would run, its data the controls), shows the window and asks for
  // the cases file, which is then run. While a series runs, or when the user
  // keeps results not yet saved, nothing is taken and the window is raised;
  // returns whether the request was taken.
  bool Open(AnalysisRequest base);

  bool Running() const { return run_ != nullptr; }
  // The cases that have ended, in input order (the table's source rows).
  const std::vector<SeriesCase>& Cases() const;
  // Whether the series ran to its end (every row of the file has its entry):
  // only then are the Holm-adjusted p values given.
  bool Complete() const { return complete_; }
  // The view's column of c, or -1 when it is not shown.
  int ColumnOf(SeriesColumn c) const;
  QTableView* Table() const { return table_; }
  // The results as the CSV file holds them: records without line ends.
  std::vector<std::string> CsvRecords() const;

 signals:
  // Cases have been added to the table.
  void casesAdded(int count);
  // A series has ended: run to its end, stopped, or refused before any case.
  void seriesEnded(bool complete);

 public slots:
  // "Cases File...": asks for a cases file and runs the series against the
  // same controls.
  void cmdCasesFileClick();
  void cmdCancelClick();
  // The reports of the selected rows that have results, in the order shown,
  // appended to the results viewer as single runs' reports are.
  void cmdShowReportClick();
  void cmdSaveCsvClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void Start(const QString& casesFile);
  void Poll();
  void RunEnded();
  void UpdateButtons();
  // Each row without a result shows its message across its numbers' cells.
  void SpanMessages();
  void ShowControls();
  // True when nothing unsaved would be lost, or the user agreed to lose it.
  bool MayDiscard(const QString& question);

  DialogSeam& dialogs_;
  QPointer<TfrmTemplateResults> viewer_;
  AnalysisRequest base_;
  QString casesFile_;
  std::unique_ptr<SeriesRun> run_;
  bool complete_ = false;
  bool saved_ = true;  // the table as it stands is saved, or holds nothing
  bool closeWhenEnded_ = false;
  bool placed_ = false;
  QString csvName_;  // the last name Save as CSV chose

  SeriesTableModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
  QLabel* lblControls_ = nullptr;
  QLabel* lblCasesFile_ = nullptr;
  QTableView* table_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QPushButton* cmdCasesFile_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdShowReport_ = nullptr;
  QPushButton* cmdSaveCsv_ = nullptr;
  QPushButton* cmdClose_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace quorvane
