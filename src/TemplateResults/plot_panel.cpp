#include "TemplateResults/plot_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

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
  canvas_ = new PlotCanvas(*this, this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(choice_, 1);
  bar->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(canvas_, 1);
  connect(choice_, &QComboBox::currentIndexChanged, this, [this] {
    save_->setEnabled(Selected() != nullptr);
    canvas_->update();
    emit selectionChanged(Selected() != nullptr);
  });
  connect(save_, &QPushButton::clicked, this, &PlotPanel::SavePlotClick);
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

void PlotPanel::PaintSelected(QPainter& painter, const QRectF& area) const {
  if (const PlotData* plot = Selected()) PaintBothPlotsToFit(painter, area, *plot);
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
