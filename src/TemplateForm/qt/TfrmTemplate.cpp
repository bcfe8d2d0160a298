#include "TemplateForm/qt/TfrmTemplate.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <utility>
#include <variant>

#include "TemplateForm/plot_data.h"
#include "TemplateForm/qt/series_window.h"
#include "TemplateForm/qt/summary_panel.h"
#include "TemplateForm/worksheet/compute.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateForm/worksheet/saved_summary.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "TemplateResults/plot_panel.h"
#include "gui/dialogs.h"
#include "gui/fonts.h"
#include "gui/help_menu.h"
#include "gui/layout_button.h"
#include "gui/window_placement.h"
#include "gui/window_thread.h"
#include "input_checks/input_validation.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

constexpr int kClientWidth = 792;
constexpr int kClientHeight = 573;
constexpr int kNotesShortHeight = 25;
constexpr int kNotesTallHeight = 70;
constexpr int kDescriptionScrollLength = 551;  // from this length on, a vertical scroll bar
// The description and the inputs panel share the window's height in the
// proportion of their template heights (94 and 346); the description keeps
// at least a few lines, the choice groups at most their template width.
constexpr int kDescriptionStretch = 94;
constexpr int kInputsStretch = 346;
constexpr int kDescriptionMinHeight = 28;  // room for the menu bar above it at the least size
constexpr int kChoicesMaxWidth = 393;
constexpr int kProgressIntervalMs = 100;
// The engine thread's stack. The engines keep their working arrays on the heap
// and need well under 1 MB of stack; this is the usual main-thread size.
constexpr uint kEngineStackBytes = 8u << 20;

QString FieldName(int k) {
  return QString::fromStdString(FieldObjectName(k));
}

QFrame* MakePanel(QWidget* parent, const char* name, QFrame::Shadow shadow = QFrame::Raised) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setFrameStyle(QFrame::Panel | shadow);
  return panel;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QSize& preferred, bool bold = true) {
  auto* button = new LayoutButton(text, preferred, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(WindowFont(bold));
  return button;
}

QGroupBox* MakeRadioGroup(QWidget* parent, const char* name, const QString& title,
                          const QStringList& items, QButtonGroup*& group) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setMaximumWidth(kChoicesMaxWidth);
  // The items close together at the smallest, spread over the group when
  // it is taller.
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(9, 2, 9, 4);
  layout->setSpacing(2);
  group = new QButtonGroup(box);
  group->setObjectName(QString::fromLatin1(name) + QStringLiteral("Items"));
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], box);
    button->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(i));
    layout->addWidget(button);
    layout->addStretch(1);
    group->addButton(button, i);
  }
  group->button(0)->setChecked(true);
  return box;
}

// A gap in a column of controls: preferred pixels high where there is room,
// down to minimum where there is not.
void AddGap(QVBoxLayout& layout, int preferred, int minimum) {
  if (minimum > 0) layout.addSpacing(minimum);
  layout.addSpacerItem(
      new QSpacerItem(0, preferred - minimum, QSizePolicy::Minimum, QSizePolicy::Preferred));
}

// Where the platform's face is wider than the layout allows for, a label's
// text is set a little smaller rather than cut off.
void FitFontToWidth(QLabel& label) {
  QFont font = label.font();
  const int room = label.contentsRect().width();
  while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(label.text()) > room) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  label.setFont(font);
}

// The help panel's guide to a correlation-matrix file. The panel belongs to
// the worksheet template and is reachable only where matrix entry is enabled.
constexpr const char* kMatrixHelpText =
    "The file is a plain text file holding the lower triangle of the correlation matrix, one row "
    "per line, the values separated by single spaces. An optional first line beginning with "
    "\"Title:\" names the matrix. For four variables:\n\n"
    "Title: Example matrix\n"
    "1.00\n"
    "0.52 1.00\n"
    "0.31 0.44 1.00\n"
    "0.27 0.36 0.61 1.00";

// The one local file a drag carries, if it carries exactly one that exists.
std::optional<QString> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  const QFileInfo file(url.toLocalFile());
  if (!file.isFile()) return std::nullopt;
  return file.absoluteFilePath();
}

}  // namespace

// One Compute run past its checks: the analysis on a worker thread, a
// progress dialog with Cancel on the window thread.
struct EngineRun {
  AnalysisRequest request;
  std::optional<AnalysisOutcome> outcome;  // written by the worker before it ends
  std::atomic<std::int64_t> done{0};
  std::atomic<std::int64_t> total{0};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> abandoned{false};  // the window is going away: no more boxes
  std::unique_ptr<QObject> messenger;  // the notices' way to the window thread
  QThread* thread = nullptr;
  QProgressDialog* progress = nullptr;
  QTimer* timer = nullptr;
};

