// The results viewer: the window that holds the accumulated reports in
// memoResults and saves, clears and prints them. Created hidden at start-up;
// Compute shows it (hiding the worksheet) and appends each report. The report
// view takes whatever room the window has. The text stays editable, with
// undo and redo of the user's edits; the viewer knows whether what it holds
// has been saved, and asks before Clear Results or Exit would lose it.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

#include "matrix_handling/matrix_print.h"

class QAction;
class QDockWidget;
class QFrame;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace quorvane {

class DialogSeam;
class PlotPanel;

class TfrmTemplateResults : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmTemplateResults(DialogSeam& dialogs, QWidget* parent = nullptr);
  ~TfrmTemplateResults() override;

  // The window "Return to Worksheet" goes back to.
  void SetWorksheet(QWidget* worksheet) { worksheet_ = worksheet; }
  // The text Help > Help (F1) shows: the worksheet's description.
  void SetHelpText(std::function<QString()> text) { helpText_ = std::move(text); }

  // memoResults as an append-only list of lines (what Compute writes to).
  LineSink& Memo();
  // The memo's lines (a line end after the last line opens no further line).
  QStringList Lines() const;
  // The memo's whole text: every line followed by a carriage return and a
  // line feed (empty for an empty memo).
  QString WholeText() const;
  // Scrolls the memo so that line (0-based) is at the top, with the caret there.
  void ShowLineAtTop(int line);

  QPlainTextEdit* memoResults() const { return memoResults_; }

  // Whether the memo holds any text.
  bool HoldsResults() const;
  // Whether it holds text that Save Output has not saved as it stands now
  // (a report written or an edit made since the last save).
  bool HoldsUnsavedResults() const;
  // True when nothing unsaved would be lost, or the user answered Yes to the
  // discard question (asked with parent's window in front, default No).
  bool MayDiscardResults(QWidget* parent);
  // Exit from either window: with results not saved one question (Save,
  // Discard, Cancel; Save runs Save Output and ends the program only once
  // the file is written), else "Exit from program?". Returns whether the
  // program ends.
  bool ConfirmExitProgram(QWidget* parent);

  // --- Plots: a panel docked beside the report (the user may move it below
  // or float it) with the plots of each analysis; the latest is selected.
  // "Plots > Show Plots" shows and hides it. It opens by itself with new
  // plots unless the user has hidden it or the screen has no room for it
  // beside the report at the report's preferred width. Showing it widens the
  // window, as far as the screen allows, so that the report keeps its width.
  PlotPanel& Plots() { return *plotPanel_; }
  bool PlotsShown() const;
  void ShowPlots(bool shown);
  // The docked panel's width beside the report: as the user left it (or as
  // last set), kept while the panel is hidden; 430 pixels at first.
  int PlotPanelWidth() const;
  void SetPlotPanelWidth(int width);

 signals:
  // The memo's text has changed (a report added, an edit, Clear Results).
  void resultsChanged();

 public slots:
  void cmdReturnClick();
  void cmdClearResultsClick();
  void cmdSaveOutputClick();
  void cmdExitClick();
  void mnuPrintClick();
  void mnuPrintSelectionClick();
  // "Print Preview...": the pages Print All prints, in the preview dialog
  // (printed from there as Print All prints them).
  void mnuPrintPreviewClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void PrintLines(const QString& text, bool withPlots = false);
  // Paints text (and each analysis's plots) on printer; false with the
  // message in error when the printer could not be started.
  bool PaintPages(QPrinter& printer, const QString& text, bool withPlots, QString& error);
  void PlotsAdded();
  void WidenForPlots();
  // Gives the floating panel the window manager's frame (or, docked again,
  // the dock's own title bar back).
  void FramePlotsWindow(bool floating);
  // Whether the panel is docked to the right of the report (shown or not).
  bool DockedBeside() const;
  // The room the docked panel takes beside the report (0 when it is not there).
  int PlotDockExtent(bool evenIfHidden = false) const;
  // Save Output's dialog and write; true once the file is written.
  bool SaveOutput();

  DialogSeam& dialogs_;
  QWidget* worksheet_ = nullptr;
  std::function<QString()> helpText_;
  QFrame* Panel1_ = nullptr;
  QPlainTextEdit* memoResults_ = nullptr;
  QFrame* Panel2_ = nullptr;
  QPushButton* cmdSaveOutput_ = nullptr;
  QPushButton* cmdClearResults_ = nullptr;
  QPushButton* cmdReturn_ = nullptr;
  QPushButton* cmdExit_ = nullptr;
  QMenu* File1_ = nullptr;
  QAction* mnuPrint_ = nullptr;
  PlotPanel* plotPanel_ = nullptr;
  QDockWidget* plotDock_ = nullptr;
  QAction* mnuShowPlots_ = nullptr;
  QAction* mnuSavePlot_ = nullptr;
  QAction* mnuDockPlots_ = nullptr;
  bool plotsHiddenByUser_ = false;
  int plotDockWidth_ = 430;  // the panel's width beside the report (PlotPanelWidth)
  QAction* mnuPrintSelection_ = nullptr;
  QAction* mnuPrintPreview_ = nullptr;
  QAction* actSaveOutput_ = nullptr;  // Ctrl+S
  bool placed_ = false;
  bool framed_ = false;  // kept on the screen at the first activation (frame known)
  QString saveName_ = QStringLiteral("results.txt");  // SaveDialog1's file name
  std::unique_ptr<QPrinter> printer_;                 // keeps the print dialog's choices
  std::unique_ptr<LineSink> sink_;
};

// The lines of a memo's plain text: split at line feeds, and an empty piece
// after the last line feed is no line (as a memo counts its lines).
QStringList MemoLines(const QString& plainText);

}  // namespace quorvane
