#include "TemplateResults/plot_panel.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "TemplateForm/analysis.h"
#include "gui/dialogs.h"
#include "gui/plots/plot_render.h"

namespace quorvane {

namespace {

// Paints the panel's selected plots, scaled to its size.
class PlotCanvas : public QWidget {
 public:
  explicit PlotCanvas(const PlotPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
    setObjectName(QStringLiteral("plotCanvas"));
    // Small enough to fit beside the report on a small screen; the plots are
    // scaled to whatever room there is.
    setMinimumSize(160, 200);
  }
  QSize sizeHint() const override { return QSize(kPlotWidth / 2, kPlotHeight); }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (panel_.Selected() == nullptr) {
      painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No plots yet: run an analysis."));
      return;
    }
    panel_.PaintSelected(painter, QRectF(rect()));
  }

 private:
  const PlotPanel& panel_;
};

}  // namespace

PlotPanel::PlotPanel(DialogSeam& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("plotPanel"));
  choice_ = new QComboBox(this);
  choice_->setObjectName(QStringLiteral("plotChoice"));
  choice_->setToolTip(QStringLiteral("The analysis whose plots are shown"));
  save_ = new QPushButton(QStringLiteral("Sa&ve Plot..."), this);
  save_->setObjectName(QStringLiteral("cmdSavePlot"));
  save_->setEnabled(false);
  scroller_ = new QScrollArea(this);
  scroller_->setObjectName(QStringLiteral("plotScroller"));
  scroller_->setFrameShape(QFrame::NoFrame);
  scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroller_->setWidgetResizable(true);
  // As small as the canvas may be, no smaller: where the screen has no room
  // for this beside the report the panel becomes a window of its own.
  scroller_->setMinimumSize(160, 200);
  canvas_ = new PlotCanvas(*this, scroller_);
  scroller_->setWidget(canvas_);
  scroller_->viewport()->installEventFilter(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(choice_, 1);
  bar->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(scroller_, 1);
  connect(choice_, &QComboBox::currentIndexChanged, this, [this] {
    save_->setEnabled(Selected() != nullptr);
    FitCanvas();
    canvas_->update();
    emit selectionChanged(Selected() != nullptr);
  });
  connect(save_, &QPushButton::clicked, this, &PlotPanel::SavePlotClick);
}

QString AnalysisName(int run, const Analysis& a) {
  const QString source = a.fromSummary && a.dataFileName.empty()
                             ? QStringLiteral("summary statistics entered")
                             : QFileInfo(QString::fromStdString(a.dataFileName)).fileName();
  const QString prior = a.prior == PriorChoice::Calibrated
                            ? QStringLiteral("calibrated prior")
                            : QStringLiteral("standard-theory prior");
  return QStringLiteral("Analysis %1: %2, %3").arg(run).arg(source, prior);
}

void PlotPanel::AddPlots(const Analysis& a, PlotData plot) {
  AddPlots(AnalysisName(Count() + 1, a), std::move(plot));
  if (!a.dataFileName.empty()) {
    choice_->setItemData(Count() - 1,
                         QDir::toNativeSeparators(QString::fromStdString(a.dataFileName)),
                         Qt::ToolTipRole);
  }
}

void PlotPanel::AddPlots(const QString& name, PlotData plot) {
  plots_.push_back({name, std::move(plot)});
  choice_->addItem(name);
  Select(Count() - 1);
  emit plotsAdded();
}

void PlotPanel::Clear() {
  plots_.clear();
  choice_->clear();
  save_->setEnabled(false);
  canvas_->update();
  emit selectionChanged(false);
}

const PlotData* PlotPanel::Selected() const {
  const int i = choice_->currentIndex();
  return i >= 0 && i < Count() ? &plots_[static_cast<std::size_t>(i)].plot : nullptr;
}

void PlotPanel::Select(int index) {
  choice_->setCurrentIndex(index);
}

PanelPlotLayout LayOutPanelPlots(const QSize& room, int count) {
  PanelPlotLayout layout;
  layout.canvasHeight = room.height();
  if (count <= 0 || room.width() <= 0 || room.height() <= 0) return layout;
  layout.columns = PlotColumnsToFit(QSizeF(room), count);
  const int rows = (count + layout.columns - 1) / layout.columns;
  const double fitted = std::min(double(room.width()) / layout.columns,
                                 double(room.height()) / rows * kPlotWidth / kPlotHeight);
  if (count <= 2 || fitted >= kLeastReadablePlotWidth) return layout;
  // As many columns as the width holds at a readable size, the rows below
  // one another (scrolled).
  layout.columns = std::clamp(room.width() / kLeastReadablePlotWidth, 1, count);
  const int stacked = (count + layout.columns - 1) / layout.columns;
  const double plotWidth = double(room.width()) / layout.columns;
  layout.canvasHeight = std::max(
      room.height(), static_cast<int>(std::ceil(stacked * plotWidth * kPlotHeight / kPlotWidth)));
  return layout;
}

PanelPlotLayout PlotPanel::ShownLayout() const {
  const PlotData* plot = Selected();
  return LayOutPanelPlots(scroller_->viewport()->size(),
                          plot == nullptr ? 0 : static_cast<int>(PlotKinds(*plot).size()));
}

void PlotPanel::FitCanvas() {
  const int height = ShownLayout().canvasHeight;
  const bool scrolled = height > scroller_->viewport()->height();
  canvas_->setMinimumHeight(scrolled ? height : 200);
}

bool PlotPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroller_->viewport() && event->type() == QEvent::Resize) FitCanvas();
  return QWidget::eventFilter(watched, event);
}

void PlotPanel::PaintSelected(QPainter& painter, const QRectF& area) const {
  if (const PlotData* plot = Selected()) {
    PaintPlotsInColumns(painter, area, *plot, ShownLayout().columns);
  }
}

void PlotPanel::SavePlotClick() {
  const PlotData* plot = Selected();
  if (plot == nullptr) return;
  SaveFileRequest request;
  request.proposedName = lastFile_;
  request.filter = PlotFileFilter();
  const std::optional<QString> file = dialogs_.ChooseSaveFile(this, request);
  if (!file) return;
  lastFile_ = *file;
  QString why;
  if (!SavePlots(*file, *plot, std::nullopt, why)) {
    dialogs_.ShowMessage(this, MessageKind::Error,
                         QStringLiteral("The plots could not be saved to %1: %2").arg(*file, why));
  }
}

}  // namespace quorvane