TfrmTemplate::TfrmTemplate(DialogSeam& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      host_(dialogs, *this) {
  BuildControls();
  FormCreate();
}

TfrmTemplate::~TfrmTemplate() {
  if (run_) {
    run_->abandoned = true;
    run_->cancelled = true;
    while (!run_->thread->wait(20)) QCoreApplication::sendPostedEvents(run_->messenger.get());
    delete run_->thread;
    run_.reset();
  }
  host_.SetBusyCursor(false);
}

QString TfrmTemplate::DescriptionText() const {
  return DescripFld_->toPlainText();
}

void TfrmTemplate::SetResultsViewer(TfrmTemplateResults* viewer) {
  viewer_ = viewer;
  host_.SetResultsViewer(viewer);
  if (viewer != nullptr) {
    viewer->SetWorksheet(this);
    viewer->SetHelpText([this] { return DescriptionText(); });
    connect(viewer, &TfrmTemplateResults::resultsChanged, this, &TfrmTemplate::UpdateShowResults);
  }
  UpdateShowResults();
}

void TfrmTemplate::BuildControls() {
  setObjectName(QStringLiteral("frmTemplate"));
  setFont(WindowFont());
  // Everything lies on one page, which scrolls as a whole where the window
  // is smaller than the page (summary statistics on a small screen): the
  // grids keep their size rather than scroll in a small box of their own.
  page_ = new QScrollArea(this);
  page_->setObjectName(QStringLiteral("worksheetPage"));
  page_->setFrameShape(QFrame::NoFrame);
  page_->setWidgetResizable(true);
  page_->setFocusPolicy(Qt::NoFocus);
  content_ = new QWidget;
  content_->setObjectName(QStringLiteral("worksheetContent"));
  auto* whole = new QVBoxLayout(this);
  whole->setContentsMargins(0, 0, 0, 0);
  whole->addWidget(page_);

  DescripFld_ = new QPlainTextEdit(content_);
  DescripFld_->setObjectName(QStringLiteral("DescripFld"));
  DescripFld_->setReadOnly(true);
  DescripFld_->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  // Its height comes from the layout's share alone, down to a few lines.
  DescripFld_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  DescripFld_->setMinimumHeight(kDescriptionMinHeight);
  connect(DescripFld_, &QPlainTextEdit::textChanged, this, &TfrmTemplate::DescripFldChange);

  Panel3_ = MakePanel(content_, "Panel3");
  Panel3_->setFixedSize(97, kNotesShortHeight);
  lblComments_ = new QLabel(QStringLiteral("User's Notes:"), Panel3_);
  lblComments_->setObjectName(QStringLiteral("lblComments"));
  lblComments_->setFont(WindowFont(true));
  lblComments_->setGeometry(2, 2, 93, 21);
  lblComments_->setAlignment(Qt::AlignCenter);
  FitFontToWidth(*lblComments_);

  Panel1_ = MakePanel(content_, "Panel1");
  Prior_Radio_ = MakeRadioGroup(Panel1_, "Prior_Radio", QStringLiteral("Form of &prior..."),
                                {QStringLiteral("Calibrated (Recommended)"),
                                 QStringLiteral("Standard Theory (Jeffreys prior)")},
                                priorButtons_);
  RadioGroup1_ =
      MakeRadioGroup(Panel1_, "RadioGroup1", QStringLiteral("95% credible &limit required..."),
                     {QStringLiteral("Two-sided"), QStringLiteral("One-sided lower"),
                      QStringLiteral("One-sided upper")},
                     limitButtons_);
  // The deficit test of each task, off by default.
  deficitBox_ = new QWidget(Panel1_);
  deficitBox_->setObjectName(QStringLiteral("deficitBox"));
  chkDeficits_ =
      new QCheckBox(QStringLiteral("Test each task for a de&ficit as well"), deficitBox_);
  chkDeficits_->setObjectName(QStringLiteral("chkDeficits"));
  // The option, then for each task whether higher scores are the poorer
  // ones (errors, reaction times; lower ones by default), on one line.
  auto* deficitLayout = new QHBoxLayout(deficitBox_);
  deficitLayout->setContentsMargins(9, 0, 0, 0);
  deficitLayout->setSpacing(6);
  deficitLayout->addWidget(chkDeficits_);
  deficitLayout->addSpacing(10);
  auto* poorerLabel = new QLabel(QStringLiteral("Higher scores poorer on:"), deficitBox_);
  poorerLabel->setObjectName(QStringLiteral("lblPoorer"));
  deficitLayout->addWidget(poorerLabel);
  for (int task = 0; task < 2; ++task) {
    auto* choice =
        new QCheckBox(task == 0 ? QStringLiteral("Y1") : QStringLiteral("Y2"), deficitBox_);
    choice->setObjectName(QStringLiteral("chkHigherPoorerY%1").arg(task + 1));
    choice->setToolTip(QStringLiteral("Checked: higher scores on Task Y%1 are poorer (errors, "
                                      "reaction times). Not checked: lower scores are poorer.")
                           .arg(task + 1));
    deficitLayout->addWidget(choice);
    higherPoorer_[static_cast<std::size_t>(task)] = choice;
  }
  deficitLayout->addStretch(1);
  const auto showDeficitChoice = [this](bool on) {
    for (QCheckBox* choice : higherPoorer_) choice->setEnabled(on);
  };
  connect(chkDeficits_, &QCheckBox::toggled, this, showDeficitChoice);
  showDeficitChoice(false);

  DataKind_Radio_ = MakeRadioGroup(
      Panel1_, "DataKind_Radio", QStringLiteral("&Kind of data..."),
      {QStringLiteral("Raw data file"), QStringLiteral("Summary statistics")}, dataKindButtons_);
  cmdHelp_ =
      MakeButton(Panel1_, "cmdHelp", QStringLiteral("&Help with matrix..."), QSize(165, 25), false);
  connect(cmdHelp_, &QPushButton::clicked, this, &TfrmTemplate::cmdHelpClick);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(2);
  fields->setVerticalSpacing(16);
  for (int k = 1; k <= 8; ++k) {
    auto* label = new QLabel(QStringLiteral("Label%1 : ").arg(k), Panel1_);
    label->setObjectName(QStringLiteral("Label%1").arg(k));
    Label_[static_cast<std::size_t>(k)] = label;
    auto* edit = new QLineEdit(Panel1_);
    edit->setObjectName(FieldName(k));
    edit->setFixedSize(56, 24);
    edit->setFont(WindowFont(true));
    edit->setAcceptDrops(false);  // text comes in typed or pasted, through the filter
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::returnPressed, this, &TfrmTemplate::EnterInField);
    txtInput_[static_cast<std::size_t>(k)] = edit;
    fields->addWidget(label, k - 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
    fields->addWidget(edit, k - 1, 2);
  }
  QFont markerFont = WindowFont(true);
  markerFont.setItalic(true);
  Label_N_ = new QLabel(QStringLiteral("N"), Panel1_);
  Label_N_->setObjectName(QStringLiteral("Label_N"));
  Label_N_->setFont(markerFont);
  Label_N_->setFixedWidth(12);
  lbl_r_ = new QLabel(QStringLiteral("r"), Panel1_);
  lbl_r_->setObjectName(QStringLiteral("lbl_r"));
  lbl_r_->setFont(markerFont);
  lbl_r_->setFixedWidth(12);
  fields->addWidget(Label_N_, 0, 1);
  fields->addWidget(lbl_r_, 1, 1);
  fields->setRowStretch(9, 1);  // the last row (Case Series...) takes the extra height

  // The two groups and the room below them share the column's height in
  // their template proportions (97, 121 and 87 pixels).
  auto* choices = new QVBoxLayout;
  // The gap between them narrows down to 4 pixels in a small window.
  choices->setSpacing(0);
  choices->addWidget(Prior_Radio_, 97);
  AddGap(*choices, 15, 4);
  choices->addWidget(RadioGroup1_, 121);
  AddGap(*choices, 15, 0);
  choices->addStretch(87);
  choices->addWidget(cmdHelp_, 0, Qt::AlignLeft);
  // Margins inside the panel's one-pixel frame.
  // The choices and the fields side by side; the deficit option on one line
  // across the panel's foot.
  auto* panelColumns = new QVBoxLayout(Panel1_);
  panelColumns->setContentsMargins(7, 15, 7, 5);
  panelColumns->setSpacing(0);
  auto* panelLayout = new QHBoxLayout;
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(16);
  panelColumns->addLayout(panelLayout, 1);
  panelColumns->addWidget(deficitBox_, 0);
  panelLayout->addLayout(choices, 1);
  // The fields, the kind of data below them, and below that the
  // summary-statistics entry when it is chosen.
  BuildSummaryControls();
  auto* rightColumn = new QVBoxLayout;
  rightColumn->setSpacing(12);
  fields->addWidget(DataKind_Radio_, 8, 0, 1, 3,
                    Qt::AlignLeft | Qt::AlignTop);  // below the fields shown
  // Many cases against these controls: the case series window.
  cmdCaseSeries_ = MakeButton(Panel1_, "cmdCaseSeries", QStringLiteral("C&ase Series..."),
                              QSize(140, 25), false);
  connect(cmdCaseSeries_, &QPushButton::clicked, this, &TfrmTemplate::cmdCaseSeriesClick);
  fields->addWidget(cmdCaseSeries_, 9, 0, 1, 3, Qt::AlignLeft | Qt::AlignTop);

  rightColumn->addLayout(fields, 0);
  // The file dropped on the window, when one is.
  lblDroppedFile_ = new QLabel(Panel1_);
  lblDroppedFile_->setObjectName(QStringLiteral("lblDroppedFile"));
  lblDroppedFile_->setWordWrap(true);
  lblDroppedFile_->hide();
  rightColumn->addWidget(lblDroppedFile_, 0);
  rightColumn->addWidget(summaryArea_, 1);
  panelLayout->addLayout(rightColumn, 0);

  // The data grid and its column heads (not used by this program; placed as
  // the worksheet template places them).
  grdData_ = new QTableWidget(content_);
  grdData_->setObjectName(QStringLiteral("grdData"));
  grdData_->setGeometry(12, 200, 768, 280);
  grdData_->horizontalHeader()->setDefaultSectionSize(53);
  grdData_->horizontalHeader()->hide();
  grdData_->verticalHeader()->setDefaultSectionSize(20);
  grdData_->verticalHeader()->hide();
  grdData_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  grdData_->setTabKeyNavigation(true);
  grdData_->setEditTriggers(QAbstractItemView::AllEditTriggers);
  grdData_->installEventFilter(this);
  lblGridColumnsTitle_ = new QLabel(content_);
  lblGridColumnsTitle_->setObjectName(QStringLiteral("lblGridColumnsTitle"));
  lblGridColumnsTitle_->setGeometry(12, 160, 200, 17);
  for (int c = 1; c <= 6; ++c) {
    auto* head = new QLabel(content_);
    head->setObjectName(QStringLiteral("lblCol%1").arg(c));
    head->setGeometry(12 + 53 * c, 165, 53, 33);
    head->setAlignment(Qt::AlignCenter);
    head->setWordWrap(true);
    lblCol_[static_cast<std::size_t>(c)] = head;
  }
  lblItems_ = new QLabel(content_);
  lblItems_->setObjectName(QStringLiteral("lblItems"));
  lblItems_->setGeometry(12, 165, 53, 33);
  lblItems_->setAlignment(Qt::AlignCenter);
  lblItems_->setWordWrap(true);

  // The layout keeps a place for the notes (notesPlace_) and the notes lie
  // on it; while they have the focus and more than one line the place is
  // taller, taken from the description.
  notesPlace_ = new QWidget(content_);
  notesPlace_->setObjectName(QStringLiteral("notesPlace"));
  notesPlace_->setFixedHeight(kNotesShortHeight);
  notesPlace_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  notesPlace_->installEventFilter(this);
  memoComments_ = new QPlainTextEdit(content_);
  memoComments_->setObjectName(QStringLiteral("memoComments"));
  memoComments_->setFont(MemoFont());
  memoComments_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoComments_->setTabChangesFocus(true);
  memoComments_->installEventFilter(this);
  connect(memoComments_, &QPlainTextEdit::textChanged, this, &TfrmTemplate::memoCommentsChange);

  const QSize buttonSize(165, 37);
  pan1_ = MakePanel(content_, "pan1");
  pan1_->setFixedHeight(49);
  cmdCompute_ = MakeButton(pan1_, "cmdCompute", QStringLiteral("&Compute"), buttonSize);
  btnclearData_ = MakeButton(pan1_, "btnclearData", QStringLiteral("Clear &Data "), buttonSize);
  cmdShowResults_ =
      MakeButton(pan1_, "cmdShowResults", QStringLiteral("Show &Results"), buttonSize);
  cmdShowResults_->setEnabled(false);
  cmdReturn_ = MakeButton(pan1_, "cmdReturn", QStringLiteral("Cl&ose Help"), buttonSize);
  ExitBtn_ = MakeButton(pan1_, "ExitBtn", QStringLiteral("E&xit"), buttonSize);
  connect(cmdCompute_, &QPushButton::clicked, this, &TfrmTemplate::cmdComputeClick);
  connect(btnclearData_, &QPushButton::clicked, this, &TfrmTemplate::btnclearDataClick);
  connect(cmdShowResults_, &QPushButton::clicked, this, &TfrmTemplate::cmdShowResultsClick);
  connect(ExitBtn_, &QPushButton::clicked, this, &TfrmTemplate::ExitBtnClick);
  connect(cmdReturn_, &QPushButton::clicked, this, &TfrmTemplate::cmdReturnClick);
  auto* buttonRow = new QHBoxLayout(pan1_);
  buttonRow->setContentsMargins(15, 5, 11, 5);
  buttonRow->setSpacing(0);
  buttonRow->addWidget(cmdCompute_);
  AddButtonGap(*buttonRow);
  buttonRow->addWidget(btnclearData_);
  AddButtonGap(*buttonRow);
  buttonRow->addWidget(cmdShowResults_);
  buttonRow->addWidget(cmdReturn_);
  AddButtonGap(*buttonRow);
  buttonRow->addWidget(ExitBtn_);

  pnlHelp_ = new QGroupBox(
      QStringLiteral(" Guidance in reading in a correlation matrix from an external file :  "),
      content_);
  pnlHelp_->setObjectName(QStringLiteral("pnlHelp"));
  pnlHelp_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  auto* memoHelp = new QPlainTextEdit(QString::fromLatin1(kMatrixHelpText), pnlHelp_);
  memoHelp->setObjectName(QStringLiteral("memoHelp"));
  memoHelp->setReadOnly(true);
  memoHelp->setFont(MemoFont());
  auto* helpLayout = new QVBoxLayout(pnlHelp_);
  helpLayout->setContentsMargins(12, 12, 12, 12);
  helpLayout->addWidget(memoHelp);

  // The window, top to bottom: description, notes, the inputs panel (the
  // help panel in the same place, over it when shown), the button row. At
  // the preferred size every control sits where the template puts it.
  auto* notesRow = new QHBoxLayout;
  notesRow->setSpacing(3);
  notesRow->setContentsMargins(0, 0, 2, 0);
  notesRow->addWidget(Panel3_, 0, Qt::AlignTop);
  notesRow->addWidget(notesPlace_);
  auto* inputs = new QGridLayout;
  inputs->setContentsMargins(0, 0, 0, 0);
  inputs->addWidget(Panel1_, 0, 0);
  inputs->addWidget(pnlHelp_, 0, 0);
  // The gaps between them narrow down to 4 pixels in a small window.
  auto* window = new QVBoxLayout(content_);
  window->setContentsMargins(12, 0, 12, 0);
  window->setSpacing(0);
  AddGap(*window, 7, 0);
  window->addWidget(DescripFld_, kDescriptionStretch);
  AddGap(*window, 9, 1);
  window->addLayout(notesRow);
  AddGap(*window, 8, 1);
  window->addLayout(inputs, kInputsStretch);
  AddGap(*window, 11, 1);
  window->addWidget(pan1_);
  AddGap(*window, 24, 1);
  page_->setWidget(content_);
  // The Help menu, as in the results viewer, above the scrolling page.
  auto* menus = new QMenuBar(this);
  whole->setMenuBar(menus);
  // Names for the variables, for the grids, the plots, JSON and CSV and the
  // deficit section (the report's own lines keep the standard names): a menu
  // entry, which costs the crowded window no room.
  QMenu* dataMenu = menus->addMenu(QStringLiteral("&Variables"));
  dataMenu->setObjectName(QStringLiteral("variablesMenu"));
  QAction* names = dataMenu->addAction(QStringLiteral("&Names..."));
  names->setObjectName(QStringLiteral("actNames"));
  names->setStatusTip(QStringLiteral(
      "Optional names for Task Y1, Task Y2 and the covariates: the grids, the plots, JSON, CSV "
      "and the deficit section show them"));
  connect(names, &QAction::triggered, this, &TfrmTemplate::EditNames);
  AddHelpMenu(*this, *menus, dialogs_, [this] { return DescriptionText(); });
  resize(kClientWidth, kClientHeight + menus->sizeHint().height());
  setAcceptDrops(true);
  memoComments_->viewport()->installEventFilter(this);  // a dropped file is no note

  // Tab order: the window's reading order. The notes, the choices on the
  // left, the fields and what lies below them on the right, then the buttons
  // from left to right.
  QList<QWidget*> order{memoComments_};
  for (QAbstractButton* b : priorButtons_->buttons()) order << b;
  for (QAbstractButton* b : limitButtons_->buttons()) order << b;
  order << cmdHelp_;
  // The right column from the top: the fields, the kind of data below them.
  for (int k = 1; k <= 8; ++k) order << txtInput_[static_cast<std::size_t>(k)];
  for (QAbstractButton* b : dataKindButtons_->buttons()) order << b;
  order << cmdCaseSeries_;
  order << summaryPanel_->StatisticsGrid() << summaryPanel_->CorrelationGrid() << cmdLoadSummary_
        << cmdSaveSummary_ << chkDeficits_ << higherPoorer_[0] << higherPoorer_[1] << grdData_
        << cmdCompute_ << btnclearData_ << cmdShowResults_ << cmdReturn_ << ExitBtn_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  // Whatever ends a Compute command, the focus goes where the next key press
  // is safe.
  connect(this, &TfrmTemplate::computeEnded, this,
          [this] { FocusAfterCompute(host_.TakeFocusedField()); });
}

// --- start-up and showing

void TfrmTemplate::FormCreate() {
  setWindowIcon(ProgramIcon());
  pnlHelp_->hide();
  cmdReturn_->hide();
  memoComments_->clear();
  lblGridColumnsTitle_->hide();
  for (int c = 1; c <= 6; ++c) lblCol_[static_cast<std::size_t>(c)]->hide();
  lblItems_->hide();
  setWindowTitle(QString::fromStdString(ProgramTitle));
  Label_N_->hide();
  lbl_r_->hide();
  // The model's part: empty fields and notes, the description, the field
  // labels, WorksheetConfig, and the saved-inputs restore that decides which
  // fields show.
  quorvane::FormCreate(sheet_);
  lblGridColumnsTitle_->setText(QStringLiteral("Column names"));
  cmdHelp_->setVisible(WorksheetConfig.matrixEntryEnabled);
  if (WorksheetConfig.gridEnabled) {
    grdData_->show();
    grdData_->move(grdData_->x(), 200);
  } else {
    grdData_->hide();
  }
  ViewFromModel();
  // The window's smallest size is the page's with the raw-data inputs; more
  // (the summary grids) scrolls.
  // (Sizes cached while the hidden fields still counted are dropped first.)
  for (QWidget* part : content_->findChildren<QWidget*>()) part->updateGeometry();
  for (QLayout* part : content_->findChildren<QLayout*>()) part->invalidate();
  content_->layout()->activate();
  setMinimumSize(WithMenuBar(content_->minimumSizeHint()));
  RestoreLastSummary();
  ShowDataKind();
}

QSize TfrmTemplate::WithMenuBar(QSize page) const {
  const QWidget* bar = layout()->menuBar();
  return page + QSize(0, bar != nullptr ? bar->sizeHint().height() : 0);
}

void TfrmTemplate::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  if (!placed_) {
    FitOnScreen(*this, WithMenuBar(QSize(kClientWidth, kClientHeight)));
    placed_ = true;
    if (SummaryMode()) GrowForSummary();
  }
  FormShow();
}

