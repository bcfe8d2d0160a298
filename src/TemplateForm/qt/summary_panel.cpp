#include "TemplateForm/qt/summary_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

constexpr int kMeanRow = 0;
constexpr int kSdRow = 1;
constexpr int kCaseRow = 2;

QString Name(int j) {
  return QString::fromStdString(SummaryVariableName(j));
}

}  // namespace

SummaryPanel::SummaryPanel(QWidget* parent)
    : QWidget(parent), statistics_(new QTableWidget(this)), correlations_(new QTableWidget(this)) {
  setObjectName(QStringLiteral("summaryPanel"));
  statistics_->setObjectName(QStringLiteral("summaryStatisticsGrid"));
  correlations_->setObjectName(QStringLiteral("summaryCorrelationGrid"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* statisticsLabel =
      new QLabel(tr("Controls' means and SDs (divisor N - 1) and the case's scores:"), this);
  auto* correlationsLabel =
      new QLabel(tr("Correlations in the control sample (lower triangle):"), this);
  statisticsLabel->setBuddy(statistics_);
  correlationsLabel->setBuddy(correlations_);
  layout->addWidget(statisticsLabel);
  layout->addWidget(statistics_);
  layout->addWidget(correlationsLabel);
  layout->addWidget(correlations_);
  statistics_->installEventFilter(this);
  correlations_->installEventFilter(this);
  SetCovariates(1);
}

void SummaryPanel::SetCovariates(int k) {
  if (k < 1) k = 1;
  if (k > 5) k = 5;
  k_ = k;
  const int K = k + 2;
  statistics_->setRowCount(3);
  statistics_->setColumnCount(K);
  statistics_->setVerticalHeaderLabels({tr("Mean"), tr("SD"), tr("Case")});
  correlations_->setRowCount(K);
  correlations_->setColumnCount(K);
  QStringList names;
  for (int j = 1; j <= K; ++j) names << Name(j);
  statistics_->setHorizontalHeaderLabels(names);
  correlations_->setHorizontalHeaderLabels(names);
  correlations_->setVerticalHeaderLabels(names);
  for (int i = 0; i < K; ++i) {
    for (int l = i; l < K; ++l) {
      auto* item = new QTableWidgetItem(l == i ? QStringLiteral("1") : QString());
      item->setFlags(Qt::NoItemFlags);  // the diagonal is 1; the upper triangle mirrors
      correlations_->setItem(i, l, item);
    }
  }
}

QString SummaryPanel::Cell(const QTableWidget* grid, int row, int column) const {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text() : QString();
}

SummaryTexts SummaryPanel::Texts(int N) const {
  SummaryTexts t = SummaryTexts::Empty(N, k_);
  const int K = k_ + 2;
  for (int j = 0; j < K; ++j) {
    const auto index = static_cast<std::size_t>(j);
    t.means[index] = Cell(statistics_, kMeanRow, j).toStdString();
    t.sds[index] = Cell(statistics_, kSdRow, j).toStdString();
    t.caseScores[index] = Cell(statistics_, kCaseRow, j).toStdString();
  }
  for (int i = 1; i < K; ++i) {
    for (int l = 0; l < i; ++l) {
      t.correlations[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(l)] =
          Cell(correlations_, i, l).toStdString();
    }
  }
  return t;
}

void SummaryPanel::SetTexts(const SummaryTexts& t) {
  SetCovariates(t.k);
  const int K = k_ + 2;
  for (int j = 0; j < K; ++j) {
    const auto index = static_cast<std::size_t>(j);
    statistics_->setItem(kMeanRow, j, new QTableWidgetItem(QString::fromStdString(t.means[index])));
    statistics_->setItem(kSdRow, j, new QTableWidgetItem(QString::fromStdString(t.sds[index])));
    statistics_->setItem(kCaseRow, j,
                         new QTableWidgetItem(QString::fromStdString(t.caseScores[index])));
  }
  for (int i = 1; i < K; ++i) {
    for (int l = 0; l < i; ++l) {
      correlations_->setItem(
          i, l,
          new QTableWidgetItem(QString::fromStdString(
              t.correlations[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(l)])));
    }
  }
}

void SummaryPanel::FocusEntry(const SummaryEntry& entry) {
  using Field = SummaryEntry::Field;
  QTableWidget* grid = entry.field == Field::Correlation ? correlations_ : statistics_;
  int row = 0, column = 0;
  switch (entry.field) {
    case Field::Mean:
    case Field::SD:
    case Field::Case:
      row = entry.field == Field::Mean ? kMeanRow : entry.field == Field::SD ? kSdRow : kCaseRow;
      column = entry.row - 1;
      break;
    case Field::Correlation:
      row = entry.row - 1;
      column = entry.column - 1;
      break;
    default:
      break;
  }
  grid->setCurrentCell(row, column);
  grid->setFocus(Qt::OtherFocusReason);
}

std::optional<SummaryStatistics> SummaryPanel::Statistics(int N, QString& message) {
  SummaryStatistics s;
  if (auto problem = ConvertSummaryTexts(Texts(N), s)) {
    message = QString::fromStdString(problem->message);
    FocusEntry(problem->entry);
    return std::nullopt;
  }
  return s;
}

bool SummaryPanel::SaveFile(const QString& path, int N, QString& why) {
  QString message;
  const auto s = Statistics(N, message);
  if (!s) {
    why = message;
    return false;
  }
  if (auto reason = WriteSummaryFile(path.toStdString(), *s)) {
    why = QString::fromStdString(*reason);
    return false;
  }
  return true;
}

bool SummaryPanel::LoadFile(const QString& path, int& N, QString& why) {
  SummaryStatistics s;
  if (auto problem = ReadSummaryFile(path.toStdString(), s)) {
    why = QString::fromStdString(problem->message);
    return false;
  }
  SetTexts(SummaryToTexts(s));
  N = s.N;
  return true;
}

void SummaryPanel::PasteText(const QString& text) {
  PasteInto(correlations_->hasFocus() ? correlations_ : statistics_, text);
}

void SummaryPanel::PasteInto(QTableWidget* grid, const QString& text) {
  const int top = grid->currentRow() < 0 ? 0 : grid->currentRow();
  const int left = grid->currentColumn() < 0 ? 0 : grid->currentColumn();
  QString normalised = text;
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  const QStringList lines = normalised.split('\n', Qt::SkipEmptyParts);
  for (int r = 0; r < lines.size(); ++r) {
    const QStringList cells = lines[r].split('\t');
    for (int c = 0; c < cells.size(); ++c) {
      const int row = top + r, column = left + c;
      if (row >= grid->rowCount() || column >= grid->columnCount()) continue;
      if (grid == correlations_ && column >= row) continue;
      grid->setItem(row, column, new QTableWidgetItem(cells[c].trimmed()));
    }
  }
}

bool SummaryPanel::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == statistics_ || watched == correlations_) && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
    PasteInto(static_cast<QTableWidget*>(watched), QApplication::clipboard()->text());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvane
