// The worksheet window: a thin Qt view over the Worksheet model. It shows the
// two input fields, the prior and credible-limit choices, the notes and the
// description, filters what is typed or pasted into the fields, and runs
// Compute with the Monte Carlo engine on a worker thread behind a progress
// dialog. Its layout stretches with the window: the description and the
// inputs panel share the extra height, the choices the extra width.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "TemplateForm/qt/qt_compute_host.h"
#include "TemplateForm/worksheet/worksheet.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPoint;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QToolButton;

namespace quorvane {

class DialogSeam;
class SeriesWindow;
class SummaryPanel;
class TfrmTemplateResults;
struct EngineRun;

// Asked (default answer No) before Clear Data empties a worksheet that holds
// anything typed.
inline constexpr const char* kClearDataQuestion =
    "Clear Data empties N, the number of covariates, the notes and the summary statistics, and "
    "deletes the saved inputs. Clear them?";

class TfrmTemplate : public QWidget {
  Q_OBJECT

 public:
  // Creates the worksheet; its creation handler (FormCreate) runs now.
  explicit TfrmTemplate(DialogSeam& dialogs, QWidget* parent = nullptr);
  ~TfrmTemplate() override;

  void SetResultsViewer(TfrmTemplateResults* viewer);
  // The description text (the Help window of both windows shows it).
  QString DescriptionText() const;

  // The model as the window holds it now (field texts, choices and notes
  // read from the controls).
  const Worksheet& Model();
  QtComputeHost& Host() { return host_; }

  // The dropped data file the next Compute opens; empty when none.
  const QString& DroppedFile() const { return droppedFile_; }

  // Whether an analysis is running (between the file being loaded and the
  // report being written, or the run being cancelled).
  bool ComputeRunning() const;
  // Posterior draws per run: the program's 1,000,000 unless a test or the
  // screenshot tool sets fewer (0 restores the default).
  void SetDrawCount(int draws) { drawCount_ = draws; }

  QLineEdit* Field(int k) const { return txtInput_[static_cast<std::size_t>(k)]; }
  // The summary-statistics entry, shown when "Summary statistics" is chosen.
  SummaryPanel* Summary() const { return summaryPanel_; }
  bool SummaryMode() const;

 signals:
  // A Compute command has ended; reportWritten is false when it stopped at a
  // check, was cancelled or failed.
  void computeEnded(bool reportWritten);

 public slots:
  void cmdComputeClick();
  void btnclearDataClick();
  void ExitBtnClick();
  void cmdHelpClick();
  void cmdReturnClick();
  // Shows the results viewer (hiding the worksheet); enabled while the viewer
  // holds results.
  void cmdShowResultsClick();
  // Case Series...: the controls as Compute takes them (checks, open dialog),
  // then the case series window for them.
  void cmdCaseSeriesClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // A data file dropped on the window is the file the next Compute opens.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  // The dropped file to open on the next Compute (empty: none), shown.
  void SetDroppedFile(const QString& path);
  void FormCreate();
  void FormShow();
  void FormActivate();
  void DescripFldChange();
  void memoCommentsKeyUp(QKeyEvent* event);
  void memoCommentsEnter();
  void memoCommentsExit();
  void memoCommentsChange();
  void grdDataExit();
  void txtInput1Exit();
  // KeyPress / KeyUp of fields 1..8; true when the key event is consumed.
  bool txtInputKeyPress(int k, QKeyEvent* event);
  void txtInputKeyUp(int k, QKeyEvent* event);
  // Cuts field k to the length a field holds, with the refusal's beep and box.
  void LimitField(int k);
  // Pastes the clipboard (or, selection true, the X11 selection) into field k
  // through the keystroke filter and the length limit.
  void PasteIntoField(int k, bool selection);
  void ShowFieldMenu(int k, const QPoint& globalPos);
  void EnterInField();
  void SetNotesTall(bool tall);
  void PlaceNotes();
  void UpdateShowResults();
  // Exit's question (the results viewer's: Save, Discard, Cancel where it
  // holds results not saved, else "Exit from program?"); true when the program ends.
  bool ConfirmLeaving();
  // Whether any field, the notes or any summary-statistics cell holds text.
  bool HoldsTypedInput();
  // The focus once a Compute command has ended: the field at fault (1-based;
  // 0 for none), else the Compute button, so that no key press after a run
  // can reach Clear Data.
  void FocusAfterCompute(int faultField);

