#include "TemplateResults/TfrmTemplateResults.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "TemplateResults/plot_panel.h"
#include "gui/dialogs.h"
#include "gui/fonts.h"
#include "gui/layout_button.h"
#include "gui/text_printing.h"
#include "gui/window_placement.h"
#include "plots/plot_render.h"

namespace quorvane {

namespace {

constexpr int kClientWidth = 792;
constexpr int kClientHeight = 554;
const QSize kButtonSize(161, 37);

// memoResults seen as the append-only list of lines the report is written to.
// The memo's text is kept as lines each followed by a line feed, so that an
// empty first line still counts as a line.
class MemoSink : public LineSink {
 public:
  explicit MemoSink(QPlainTextEdit* memo) : memo_(memo) {}
  void Add(const std::string& line) override {
    QTextDocument* document = memo_->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    QString text = QString::fromStdString(line);
    if (!document->lastBlock().text().isEmpty()) text.prepend(QLatin1Char('\n'));
    text.append(QLatin1Char('\n'));
    cursor.insertText(text);
    // What the program writes is no step the user could undo; it is unsaved.
    document->clearUndoRedoStacks();
    document->setModified(true);
  }
  int Count() const override {
    const QTextDocument* document = memo_->document();
    return document->blockCount() - (document->lastBlock().text().isEmpty() ? 1 : 0);
  }

 private:
  QPlainTextEdit* memo_;
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
  auto* button = new LayoutButton(text, kButtonSize, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(WindowFont(true));
  return button;
}

}  // namespace

QStringList MemoLines(const QString& plainText) {
  if (plainText.isEmpty()) return {};
  QStringList lines = plainText.split(QLatin1Char('\n'));
  if (lines.constLast().isEmpty()) lines.removeLast();
  return lines;
}

TfrmTemplateResults::TfrmTemplateResults(DialogSeam& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("frmTemplateResults"));
  setWindowTitle(QStringLiteral("Output"));
  setFont(WindowFont());

  File1_ = menuBar()->addMenu(QStringLiteral("&Printer options..."));
  File1_->setObjectName(QStringLiteral("File1"));
  mnuPrint_ =
      File1_->addAction(QStringLiteral("Print &All"), this, &TfrmTemplateResults::mnuPrintClick);
  mnuPrint_->setObjectName(QStringLiteral("mnuPrint"));
  mnuPrint_->setShortcut(QKeySequence::Print);
  mnuPrintSelection_ = File1_->addAction(QStringLiteral("Print &Selection"), this,
                                         &TfrmTemplateResults::mnuPrintSelectionClick);
  mnuPrintSelection_->setObjectName(QStringLiteral("mnuPrintSelection"));

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("clientArea"));
  setCentralWidget(client);