void TfrmTemplate::FormShow() {
  if (txtInput_[1]->text().isEmpty()) {
    txtInput_[1]->setFocus(Qt::OtherFocusReason);
    return;
  }
  raise();
  activateWindow();
  const int r = WorksheetConfig.restoreCount;
  if (r >= 1 && r <= 7) {
    QLineEdit* next = txtInput_[static_cast<std::size_t>(r + 1)];
    (next->isVisibleTo(this) ? next : txtInput_[static_cast<std::size_t>(r)])->setFocus();
  } else {
    FocusAfterCompute(0);  // back from the results viewer, inputs kept: on Compute
  }
}

void TfrmTemplate::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    if (!framed_) {  // the window manager's frame is known by now
      KeepOnScreen(*this);
      framed_ = true;
    }
    FormActivate();
  }
}

void TfrmTemplate::FormActivate() {
  if (!grdData_->isVisible()) return;
  if (WorksheetConfig.gridColumns >= 1) {
    grdData_->setCurrentCell(0, 2);
  } else if (WorksheetConfig.gridRows >= 1) {
    grdData_->setCurrentCell(1, 1);
  }
}

void TfrmTemplate::DescripFldChange() {
  DescripFld_->setVerticalScrollBarPolicy(
      DescripFld_->toPlainText().size() < kDescriptionScrollLength ? Qt::ScrollBarAlwaysOff
                                                                   : Qt::ScrollBarAlwaysOn);
}

