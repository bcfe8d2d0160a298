#include "TemplateResults/TfrmTemplateResults.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "TemplateResults/plot_panel.h"
#include "file_io/safe_file.h"
#include "gui/dialogs.h"
#include "gui/fonts.h"
#include "gui/help_menu.h"
#include "gui/layout_button.h"
#include "gui/plots/plot_render.h"
#include "gui/text_printing.h"
#include "gui/window_placement.h"

namespace quorvane {

namespace {

constexpr int kClientWidth = 792;
constexpr int kClientHeight = 554;
const QSize kButtonSize(161, 37);
// The plot panel's width beside the report: both plots, one above the other,
// fill about the report's height; with the report at its preferred width the
// window still fits a 1280-pixel-wide screen.
constexpr int kPlotDockWidth = 430;
// The least and most width the user's choice of the panel's width is kept
// within (a remembered width from a larger screen is fitted again there).
constexpr int kLeastPlotDockWidth = 200;
constexpr int kMostPlotDockWidth = 1600;

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
  mnuPrintPreview_ = File1_->addAction(QStringLiteral("Print Pre&view..."), this,
                                       &TfrmTemplateResults::mnuPrintPreviewClick);
  mnuPrintPreview_->setObjectName(QStringLiteral("mnuPrintPreview"));

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

  // The plot panel (see the header), docked beside the report; hidden until
  // there are plots.
  plotPanel_ = new PlotPanel(dialogs_);
  plotDock_ = new QDockWidget(QStringLiteral("Plots"), this);
  plotDock_->setObjectName(QStringLiteral("plotDock"));
  plotDock_->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
  plotDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                         QDockWidget::DockWidgetFloatable);
  plotDock_->setWidget(plotPanel_);
  addDockWidget(Qt::RightDockWidgetArea, plotDock_);
  plotDock_->hide();
  QMenu* plotsMenu = menuBar()->addMenu(QStringLiteral("P&lots"));
  plotsMenu->setObjectName(QStringLiteral("mnuPlots"));
  mnuShowPlots_ = plotDock_->toggleViewAction();
  mnuShowPlots_->setText(QStringLiteral("&Show Plots"));
  mnuShowPlots_->setObjectName(QStringLiteral("mnuShowPlots"));
  plotsMenu->addAction(mnuShowPlots_);
  mnuSavePlot_ =
      plotsMenu->addAction(QStringLiteral("Sa&ve Plot..."), plotPanel_, &PlotPanel::SavePlotClick);
  mnuSavePlot_->setObjectName(QStringLiteral("mnuSavePlot"));
  mnuSavePlot_->setEnabled(false);
  connect(plotPanel_, &PlotPanel::selectionChanged, mnuSavePlot_, &QAction::setEnabled);
  connect(plotPanel_, &PlotPanel::plotsAdded, this, &TfrmTemplateResults::PlotsAdded);
  // Floating, the panel is a window of its own with the window manager's
  // frame (Qt's floating docks have none on X11), and a menu entry docks it
  // again.
  mnuDockPlots_ = plotsMenu->addAction(QStringLiteral("&Dock Beside the Report"), this, [this] {
    plotDock_->setFloating(false);
    WidenForPlots();
  });
  mnuDockPlots_->setObjectName(QStringLiteral("mnuDockPlots"));
  mnuDockPlots_->setEnabled(false);
  connect(plotDock_, &QDockWidget::topLevelChanged, this, &TfrmTemplateResults::FramePlotsWindow);
  // The menu (or the panel's close button) is the user's choice, kept for
  // the next analyses.
  connect(mnuShowPlots_, &QAction::triggered, this, [this](bool shown) {
    plotsHiddenByUser_ = !shown;
    if (shown) WidenForPlots();
  });
  connect(plotDock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    // The width the user left it at, kept for when it shows again.
    if (!visible && placed_ && DockedBeside()) {
      plotDockWidth_ = std::clamp(plotDock_->width(), kLeastPlotDockWidth, kMostPlotDockWidth);
    }
    if (!visible && plotDock_->isHidden() && isVisible()) plotsHiddenByUser_ = true;
  });

  AddHelpMenu(*this, *menuBar(), dialogs_, [this] { return helpText_ ? helpText_() : QString(); });

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