  Panel1_ = new QFrame(client);
  Panel1_->setObjectName(QStringLiteral("Panel1"));
  Panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);

  memoResults_ = new QPlainTextEdit(Panel1_);
  memoResults_->setObjectName(QStringLiteral("memoResults"));
  memoResults_->setFont(MemoFont());
  memoResults_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Report lines are not wrapped (a horizontal scroll bar shows when a line is
  // wider than the memo), so the report reads as it is saved and printed.
  memoResults_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memoResults_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  memoResults_->setTabChangesFocus(true);
  memoResults_->setMinimumSize(200, 80);
  QPalette palette = memoResults_->palette();
  palette.setColor(QPalette::Text, Qt::black);
  // The selection stays visible when the memo loses the focus.
  for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  memoResults_->setPalette(palette);
  connect(memoResults_->document(), &QTextDocument::contentsChanged, this,
          &TfrmTemplateResults::resultsChanged);
  auto* memoLayout = new QVBoxLayout(Panel1_);
  memoLayout->setContentsMargins(7, 7, 7, 7);  // inside the panel's one-pixel frame
  memoLayout->addWidget(memoResults_);

  Panel2_ = new QFrame(client);
  Panel2_->setObjectName(QStringLiteral("Panel2"));
  Panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2_->setFixedHeight(49);

  cmdSaveOutput_ = MakeButton(Panel2_, "cmdSaveOutput", QStringLiteral("&Save Output"));
  cmdClearResults_ = MakeButton(Panel2_, "cmdClearResults", QStringLiteral("&Clear Results"));
  cmdReturn_ = MakeButton(Panel2_, "cmdReturn", QStringLiteral("&Return to Worksheet"));
  cmdExit_ = MakeButton(Panel2_, "cmdExit", QStringLiteral("E&xit"));
  connect(cmdSaveOutput_, &QPushButton::clicked, this, &TfrmTemplateResults::cmdSaveOutputClick);
  connect(cmdClearResults_, &QPushButton::clicked, this,
          &TfrmTemplateResults::cmdClearResultsClick);
  connect(cmdReturn_, &QPushButton::clicked, this, &TfrmTemplateResults::cmdReturnClick);
  connect(cmdExit_, &QPushButton::clicked, this, &TfrmTemplateResults::cmdExitClick);
  // Ctrl+S saves as the button does (its Alt+S comes from the caption).
  actSaveOutput_ = new QAction(QStringLiteral("Save Output"), this);
  actSaveOutput_->setObjectName(QStringLiteral("actSaveOutput"));
  actSaveOutput_->setShortcut(QKeySequence::Save);
  connect(actSaveOutput_, &QAction::triggered, this, &TfrmTemplateResults::cmdSaveOutputClick);
  addAction(actSaveOutput_);
  cmdSaveOutput_->setToolTip(
      QStringLiteral("Save Output (%1)")
          .arg(actSaveOutput_->shortcut().toString(QKeySequence::NativeText)));
  auto* buttonRow = new QHBoxLayout(Panel2_);
  buttonRow->setContentsMargins(15, 5, 12, 5);
  buttonRow->setSpacing(0);
  for (QPushButton* button : {cmdSaveOutput_, cmdClearResults_, cmdReturn_}) {
    buttonRow->addWidget(button);
    AddButtonGap(*buttonRow);
  }
  buttonRow->addWidget(cmdExit_);

  // The report above the button row, taking whatever room the window has. At
  // the preferred size every control sits where the template puts it.
  auto* window = new QVBoxLayout(client);
  window->setContentsMargins(12, 2, 15, 23);
  window->setSpacing(12);
  window->addWidget(Panel1_, 1);
  window->addWidget(Panel2_);

  setTabOrder(memoResults_, cmdSaveOutput_);
  setTabOrder(cmdSaveOutput_, cmdClearResults_);
  setTabOrder(cmdClearResults_, cmdReturn_);
  setTabOrder(cmdReturn_, cmdExit_);

  // The plot panel (see plot_panel.h): shown with the first plots, hidden and
  // shown again from the "Plots" menu.
  plotPanel_ = new PlotPanel(dialogs_, this);
  plotPanel_->setWindowFlag(Qt::Tool);
  plotPanel_->setWindowTitle(QStringLiteral("Plots"));
  plotPanel_->resize(kPlotWidth * 3 / 4, kPlotHeight * 3 / 2);
  QAction* showPlots =
      menuBar()->addMenu(QStringLiteral("P&lots"))->addAction(QStringLiteral("Show Plots"));
  showPlots->setObjectName(QStringLiteral("mnuShowPlots"));
  showPlots->setCheckable(true);
  connect(showPlots, &QAction::toggled, plotPanel_, &QWidget::setVisible);

  sink_ = std::make_unique<MemoSink>(memoResults_);
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  FormCreate();
}

TfrmTemplateResults::~TfrmTemplateResults() = default;

LineSink& TfrmTemplateResults::Memo() {
  return *sink_;
}

QStringList TfrmTemplateResults::Lines() const {
  return MemoLines(memoResults_->toPlainText());
}

QString TfrmTemplateResults::WholeText() const {
  QString text;
  for (const QString& line : Lines()) {
    text += line;
    text += QStringLiteral("\r\n");
  }
  return text;
}