// --- model and view

void TfrmTemplate::ViewFromModel() {
  for (int k = 1; k <= 8; ++k) {
    const InputField& field = sheet_.Field(k);
    QLabel* label = Label_[static_cast<std::size_t>(k)];
    QLineEdit* edit = txtInput_[static_cast<std::size_t>(k)];
    label->setText(QString::fromStdString(field.label));
    if (edit->text() != QString::fromStdString(field.text)) {
      edit->setText(QString::fromStdString(field.text));
    }
    label->setVisible(field.visible);
    edit->setVisible(field.visible);
  }
  priorButtons_->button(sheet_.priorIndex)->setChecked(true);
  limitButtons_->button(sheet_.limitIndex)->setChecked(true);
  chkDeficits_->setChecked(sheet_.deficits.asked);
  if (summaryPanel_ != nullptr) summaryPanel_->SetNames(sheet_.names);
  for (std::size_t task = 0; task < 2; ++task) {
    higherPoorer_[task]->setChecked(sheet_.deficits.poorer[task] == PoorerScores::Higher);
  }
  QStringList notes;
  for (const std::string& line : sheet_.notes) notes.push_back(QString::fromStdString(line));
  const QString notesText = notes.join(QLatin1Char('\n'));
  if (MemoLines(memoComments_->toPlainText()) != notes) memoComments_->setPlainText(notesText);
  lblComments_->setText(QString::fromStdString(sheet_.notesCaption));
  if (DescripFld_->toPlainText() != QString::fromStdString(sheet_.description)) {
    DescripFld_->setPlainText(QString::fromStdString(sheet_.description));
  }
}

void TfrmTemplate::ModelFromView() {
  for (int k = 1; k <= 8; ++k) {
    sheet_.Field(k).text = txtInput_[static_cast<std::size_t>(k)]->text().toStdString();
  }
  sheet_.priorIndex = priorButtons_->checkedId();
  sheet_.limitIndex = limitButtons_->checkedId();
  sheet_.deficits.asked = chkDeficits_->isChecked();
  for (std::size_t task = 0; task < 2; ++task) {
    sheet_.deficits.poorer[task] =
        higherPoorer_[task]->isChecked() ? PoorerScores::Higher : PoorerScores::Lower;
  }
  sheet_.notes.clear();
  for (const QString& line : MemoLines(memoComments_->toPlainText())) {
    sheet_.notes.push_back(line.toStdString());
  }
}

const Worksheet& TfrmTemplate::Model() {
  ModelFromView();
  return sheet_;
}

// --- the notes

int TfrmTemplate::NotesLineCount() const {
  // The lines as shown: a long line that wraps counts once per shown line.
  const QTextDocument* document = memoComments_->document();
  if (document->isEmpty()) return 0;
  int lines = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    document->documentLayout()->blockBoundingRect(block);  // lays the block out
    const int shown = block.layout() != nullptr ? block.layout()->lineCount() : 0;
    lines += shown > 0 ? shown : 1;
  }
  // An empty line after the last line end is no line of its own.
  if (document->lastBlock().text().isEmpty()) --lines;
  return lines;
}

void TfrmTemplate::SetNotesTall(bool tall) {
  if (tall == notesTall_) return;
  notesTall_ = tall;
  // The notes' place itself grows, the description above giving up the
  // room: nothing lies under the notes, and the window's smallest size
  // stays what it was.
  // In a window at its smallest the description has only its few lines to
  // give, and the notes grow by that much.
  const int grow =
      std::min(kNotesTallHeight - kNotesShortHeight, std::max(0, DescripFld_->height()));
  notesPlace_->setFixedHeight(tall ? kNotesShortHeight + grow : kNotesShortHeight);
  DescripFld_->setMinimumHeight(tall ? 0 : kDescriptionMinHeight);
  content_->layout()->activate();
  PlaceNotes();
}