bool TfrmTemplateResults::ConfirmExitProgram(QWidget* parent) {
  if (!HoldsUnsavedResults()) return ConfirmExit(dialogs_, parent);
  switch (dialogs_.AskSaveDiscardCancel(parent, QString::fromLatin1(kSaveBeforeExitQuestion))) {
    case UnsavedChoice::Save:
      if (!SaveOutput()) return false;
      break;
    case UnsavedChoice::Discard:
      break;
    case UnsavedChoice::Cancel:
      return false;
  }
  dialogs_.TerminateApplication();
  return true;
}

void TfrmTemplateResults::FormCreate() {
  memoResults_->clear();
}

void TfrmTemplateResults::FormShow() {
  if (!placed_) {  // fitted to the screen at the first show; afterwards where the user left it
    if (worksheet_ != nullptr && worksheet_->screen() != nullptr) {
      setScreen(worksheet_->screen());  // the worksheet's screen
    }
    FitOnScreen(*this, QSize(kClientWidth + PlotDockExtent(),
                             kClientHeight + menuBar()->sizeHint().height()));
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
  if (dialogs_.Terminating() || ConfirmExitProgram(this)) {
    event->accept();
  } else {
    event->ignore();
  }
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
  ConfirmExitProgram(this);
}

void TfrmTemplateResults::cmdSaveOutputClick() {
  SaveOutput();
}

bool TfrmTemplateResults::SaveOutput() {
  SaveFileRequest request;
  request.proposedName = saveName_;
  const std::optional<QString> chosen = dialogs_.ChooseSaveFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) return false;
  saveName_ = *chosen;

  // Through the safe writer: a failed or full-disk write leaves an earlier
  // file as it was.
  if (auto why = WriteFileSafely(QFile::encodeName(*chosen).toStdString(),
                                 WholeText().toUtf8().toStdString())) {
    dialogs_.ShowMessage(this, MessageKind::Error,
                         QStringLiteral("The file \"%1\" could not be written: %2")
                             .arg(QDir::toNativeSeparators(*chosen), QString::fromStdString(*why)));
    return false;
  }
  memoResults_->document()->setModified(false);  // saved as it stands
  return true;
}

void TfrmTemplateResults::mnuPrintClick() {
  PrintLines(WholeText() + QStringLiteral("\r\n"), true);
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

void TfrmTemplateResults::mnuPrintPreviewClick() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setDocName(QStringLiteral("Quorvane results"));
  const QString text = WholeText() + QStringLiteral("\r\n");
  dialogs_.ShowPrintPreview(this, *printer_, [this, text](QPrinter& printer) {
    QString error;
    if (!PaintPages(printer, text, true, error)) {
      dialogs_.ShowMessage(this, MessageKind::Error, error);
    }
  });
}

void TfrmTemplateResults::PrintLines(const QString& text, bool withPlots) {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setDocName(QStringLiteral("Quorvane results"));
  if (!dialogs_.SetUpPrinter(this, *printer_)) return;
  QString error;
  if (!PaintPages(*printer_, text, withPlots, error)) {
    dialogs_.ShowMessage(this, MessageKind::Error, error);
  }
}

bool TfrmTemplateResults::PaintPages(QPrinter& printer, const QString& text, bool withPlots,
                                     QString& error) {
  // After the text, the plots of each analysis, on one page with the
  // analysis's name above them.
  std::vector<PrintedPage> plotPages;
  for (int i = 0; withPlots && i < plotPanel_->Count(); ++i) {
    plotPages.push_back([this, i](QPainter& painter, const QRectF& page) {
      QFont font = PrintFont();
      font.setBold(true);
      painter.setFont(QFont(font, painter.device()));
      painter.setPen(Qt::black);
      const QFontMetricsF metrics(painter.font());
      painter.drawText(QPointF(0, metrics.ascent()), plotPanel_->NameAt(i));
      const double top = 2 * metrics.lineSpacing();
      PaintBothPlots(painter, QRectF(0, top, page.width(), page.height() - top),
                     plotPanel_->PlotAt(i));
    });
  }
  return PrintText(printer, text, error, plotPages);
}

void TfrmTemplateResults::FramePlotsWindow(bool floating) {
  mnuDockPlots_->setEnabled(floating);
  if (!floating) {
    if (QWidget* empty = plotDock_->titleBarWidget()) {
      plotDock_->setTitleBarWidget(nullptr);
      empty->deleteLater();
    }
    return;
  }
  if (plotDock_->windowType() == Qt::Window) return;
  const QRect place = plotDock_->geometry();
  const bool shown = plotDock_->isVisible();
  // The window manager's title bar instead of the dock's own.
  if (plotDock_->titleBarWidget() == nullptr) plotDock_->setTitleBarWidget(new QWidget(plotDock_));
  plotDock_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  plotDock_->setWindowTitle(QStringLiteral("Plots"));
  FitOnScreen(*plotDock_, place.size());
  if (shown) plotDock_->show();
  // Once the window manager has framed it, its frame is kept on the screen.
  QTimer::singleShot(250, plotDock_, [dock = plotDock_] { KeepOnScreen(*dock); });
}