void TfrmTemplateResults::ShowLineAtTop(int line) {
  QTextCursor cursor(memoResults_->document());
  cursor.movePosition(QTextCursor::End);
  memoResults_->setTextCursor(cursor);
  memoResults_->ensureCursorVisible();
  const QTextBlock block = memoResults_->document()->findBlockByNumber(line);
  if (block.isValid()) cursor.setPosition(block.position());
  memoResults_->setTextCursor(cursor);
  memoResults_->ensureCursorVisible();
}

bool TfrmTemplateResults::HoldsResults() const {
  return !memoResults_->document()->isEmpty();
}

bool TfrmTemplateResults::HoldsUnsavedResults() const {
  return HoldsResults() && memoResults_->document()->isModified();
}

bool TfrmTemplateResults::MayDiscardResults(QWidget* parent) {
  if (!HoldsUnsavedResults()) return true;
  return dialogs_.Confirm(parent, QString::fromLatin1(kDiscardResultsQuestion),
                          MessageButton::No) == MessageButton::Yes;
}

void TfrmTemplateResults::FormCreate() {
  memoResults_->clear();
}

void TfrmTemplateResults::FormShow() {
  if (!placed_) {  // fitted to the screen at the first show; afterwards where the user left it
    if (worksheet_ != nullptr && worksheet_->screen() != nullptr) {
      setScreen(worksheet_->screen());  // the worksheet's screen
    }
    FitOnScreen(*this, QSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height()));
    placed_ = true;
  }
  raise();
  activateWindow();
  cmdReturn_->setFocus();
}

void TfrmTemplateResults::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmTemplateResults::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !framed_) {
    KeepOnScreen(*this);  // the window manager's frame is known by now
    framed_ = true;
  }
}

void TfrmTemplateResults::closeEvent(QCloseEvent* event) {
  if (dialogs_.Terminating() || ConfirmLeaving()) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TfrmTemplateResults::ConfirmLeaving() {
  return MayDiscardResults(this) && ConfirmExit(dialogs_, this);
}

void TfrmTemplateResults::cmdReturnClick() {
  hide();
  if (worksheet_ != nullptr) worksheet_->show();
}

void TfrmTemplateResults::cmdClearResultsClick() {
  if (!MayDiscardResults(this)) return;
  memoResults_->clear();
  memoResults_->document()->setModified(false);
  plotPanel_->Clear();  // the plots go with the reports they belong to
}

void TfrmTemplateResults::cmdExitClick() {
  ConfirmLeaving();
}

void TfrmTemplateResults::cmdSaveOutputClick() {
  SaveFileRequest request;
  request.proposedName = saveName_;
  const std::optional<QString> chosen = dialogs_.ChooseSaveFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) return;
  saveName_ = *chosen;

  QFile file(*chosen);
  const QByteArray bytes = WholeText().toUtf8();
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    dialogs_.ShowMessage(this, MessageKind::Error,
                         QStringLiteral("Cannot create file \"%1\". %2")
                             .arg(QDir::toNativeSeparators(*chosen), file.errorString()));
    return;
  }
  const bool written = file.write(bytes) == bytes.size();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    dialogs_.ShowMessage(this, MessageKind::Error,
                         QStringLiteral("The file \"%1\" could not be written. %2")
                             .arg(QDir::toNativeSeparators(*chosen), file.errorString()));
    return;
  }
  memoResults_->document()->setModified(false);  // saved as it stands
}

void TfrmTemplateResults::mnuPrintClick() {
  PrintLines(WholeText() + QStringLiteral("\r\n"));
}

void TfrmTemplateResults::mnuPrintSelectionClick() {
  QString selected = memoResults_->textCursor().selectedText();
  if (selected.isEmpty()) {
    dialogs_.ShowMessage(this, MessageKind::Warning,
                         QStringLiteral("You have not selected any text."));
    return;
  }
  selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  selected.replace(QChar::LineSeparator, QLatin1Char('\n'));
  PrintLines(selected + QStringLiteral("\n"));
}

void TfrmTemplateResults::PrintLines(const QString& text) {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setDocName(QStringLiteral("Quorvane results"));
  if (!dialogs_.SetUpPrinter(this, *printer_)) return;
  QString error;
  if (!PrintText(*printer_, text, error)) dialogs_.ShowMessage(this, MessageKind::Error, error);
}

}  // namespace quorvane