  // --- summary statistics (the DataKind_Radio choice)
  void BuildSummaryControls();
  void ShowDataKind();
  // Sizes the panel by the covariates field once it holds 1..5.
  void SizeSummaryPanel();
  // Makes the window tall and wide enough for the panel where the screen has room.
  void GrowForSummary();
  // The Names... dialog: a name for each variable, kept in the worksheet.
  void EditNames();
  // The names for an analysis with the covariates text given (those beyond
  // its variables dropped).
  VariableNames NamesFor(const std::string& covariates) const;
  // A size of the scrolling page as the window's, with the menu bar above it.
  QSize WithMenuBar(QSize page) const;
  // Gives the summary grids the room they need (the page scrolls where the
  // window has less).
  void FitSummaryArea();
  // The checked statistics for Compute, or the refusal of the cell at fault
  // (marked for the focus).
  Checked<SummaryInput> SummaryForCompute(int N, int k);
  void LoadSummaryClick();
  void SaveSummaryClick();
  void RestoreLastSummary();

  void ViewFromModel();
  void ModelFromView();
  int NotesLineCount() const;

  // Compute's checks and choice of data, up to the request it runs.
  std::optional<AnalysisRequest> BeginRequest();
  void StartEngineRun(AnalysisRequest&& request);
  void EngineRunEnded();
  void UpdateProgress();

  DialogSeam& dialogs_;
  QtComputeHost host_;
  TfrmTemplateResults* viewer_ = nullptr;
  Worksheet sheet_;
  int drawCount_ = 0;
  bool placed_ = false;  // sized and centred on its screen at the first show
  bool framed_ = false;  // kept on the screen at the first activation (frame known)
  bool notesTall_ = false;
  QString notesAccepted_;  // the notes as last accepted (at most 250 characters)
  std::unique_ptr<EngineRun> run_;

  // Controls, by their names in the layout.
  QScrollArea* page_ = nullptr;  // the window's one child: the page, scrolled as a whole
  QWidget* content_ = nullptr;   // the page
  QPlainTextEdit* DescripFld_ = nullptr;
  QFrame* Panel3_ = nullptr;
  QLabel* lblComments_ = nullptr;
  QPlainTextEdit* memoComments_ = nullptr;
  QWidget* notesPlace_ = nullptr;  // the notes' place in the layout, taller while they are
  QFrame* Panel1_ = nullptr;
  QGroupBox* Prior_Radio_ = nullptr;
  QButtonGroup* priorButtons_ = nullptr;
  QGroupBox* RadioGroup1_ = nullptr;
  QButtonGroup* limitButtons_ = nullptr;
  // The deficit test of each task: on or off, and per task whether higher
  // scores are poorer (index 0: Task Y1, 1: Task Y2).
  QWidget* deficitBox_ = nullptr;
  QCheckBox* chkDeficits_ = nullptr;
  std::array<QCheckBox*, 2> higherPoorer_{};
  std::array<QLabel*, 9> Label_{};        // Label1..Label8 (index 0 unused)
  std::array<QLineEdit*, 9> txtInput_{};  // txtInput1..txtinput8 (index 0 unused)
  QLabel* Label_N_ = nullptr;
  QLabel* lbl_r_ = nullptr;
  QTableWidget* grdData_ = nullptr;
  QLabel* lblGridColumnsTitle_ = nullptr;
  std::array<QLabel*, 7> lblCol_{};  // lblCol1..lblCol6 (index 0 unused)
  QLabel* lblItems_ = nullptr;
  QFrame* pan1_ = nullptr;
  QPushButton* cmdCompute_ = nullptr;
  QPushButton* btnclearData_ = nullptr;
  QPushButton* ExitBtn_ = nullptr;
  QPushButton* cmdHelp_ = nullptr;
  QPushButton* cmdReturn_ = nullptr;
  QPushButton* cmdShowResults_ = nullptr;
  QPushButton* cmdCaseSeries_ = nullptr;
  SeriesWindow* series_ = nullptr;
  QLabel* lblDroppedFile_ = nullptr;
  QString droppedFile_;  // opened by the next Compute instead of asking
  QGroupBox* pnlHelp_ = nullptr;
  QGroupBox* DataKind_Radio_ = nullptr;
  QButtonGroup* dataKindButtons_ = nullptr;
  QScrollArea* summaryArea_ = nullptr;
  SummaryPanel* summaryPanel_ = nullptr;
  QPushButton* cmdLoadSummary_ = nullptr;
  QPushButton* cmdSaveSummary_ = nullptr;
  // The summary file the panel's statistics were last loaded from or saved
  // to, and its N; cleared when a cell is edited.
  QString summaryFile_;
  int summaryFileN_ = 0;
  bool summarySettling_ = false;     // the grids' room is fitted once their box is laid out
  bool fillingSummary_ = false;      // the panel is filled by the program, not typed into
  QWidget* summaryFault_ = nullptr;  // the grid at fault, for the focus once Compute ends
};

}  // namespace quorvane