void TfrmTemplate::PlaceNotes() {
  memoComments_->setGeometry(notesPlace_->geometry());
}

void TfrmTemplate::memoCommentsKeyUp(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (NotesLineCount() > 1 || enter) SetNotesTall(true);
}

void TfrmTemplate::memoCommentsEnter() {
  if (NotesLineCount() > 1) SetNotesTall(true);
}

void TfrmTemplate::memoCommentsExit() {
  SetNotesTall(false);
}

void TfrmTemplate::memoCommentsChange() {
  // At most kMaxNotesLength characters, a line break counting as two (carriage
  // return and line feed), counted as the command line counts them: what would
  // go beyond is not taken.
  QString& accepted = notesAccepted_;
  const QString text = memoComments_->toPlainText();
  std::vector<std::string> lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
  if (NotesLength(lines) <= kMaxNotesLength) {
    accepted = text;
    return;
  }
  QTextCursor cursor = memoComments_->textCursor();
  const int position = cursor.position() - static_cast<int>(text.size() - accepted.size());
  const QSignalBlocker block(memoComments_);
  memoComments_->setPlainText(accepted);
  cursor = memoComments_->textCursor();
  cursor.setPosition(std::clamp(position, 0, static_cast<int>(accepted.size())));
  memoComments_->setTextCursor(cursor);
}

// --- the input fields

bool TfrmTemplate::txtInputKeyPress(int k, QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteIntoField(k, false);
    return true;
  }
  const QString typed = event->text();
  // Keys held with Control are the field's editing keys (select all, copy,
  // cut, undo, redo). Alt and Meta letters are the window's shortcuts: one
  // that is none types nothing. Control with Alt is the key that types a
  // keyboard's third character: it is typed.
  const Qt::KeyboardModifiers held =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool printable = typed.size() == 1 && typed[0].isPrint();
  if (held != Qt::NoModifier && held != (Qt::ControlModifier | Qt::AltModifier)) {
    return printable && !(held & Qt::ControlModifier);
  }
  // Enter, on the main keys or the keypad, starts Compute (returnPressed).
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return false;
  // Keys that type no character (arrows, Delete, function keys) are the
  // field's own editing keys.
  if (typed.size() != 1 || typed[0].unicode() == 0x7f) return false;
  const char16_t code = typed[0].unicode();
  const char c = code < 0x80 ? static_cast<char>(code) : '?';
  const Checked<char> accepted = FilterNumericKey(c);
  if (!accepted.ok()) {
    ShowRefusal(accepted.refusal(), host_);
    return true;
  }
  if (accepted.value() == c) return false;
  txtInput_[static_cast<std::size_t>(k)]->insert(QString(QLatin1Char(accepted.value())));
  return true;
}

void TfrmTemplate::txtInputKeyUp(int k, QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  LimitField(k);
}

void TfrmTemplate::LimitField(int k) {
  QLineEdit* field = txtInput_[static_cast<std::size_t>(k)];
  const LimitedInput limited = LimitInputLength(field->text().toStdString());
  if (!limited.refusal) return;
  ShowRefusal(*limited.refusal, host_);
  field->setText(QString::fromStdString(limited.text));
  field->selectAll();
}

void TfrmTemplate::PasteIntoField(int k, bool selection) {
  QLineEdit* field = txtInput_[static_cast<std::size_t>(k)];
  if (field->isReadOnly()) return;
  const QString pasted =
      QGuiApplication::clipboard()->text(selection ? QClipboard::Selection : QClipboard::Clipboard);
  const Checked<std::string> accepted = FilterNumericPaste(pasted.toStdString());
  if (!accepted.ok()) {
    ShowRefusal(accepted.refusal(), host_);
    return;
  }
  if (accepted.value().empty()) return;
  field->insert(QString::fromStdString(accepted.value()));  // over the selection, as one undo step
  LimitField(k);
}

void TfrmTemplate::ShowFieldMenu(int k, const QPoint& globalPos) {
  // The usual editing menu, its Paste going through the filter.
  QLineEdit* field = txtInput_[static_cast<std::size_t>(k)];
  auto* menu = new QMenu(field);
  menu->setObjectName(QStringLiteral("fieldMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const auto add = [menu](const char* name, const QString& text, QKeySequence::StandardKey key,
                          bool enabled, auto&& slot) {
    QAction* action = menu->addAction(text + QLatin1Char('\t') +
                                      QKeySequence(key).toString(QKeySequence::NativeText));
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, menu, slot);
  };
  const bool editable = !field->isReadOnly();
  const bool selected = field->hasSelectedText();
  add("edit-undo", tr("&Undo"), QKeySequence::Undo, editable && field->isUndoAvailable(),
      [field] { field->undo(); });
  add("edit-redo", tr("&Redo"), QKeySequence::Redo, editable && field->isRedoAvailable(),
      [field] { field->redo(); });
  menu->addSeparator();
  add("edit-cut", tr("Cu&t"), QKeySequence::Cut, editable && selected, [field] { field->cut(); });
  add("edit-copy", tr("&Copy"), QKeySequence::Copy, selected, [field] { field->copy(); });
  add("edit-paste", tr("&Paste"), QKeySequence::Paste,
      editable && !QGuiApplication::clipboard()->text().isEmpty(),
      [this, k] { PasteIntoField(k, false); });
  add("edit-delete", tr("Delete"), QKeySequence::Delete, editable && selected, [field] {
    if (field->hasSelectedText()) field->del();
  });
  menu->addSeparator();
  add("select-all", tr("Select All"), QKeySequence::SelectAll, !field->text().isEmpty(),
      [field] { field->selectAll(); });
  menu->popup(globalPos);
}

void TfrmTemplate::EnterInField() {
  if (cmdCompute_->isVisible() && cmdCompute_->isEnabled()) cmdCompute_->click();
}

void TfrmTemplate::txtInput1Exit() {
  if (grdData_->isVisible()) grdData_->setCurrentCell(0, 1);
}

void TfrmTemplate::grdDataExit() {
  grdData_->setCurrentCell(0, 1);
}

bool TfrmTemplate::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  for (int k = 1; k <= 8; ++k) {
    if (watched != txtInput_[static_cast<std::size_t>(k)]) continue;
    if (type == QEvent::KeyPress) return txtInputKeyPress(k, static_cast<QKeyEvent*>(event));
    if (type == QEvent::ContextMenu) {
      ShowFieldMenu(k, static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    }
    // A middle click pastes the X11 selection: through the filter too.
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
      if (type == QEvent::MouseButtonRelease && QGuiApplication::clipboard()->supportsSelection()) {
        PasteIntoField(k, true);
      }
      return true;
    }
    if (type == QEvent::KeyRelease) txtInputKeyUp(k, static_cast<QKeyEvent*>(event));
    if (type == QEvent::FocusOut && k == 1) txtInput1Exit();
    return QWidget::eventFilter(watched, event);
  }
  if (watched == memoComments_->viewport() &&
      (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (DraggedFile(drag->mimeData())) {
      if (type == QEvent::Drop) {
        dropEvent(drag);
      } else {
        drag->acceptProposedAction();
      }
      return true;
    }
  }
  if (watched == summaryArea_->widget() && type == QEvent::LayoutRequest && !summarySettling_) {
    // The grids changed their size (covariates, values): give them their
    // room once the box is laid out.
    summarySettling_ = true;
    QTimer::singleShot(0, this, [this] {
      summarySettling_ = false;
      FitSummaryArea();
      if (SummaryMode() && isVisible()) GrowForSummary();
    });
  }
  if (watched == notesPlace_ && (type == QEvent::Resize || type == QEvent::Move)) {
    PlaceNotes();
  } else if (watched == memoComments_) {
    if (type == QEvent::KeyRelease) memoCommentsKeyUp(static_cast<QKeyEvent*>(event));
    if (type == QEvent::FocusIn) memoCommentsEnter();
    if (type == QEvent::FocusOut) memoCommentsExit();
  } else if (watched == grdData_ && type == QEvent::FocusOut) {
    grdDataExit();
  }
  return QWidget::eventFilter(watched, event);
}