bool TfrmTemplateResults::DockedBeside() const {
  return !plotDock_->isFloating() && dockWidgetArea(plotDock_) == Qt::RightDockWidgetArea;
}

int TfrmTemplateResults::PlotPanelWidth() const {
  if (placed_ && plotDock_->isVisibleTo(this) && DockedBeside()) {
    return std::clamp(plotDock_->width(), kLeastPlotDockWidth, kMostPlotDockWidth);
  }
  return plotDockWidth_;
}

void TfrmTemplateResults::SetPlotPanelWidth(int width) {
  plotDockWidth_ = std::clamp(width, kLeastPlotDockWidth, kMostPlotDockWidth);
  if (PlotsShown()) WidenForPlots();
}

bool TfrmTemplateResults::PlotsShown() const {
  return !plotDock_->isHidden();
}

void TfrmTemplateResults::ShowPlots(bool shown) {
  if (shown == PlotsShown()) return;
  mnuShowPlots_->trigger();  // as the user does it
}

void TfrmTemplateResults::PlotsAdded() {
  if (PlotsShown() || plotsHiddenByUser_) return;
  // Opened by itself only where the report keeps its preferred width beside it.
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  const int frameWidth = frameGeometry().width() - width();
  if (shownOn->availableGeometry().width() - frameWidth < kClientWidth + PlotDockExtent(true)) {
    return;
  }
  plotDock_->show();
  WidenForPlots();
}

int TfrmTemplateResults::PlotDockExtent(bool evenIfHidden) const {
  if ((!evenIfHidden && plotDock_->isHidden()) || plotDock_->isFloating() ||
      dockWidgetArea(plotDock_) != Qt::RightDockWidgetArea) {
    return 0;
  }
  return plotDockWidth_ + style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
}

void TfrmTemplateResults::WidenForPlots() {
  if (plotDock_->isHidden()) return;
  // Where the screen cannot hold the window with the panel docked even at
  // their least sizes, the panel becomes a window of its own on that screen.
  if (const QScreen* shownOn = screen(); shownOn != nullptr && !plotDock_->isFloating()) {
    layout()->invalidate();
    const QSize frame = frameGeometry().size() - size();
    const QSize room = shownOn->availableGeometry().size() - frame;
    const QSize least = layout()->totalMinimumSize().expandedTo(minimumSize());
    if (least.width() > room.width() || least.height() > room.height()) {
      plotDock_->setFloating(true);
      FitOnScreen(*plotDock_, QSize(kPlotWidth, kPlotHeight + 120));
      layout()->invalidate();
      layout()->activate();  // the window's least size without the panel
      KeepOnScreen(*this);
      return;
    }
  }
  const int extent = PlotDockExtent();
  if (extent == 0 || isMaximized() || isFullScreen()) return;
  // Wide enough for the report at its preferred width beside the panel, as far
  // as the screen allows.
  int wanted = std::max(width(), kClientWidth + extent);
  if (const QScreen* shownOn = screen()) {
    const int frameWidth = frameGeometry().width() - width();
    wanted = std::min(wanted, std::max(width(), shownOn->availableGeometry().width() - frameWidth));
  }
  resize(wanted, height());
  // Where even so the screen is too narrow, the report gives up some of its
  // preferred width (it scrolls sideways) so that the plots can be read: the
  // panel takes up to two fifths of the window.
  const int room = wanted - kClientWidth - (extent - plotDockWidth_);
  resizeDocks({plotDock_},
              {room >= plotDockWidth_ ? plotDockWidth_
                                      : std::max(room, std::min(plotDockWidth_, wanted * 2 / 5))},
              Qt::Horizontal);
  // The dock's frame and title are the style's: the report's width as laid
  // out is corrected to the preferred one where the panel can give the room.
  layout()->activate();
  const int over = centralWidget()->width() - kClientWidth;
  if (room >= plotDockWidth_ && over != 0) {
    resizeDocks({plotDock_}, {plotDock_->width() + over}, Qt::Horizontal);
  }
  KeepOnScreen(*this);
}

}  // namespace quorvane