// --- a dropped data file

void TfrmTemplate::dragEnterEvent(QDragEnterEvent* event) {
  if (!run_ && DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void TfrmTemplate::dragMoveEvent(QDragMoveEvent* event) {
  if (!run_ && DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void TfrmTemplate::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = DraggedFile(event->mimeData());
  if (run_ || !file) return;
  event->acceptProposedAction();
  SetDroppedFile(*file);
}

void TfrmTemplate::SetDroppedFile(const QString& path) {
  droppedFile_ = path;
  lblDroppedFile_->setVisible(!path.isEmpty());
  lblDroppedFile_->setText(
      path.isEmpty()
          ? QString()
          : QStringLiteral("Compute opens the dropped raw data file %1 (no open dialog).")
                .arg(QFileInfo(path).fileName()));
  lblDroppedFile_->setToolTip(path);
}

// --- buttons

bool TfrmTemplate::HoldsTypedInput() {
  ModelFromView();
  for (int k = 1; k <= 8; ++k) {
    if (!sheet_.Field(k).text.empty()) return true;
  }
  if (!memoComments_->toPlainText().isEmpty()) return true;
  if (sheet_.names.Any()) return true;
  const SummaryTexts t = summaryPanel_->Texts(0);
  const auto any = [](const std::vector<std::string>& texts) {
    return std::any_of(texts.begin(), texts.end(),
                       [](const std::string& text) { return !TrimBlanks(text).empty(); });
  };
  if (any(t.means) || any(t.sds) || any(t.caseScores)) return true;
  return std::any_of(t.correlations.begin(), t.correlations.end(), any);
}

void TfrmTemplate::btnclearDataClick() {
  // Nothing typed is lost to one click or one Alt+D: asked first, No the
  // default answer.
  if (HoldsTypedInput() && dialogs_.Confirm(this, QString::fromLatin1(kClearDataQuestion),
                                            MessageButton::No) != MessageButton::Yes) {
    return;
  }
  ModelFromView();
  quorvane::btnclearDataClick(sheet_, host_);
  host_.TakeFocusedField();  // the focus went to field 1; no Compute is waiting for it
  ViewFromModel();
  // The statistics too, and their kept copy; the kind of data stays chosen.
  fillingSummary_ = true;
  summaryPanel_->SetTexts(SummaryTexts::Empty(0, summaryPanel_->Covariates()));
  fillingSummary_ = false;
  summaryFile_.clear();
  DeleteLastSummary();
  SetDroppedFile(QString());
  summaryPanel_->SetNames(sheet_.names);
}

VariableNames TfrmTemplate::NamesFor(const std::string& covariates) const {
  VariableNames names = sheet_.names;
  bool number = false;
  const int k = QString::fromStdString(covariates).trimmed().toInt(&number);
  if (number && k >= 1 && k <= 5 && names.names.size() > static_cast<std::size_t>(k + 2)) {
    names.names.resize(static_cast<std::size_t>(k + 2));
  }
  return names;
}

void TfrmTemplate::EditNames() {
  // As many variables as the covariates field says (all five covariates
  // while it holds no count).
  bool number = false;
  int k = txtInput_[2]->text().trimmed().toInt(&number);
  if (!number || k < 1 || k > 5) k = 5;
  auto* dialog = new QDialog(this);
  dialog->setObjectName(QStringLiteral("namesDialog"));
  dialog->setWindowTitle(QStringLiteral("Names of the variables"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  auto* form = new QFormLayout(dialog);
  form->addRow(new QLabel(
      QStringLiteral("Optional; a name left empty keeps the data file's line of names or the "
                     "standard name."),
      dialog));
  std::vector<QLineEdit*> edits;
  for (int j = 1; j <= k + 2; ++j) {
    auto* edit = new QLineEdit(
        QString::fromStdString(static_cast<std::size_t>(j) <= sheet_.names.names.size()
                                   ? sheet_.names.names[static_cast<std::size_t>(j - 1)]
                                   : std::string()),
        dialog);
    edit->setObjectName(QStringLiteral("txtName%1").arg(j));
    edit->setMaxLength(static_cast<int>(kMaxVariableName));
    edit->setPlaceholderText(QString::fromStdString(StandardVariableName(j)));
    form->addRow(QString::fromStdString(StandardVariableName(j)) + QStringLiteral(":"), edit);
    edits.push_back(edit);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  connect(dialog, &QDialog::accepted, this, [this, edits] {
    VariableNames names = sheet_.names;
    if (names.names.size() < edits.size()) names.names.resize(edits.size());
    for (std::size_t i = 0; i < edits.size(); ++i) {
      // A line break or tab cannot be typed into a line edit; a pasted one
      // would be refused by the analysis, so it becomes a blank here.
      QString text = edits[i]->text();
      for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
      }
      names.names[i] = text.trimmed().toStdString();
    }
    while (!names.names.empty() && names.names.back().empty()) names.names.pop_back();
    sheet_.names = std::move(names);
    summaryPanel_->SetNames(sheet_.names);
  });
  dialog->open();
}

void TfrmTemplate::ExitBtnClick() {
  ConfirmLeaving();
}

bool TfrmTemplate::ConfirmLeaving() {
  // One question where results are not saved (the viewer asks it).
  return viewer_ != nullptr ? viewer_->ConfirmExitProgram(this) : ConfirmExit(dialogs_, this);
}

void TfrmTemplate::cmdShowResultsClick() {
  if (viewer_ == nullptr || !viewer_->HoldsResults()) return;
  viewer_->show();
  hide();
}

void TfrmTemplate::UpdateShowResults() {
  cmdShowResults_->setEnabled(viewer_ != nullptr && viewer_->HoldsResults());
}

void TfrmTemplate::FocusAfterCompute(int faultField) {
  QWidget* summaryFault = std::exchange(summaryFault_, nullptr);
  if (faultField == 0 && summaryFault != nullptr && summaryFault->isVisibleTo(this)) {
    summaryFault->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (faultField >= 1 && faultField <= 8) {
    QLineEdit* field = txtInput_[static_cast<std::size_t>(faultField)];
    if (field->isVisibleTo(this)) {
      field->setFocus(Qt::OtherFocusReason);
      field->selectAll();  // what is typed next replaces the refused text
      return;
    }
  }
  if (cmdCompute_->isVisibleTo(this) && cmdCompute_->isEnabled()) {
    cmdCompute_->setFocus(Qt::OtherFocusReason);
  }
}

void TfrmTemplate::closeEvent(QCloseEvent* event) {
  if (dialogs_.Terminating() || ConfirmLeaving()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmTemplate::cmdHelpClick() {
  pnlHelp_->show();  // over the inputs panel, in its place
  pnlHelp_->raise();
  cmdCompute_->hide();
  btnclearData_->hide();
  cmdShowResults_->hide();
  ExitBtn_->hide();
  cmdReturn_->show();
}

void TfrmTemplate::cmdReturnClick() {
  cmdReturn_->hide();
  pnlHelp_->hide();
  cmdCompute_->show();
  btnclearData_->show();
  cmdShowResults_->show();
  ExitBtn_->show();
}

// --- Compute

bool TfrmTemplate::ComputeRunning() const {
  return run_ != nullptr;
}

std::optional<AnalysisRequest> TfrmTemplate::BeginRequest() {
  const int draws = drawCount_ > 0 ? drawCount_ : kDrawCount;
  // A dropped file is opened instead of asking, once.
  if (!SummaryMode()) host_.SetNextOpenFile(droppedFile_);
  std::optional<AnalysisRequest> request =
      SummaryMode()
          ? BeginSummaryCompute(
                Model(), host_, [this](int N, int k) { return SummaryForCompute(N, k); }, draws)
          : BeginCompute(Model(), host_, draws);
  // The deficit tests, when asked for: the report's section, the series'
  // columns.
  if (request) request->deficits = sheet_.deficits;
  // The names, as many as there are variables.
  if (request) request->names = NamesFor(request->covariates);
  if (!droppedFile_.isEmpty() && !SummaryMode() && !host_.HoldsNextOpenFile()) {
    SetDroppedFile(QString());  // taken
  }
  host_.SetNextOpenFile(QString());
  return request;
}

void TfrmTemplate::cmdCaseSeriesClick() {
  std::optional<AnalysisRequest> request = BeginRequest();
  host_.SetBusyCursor(false);
  if (!request) {
    FocusAfterCompute(host_.TakeFocusedField());
    return;
  }
  if (series_ == nullptr) series_ = new SeriesWindow(dialogs_, viewer_, this);
  series_->Open(std::move(*request));
}

void TfrmTemplate::cmdComputeClick() {
  if (run_) return;  // one analysis at a time
  std::optional<AnalysisRequest> request = BeginRequest();
  if (!request) {
    emit computeEnded(false);
    return;
  }
  StartEngineRun(std::move(*request));
}

void TfrmTemplate::StartEngineRun(AnalysisRequest&& request) {
  run_ = std::make_unique<EngineRun>();
  EngineRun* run = run_.get();
  run->request = std::move(request);
  run->total = run->request.drawCount;
  run->messenger = std::make_unique<QObject>();
  run->request.progress = [run](std::int64_t done, std::int64_t total) {
    run->done = done;
    run->total = total;
    return !run->cancelled;
  };
  // A notice (the loaded-data box, a Cholesky message) is shown on the window
  // thread while the analysis waits for it.
  run->request.notice = OnThreadOf(run->messenger.get(), [this, run](const std::string& text) {
    if (!run->abandoned) host_.ShowNotice(text);
  });

  // The analysis bins the draws for the plots and frees them, on the worker.
  run->request.plots = true;
  run->request.stop = [run] { return run->cancelled.load(); };
  run->thread = QThread::create([run] { run->outcome.emplace(RunAnalysis(run->request)); });
  run->thread->setObjectName(QStringLiteral("engineThread"));
  run->thread->setStackSize(kEngineStackBytes);
  connect(run->thread, &QThread::finished, this, &TfrmTemplate::EngineRunEnded);

  run->progress = new QProgressDialog(this);
  run->progress->setObjectName(QStringLiteral("progressCompute"));
  run->progress->setWindowTitle(QStringLiteral("Computing"));
  run->progress->setCancelButtonText(QStringLiteral("Cancel"));
  run->progress->setWindowModality(Qt::WindowModal);  // no second Compute meanwhile
  run->progress->setMinimumDuration(0);
  run->progress->setAutoClose(false);
  run->progress->setAutoReset(false);
  run->progress->setRange(0, run->request.drawCount);
  run->progress->setMinimumWidth(420);
  connect(run->progress, &QProgressDialog::canceled, this, [run] { run->cancelled = true; });
  run->timer = new QTimer(this);
  run->timer->setInterval(kProgressIntervalMs);
  connect(run->timer, &QTimer::timeout, this, &TfrmTemplate::UpdateProgress);

  cmdCompute_->setEnabled(false);
  host_.SetWorkingCursor();
  UpdateProgress();
  run->progress->show();
  run->timer->start();
  run->thread->start();
}

void TfrmTemplate::UpdateProgress() {
  if (!run_) return;
  EngineRun* run = run_.get();
  const std::int64_t total = run->total;
  const std::int64_t done = run->done;
  QString label = QStringLiteral("Drawing from the posterior distribution...\n%1 of %2 draws done")
                      .arg(QString::fromStdString(GroupDigits(done)),
                           QString::fromStdString(GroupDigits(total)));
  if (run->cancelled) label = QStringLiteral("Cancelling...");
  QProgressDialog* progress = run->progress;
  progress->setLabelText(label);
  if (progress->maximum() != total && total <= INT32_MAX) {
    progress->setMaximum(static_cast<int>(total));
  }
  progress->setValue(static_cast<int>(done));  // may run pending events: last
}

void TfrmTemplate::EngineRunEnded() {
  if (!run_) return;
  std::unique_ptr<EngineRun> run = std::move(run_);
  run->timer->stop();
  run->timer->deleteLater();
  run->thread->wait();
  run->thread->deleteLater();
  QObject::disconnect(run->progress, nullptr, this, nullptr);
  run->progress->hide();
  run->progress->deleteLater();
  cmdCompute_->setEnabled(true);

  if (!run->outcome || dialogs_.Terminating()) {  // the program is ending: nothing more
    host_.SetBusyCursor(false);
    emit computeEnded(false);
    return;
  }
  const int firstNewLine = viewer_ != nullptr ? viewer_->Memo().Count() : 0;
  PresentOutcome(*run->outcome, host_);
  // Statistics that make no positive definite matrix: the correlations are at
  // fault, not N.
  if (!run->outcome->ok() && std::holds_alternative<SummaryInput>(run->request.data) &&
      run->outcome->error().reason == Reason::NotPositiveDefinite) {
    host_.TakeFocusedField();
    summaryPanel_->CorrelationGrid()->setCurrentCell(1, 0);
    summaryFault_ = summaryPanel_->CorrelationGrid();
  }
  const bool written = run->outcome->ok() && viewer_ != nullptr;
  if (written) viewer_->ShowLineAtTop(firstNewLine);
  if (written && run->outcome->result().plot) {
    Analysis& a = run->outcome->result();
    viewer_->Plots().AddPlots(a, std::move(*a.plot));  // named by its run, file and prior
  }
  emit computeEnded(written);
}

// --- summary statistics

bool TfrmTemplate::SummaryMode() const {
  return dataKindButtons_->checkedId() == static_cast<int>(DataKind::SummaryStatistics);
}

void TfrmTemplate::BuildSummaryControls() {
  auto* box = new QWidget;
  box->setObjectName(QStringLiteral("summaryBox"));
  summaryPanel_ = new SummaryPanel(box);
  // Each grid as large as its cells, no larger.
  for (QTableWidget* grid : {summaryPanel_->StatisticsGrid(), summaryPanel_->CorrelationGrid()}) {
    grid->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    grid->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    grid->verticalHeader()->setDefaultSectionSize(22);
    grid->horizontalHeader()->setDefaultSectionSize(72);
    grid->horizontalHeader()->setMinimumSectionSize(72);  // wider where the text needs it
    grid->setTabKeyNavigation(false);                     // Tab leaves the grid; arrows move in it
    connect(grid, &QTableWidget::itemChanged, this, [this] {
      if (!fillingSummary_) summaryFile_.clear();  // edited: no longer the file's statistics
    });
  }
  connect(summaryPanel_, &SummaryPanel::pasteRefused, this, [this](const QString& message) {
    host_.ShowMessage(MessageKind::Error, message.toStdString());
  });
  cmdLoadSummary_ = MakeButton(box, "cmdLoadSummary", QStringLiteral("Load from f&ile..."),
                               QSize(140, 25), false);
  cmdSaveSummary_ =
      MakeButton(box, "cmdSaveSummary", QStringLiteral("&Save to file..."), QSize(140, 25), false);
  connect(cmdLoadSummary_, &QPushButton::clicked, this, &TfrmTemplate::LoadSummaryClick);
  connect(cmdSaveSummary_, &QPushButton::clicked, this, &TfrmTemplate::SaveSummaryClick);
  auto* files = new QHBoxLayout;
  files->addWidget(cmdLoadSummary_);
  files->addWidget(cmdSaveSummary_);
  files->addStretch(1);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(summaryPanel_);
  layout->addLayout(files);
  layout->addStretch(1);

  summaryArea_ = new QScrollArea(Panel1_);
  summaryArea_->setObjectName(QStringLiteral("summaryArea"));
  summaryArea_->setFrameShape(QFrame::NoFrame);
  summaryArea_->setWidgetResizable(true);
  summaryArea_->setWidget(box);
  box->installEventFilter(this);  // its size once the grids are laid out anew
  summaryArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the page scrolls instead
  summaryArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  summaryArea_->hide();
  // Columns that widen for their values widen the grids' room too.
  for (QTableWidget* grid : {summaryPanel_->StatisticsGrid(), summaryPanel_->CorrelationGrid()}) {
    connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this,
            &TfrmTemplate::FitSummaryArea);
  }

  connect(dataKindButtons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) ShowDataKind();
  });
  connect(txtInput_[2], &QLineEdit::textChanged, this, &TfrmTemplate::SizeSummaryPanel);
}

void TfrmTemplate::ShowDataKind() {
  const bool summary = SummaryMode();
  if (summary) SizeSummaryPanel();
  summaryArea_->setVisible(summary);
  FitSummaryArea();
  if (summary && isVisible()) GrowForSummary();
}

void TfrmTemplate::SizeSummaryPanel() {
  bool number = false;
  const int k = txtInput_[2]->text().trimmed().toInt(&number);
  if (!number || k < 1 || k > 5 || k == summaryPanel_->Covariates()) return;
  summaryPanel_->SetCovariates(k);
  FitSummaryArea();
  if (SummaryMode() && isVisible()) GrowForSummary();
}

void TfrmTemplate::FitSummaryArea() {
  // The grids whole: where the window has no room for them, the page scrolls.
  summaryArea_->setMinimumSize(summaryArea_->isVisibleTo(this) ? summaryArea_->widget()->sizeHint()
                                                               : QSize(0, 0));
}

void TfrmTemplate::GrowForSummary() {
  QSize room(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (const QScreen* place = screen()) {
    room = place->availableGeometry().size() - (frameGeometry().size() - size());
  }
  FitSummaryArea();
  // The nested layouts take the grids' new room first (each round passes it
  // one level up).
  for (int round = 0; round < 4; ++round) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  }
  content_->layout()->activate();
  // As large as the page with the grids whole, where the screen has room.
  const QSize target = WithMenuBar(content_->minimumSizeHint()).expandedTo(size()).boundedTo(room);
  if (target != size()) resize(target.expandedTo(minimumSize()));
  KeepOnScreen(*this);
}

Checked<SummaryInput> TfrmTemplate::SummaryForCompute(int N, int k) {
  if (summaryPanel_->Covariates() != k) summaryPanel_->SetCovariates(k);
  QString message;
  std::optional<SummaryStatistics> statistics = summaryPanel_->Statistics(N, message);
  if (!statistics) {
    summaryFault_ = focusWidget();  // the grid of the cell at fault
    return Refusal{Reason::SummaryEntry, message.toStdString(), MessageKind::Error, false, 0};
  }
  // Named by the file only while the statistics are that file's.
  const bool fromFile = !summaryFile_.isEmpty() && summaryFileN_ == N;
  return SummaryInput{*statistics, fromFile ? summaryFile_.toStdString() : std::string(),
                      ImpreciseEntryWarnings(summaryPanel_->Texts(N))};
}

void TfrmTemplate::LoadSummaryClick() {
  OpenFileRequest request;
  request.filterDescription = "Summary statistics files";
  const std::optional<QString> chosen = dialogs_.ChooseOpenFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) return;
  SummaryStatistics statistics;
  if (const auto problem = ReadSummaryFile(chosen->toStdString(), statistics)) {
    host_.ShowMessage(MessageKind::Error, problem->message);
    return;
  }
  // The values in their fewest digits that read back the same.
  fillingSummary_ = true;
  summaryPanel_->SetTexts(ShortestSummaryTexts(statistics));
  fillingSummary_ = false;
  const int N = statistics.N;
  txtInput_[1]->setText(QString::number(N));
  txtInput_[2]->setText(QString::number(statistics.k));
  summaryFile_ = *chosen;
  summaryFileN_ = N;
  FitSummaryArea();
  if (SummaryMode() && isVisible()) GrowForSummary();  // the columns are as wide as their values
  summaryPanel_->StatisticsGrid()->setFocus(Qt::OtherFocusReason);
}

void TfrmTemplate::SaveSummaryClick() {
  ModelFromView();
  const Checked<Counts> counts =
      CheckCounts(sheet_.Field(1).text, sheet_.Field(2).text, sheet_.Prior());
  if (!counts.ok()) {
    ShowRefusal(counts.refusal(), host_);
    host_.TakeFocusedField();  // the field has the focus; no Compute is waiting for it
    return;
  }
  const int N = counts.value().N;
  const int k = counts.value().k;
  if (summaryPanel_->Covariates() != k) summaryPanel_->SetCovariates(k);
  QString message;
  const std::optional<SummaryStatistics> statistics = summaryPanel_->Statistics(N, message);
  if (!statistics) {
    host_.ShowMessage(MessageKind::Error, message.toStdString());
    return;
  }
  SaveFileRequest request;
  request.proposedName = summaryFile_.isEmpty() ? QStringLiteral("summary.txt") : summaryFile_;
  const std::optional<QString> chosen = dialogs_.ChooseSaveFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) return;
  if (auto why = WriteSummaryFile(chosen->toStdString(), *statistics)) {
    host_.ShowMessage(MessageKind::Error,
                      "The summary statistics could not be written to the file " +
                          chosen->toStdString() + ": " + *why);
    return;
  }
  summaryFile_ = *chosen;
  summaryFileN_ = N;
}

void TfrmTemplate::RestoreLastSummary() {
  const std::optional<LastSummary> last = LoadLastSummary();
  if (!last) return;
  fillingSummary_ = true;
  summaryPanel_->SetTexts(ShortestSummaryTexts(last->statistics));
  fillingSummary_ = false;
  if (last->kind != DataKind::SummaryStatistics) return;
  dataKindButtons_->button(static_cast<int>(DataKind::SummaryStatistics))->setChecked(true);
  if (txtInput_[1]->text().isEmpty() && txtInput_[2]->text().isEmpty()) {
    txtInput_[1]->setText(QString::number(last->statistics.N));
    txtInput_[2]->setText(QString::number(last->statistics.k));
  }
}

}  // namespace quorvane
