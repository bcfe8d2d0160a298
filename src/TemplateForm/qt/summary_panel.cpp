#include "TemplateForm/qt/summary_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "file_io/number_text.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

constexpr int kMeanRow = 0;
constexpr int kSdRow = 1;
constexpr int kCaseRow = 2;

std::optional<long double> Value(const QString& text) {
  return ParsePlainDecimal(text.trimmed().toStdString());
}

// Two pasted entries that name the same value (the same text, or texts that
// read as the same number).
bool SameEntry(const QString& a, const QString& b) {
  if (a == b) return true;
  const auto x = Value(a), y = Value(b);
  return x && y && *x == *y;
}

bool IsOne(const QString& text) {
  const auto v = Value(text);
  return v && *v == 1.0L;
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
  for (QTableWidget* grid : {statistics_, correlations_}) {
    grid->installEventFilter(this);
    // Each column as wide as its widest text, so that no value is cut short.
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(grid, &QTableWidget::itemChanged, this, [this, grid](QTableWidgetItem* item) {
      if (!filling_) Edited(grid, item->row(), item->column());
    });
  }
  correlations_->viewport()->installEventFilter(this);
  SetCovariates(1);
}

void SummaryPanel::SetNames(const VariableNames& names) {
  names_ = names;
  QStringList headings;
  for (int j = 1; j <= k_ + 2; ++j) headings << QString::fromStdString(VariableName(names_, j));
  statistics_->setHorizontalHeaderLabels(headings);
  correlations_->setHorizontalHeaderLabels(headings);
  correlations_->setVerticalHeaderLabels(headings);
}

void SummaryPanel::SetCovariates(int k) {
  if (k < 1) k = 1;
  if (k > 5) k = 5;
  filling_ = true;
  k_ = k;
  const int K = k + 2;
  statistics_->setRowCount(3);
  statistics_->setColumnCount(K);
  statistics_->setVerticalHeaderLabels({tr("Mean"), tr("SD"), tr("Case")});
  correlations_->setRowCount(K);
  correlations_->setColumnCount(K);
  QStringList names;
  for (int j = 1; j <= K; ++j) names << QString::fromStdString(VariableName(names_, j));
  statistics_->setHorizontalHeaderLabels(names);
  correlations_->setHorizontalHeaderLabels(names);
  correlations_->setVerticalHeaderLabels(names);
  // The diagonal is 1 and the upper triangle mirrors the lower: greyed,
  // neither editable nor selectable.
  const QPalette shades = palette();
  for (int i = 0; i < K; ++i) {
    for (int l = i; l < K; ++l) {
      auto* item = new QTableWidgetItem(l == i ? QStringLiteral("1") : Cell(correlations_, l, i));
      item->setFlags(Qt::NoItemFlags);
      item->setBackground(shades.brush(QPalette::Disabled, QPalette::Window));
      item->setForeground(shades.brush(QPalette::Disabled, QPalette::Text));
      item->setToolTip(l == i
                           ? QString()
                           : tr("The same correlation as row %1, column %2").arg(l + 1).arg(i + 1));
      correlations_->setItem(i, l, item);
    }
  }
  filling_ = false;
  NewHistory();
}

QString SummaryPanel::Cell(const QTableWidget* grid, int row, int column) const {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text() : QString();
}

bool SummaryPanel::Editable(const QTableWidget* grid, int row, int column) const {
  if (row < 0 || column < 0 || row >= grid->rowCount() || column >= grid->columnCount()) {
    return false;
  }
  return grid != correlations_ || column < row;
}

void SummaryPanel::Put(QTableWidget* grid, int row, int column, const QString& text) {
  const bool filling = std::exchange(filling_, true);
  QTableWidgetItem* item = grid->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    grid->setItem(row, column, item);
  }
  item->setText(text);
  // The value in full precision, as it is kept.
  const auto value = Value(text);
  item->setToolTip(value ? QString::fromStdString(FullPrecision(*value)) : QString());
  if (grid == correlations_ && column < row) {
    if (QTableWidgetItem* mirror = correlations_->item(column, row)) mirror->setText(text);
  }
  auto& texts = grid == correlations_ ? correlationTexts_ : statisticsTexts_;
  if (static_cast<std::size_t>(row) < texts.size() &&
      static_cast<std::size_t>(column) < texts[static_cast<std::size_t>(row)].size()) {
    texts[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  }
  filling_ = filling;
}

void SummaryPanel::Remember() {
  const auto take = [this](const QTableWidget* grid) {
    std::vector<std::vector<QString>> texts(static_cast<std::size_t>(grid->rowCount()));
    for (int r = 0; r < grid->rowCount(); ++r) {
      for (int c = 0; c < grid->columnCount(); ++c) {
        texts[static_cast<std::size_t>(r)].push_back(Cell(grid, r, c));
      }
    }
    return texts;
  };
  statisticsTexts_ = take(statistics_);
  correlationTexts_ = take(correlations_);
}

void SummaryPanel::NewHistory() {
  undo_.clear();
  redo_.clear();
  Remember();
}

void SummaryPanel::Edited(QTableWidget* grid, int row, int column) {
  if (!Editable(grid, row, column)) return;
  auto& texts = grid == correlations_ ? correlationTexts_ : statisticsTexts_;
  const QString before =
      static_cast<std::size_t>(row) < texts.size() &&
              static_cast<std::size_t>(column) < texts[static_cast<std::size_t>(row)].size()
          ? texts[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]
          : QString();
  const QString after = Cell(grid, row, column);
  Put(grid, row, column, after);
  if (before == after) return;
  undo_.push_back({CellEdit{grid, row, column, before, after}});
  redo_.clear();
}

void SummaryPanel::Apply(const Step& step, bool after) {
  for (const CellEdit& edit : step) {
    Put(edit.grid, edit.row, edit.column, after ? edit.after : edit.before);
  }
  if (!step.empty()) {
    const CellEdit& first = step.front();
    first.grid->setCurrentCell(first.row, first.column);
  }
}

bool SummaryPanel::Undo() {
  if (undo_.empty()) return false;
  Step step = std::move(undo_.back());
  undo_.pop_back();
  Apply(step, false);
  redo_.push_back(std::move(step));
  return true;
}

bool SummaryPanel::Redo() {
  if (redo_.empty()) return false;
  Step step = std::move(redo_.back());
  redo_.pop_back();
  Apply(step, true);
  undo_.push_back(std::move(step));
  return true;
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
    Put(statistics_, kMeanRow, j, QString::fromStdString(t.means[index]));
    Put(statistics_, kSdRow, j, QString::fromStdString(t.sds[index]));
    Put(statistics_, kCaseRow, j, QString::fromStdString(t.caseScores[index]));
  }
  for (int i = 1; i < K; ++i) {
    for (int l = 0; l < i; ++l) {
      Put(correlations_, i, l,
          QString::fromStdString(
              t.correlations[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(l)]));
    }
  }
  NewHistory();
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

bool SummaryPanel::PasteText(const QString& text) {
  return PasteInto(correlations_->hasFocus() ? correlations_ : statistics_, text);
}

std::optional<SummaryPanel::Step> SummaryPanel::CorrelationPaste(
    const std::vector<QStringList>& rows, QString& message) {
  const int K = k_ + 2;
  const int n = static_cast<int>(rows.size());
  Step step;
  const auto take = [&](int row, int column, const QString& text) {
    step.push_back({correlations_, row, column, Cell(correlations_, row, column), text});
  };
  const auto at = [&rows](int r, int c) { return rows[static_cast<std::size_t>(r)][c]; };
  // A whole matrix of this size: as a square, or as its lower triangle with
  // the diagonal.
  if (n == K) {
    const bool square = std::all_of(rows.begin(), rows.end(),
                                    [K](const QStringList& row) { return row.size() == K; });
    bool triangle = true;
    for (int r = 0; r < n; ++r)
      triangle = triangle && rows[static_cast<std::size_t>(r)].size() == r + 1;
    if (square || triangle) {
      for (int r = 0; r < n; ++r) {
        if (!IsOne(at(r, r))) {
          message = tr("The pasted %1 x %1 matrix has %2 on its diagonal (row %3), not 1: it is "
                       "not a correlation matrix. Nothing was pasted.")
                        .arg(K)
                        .arg(at(r, r).isEmpty() ? tr("nothing") : at(r, r))
                        .arg(r + 1);
          return std::nullopt;
        }
      }
      for (int r = 1; r < n && square; ++r) {
        for (int c = 0; c < r; ++c) {
          if (!SameEntry(at(r, c), at(c, r))) {
            message = tr("The pasted %1 x %1 matrix is not symmetric: row %2, column %3 holds %4 "
                         "but row %3, column %2 holds %5. Nothing was pasted.")
                          .arg(K)
                          .arg(r + 1)
                          .arg(c + 1)
                          .arg(at(r, c), at(c, r));
            return std::nullopt;
          }
        }
      }
      for (int r = 1; r < n; ++r) {
        for (int c = 0; c < r; ++c) take(r, c, at(r, c));
      }
      return step;
    }
  }
  // A correlation matrix of another size.
  if (n > 1 && std::all_of(rows.begin(), rows.end(),
                           [n](const QStringList& row) { return row.size() == n; })) {
    bool unitDiagonal = true;
    for (int r = 0; r < n; ++r) unitDiagonal = unitDiagonal && IsOne(at(r, r));
    if (unitDiagonal) {
      message = tr("The pasted %1 x %1 matrix does not match the grid's %2 variables (Task Y1, "
                   "Task Y2 and %3 covariate(s)). Nothing was pasted.")
                    .arg(n)
                    .arg(K)
                    .arg(k_);
      return std::nullopt;
    }
  }
  // Any other block goes below the diagonal from the current cell, whole.
  const int top = std::max(correlations_->currentRow(), 0);
  const int left = std::max(correlations_->currentColumn(), 0);
  for (int r = 0; r < n; ++r) {
    const QStringList& cells = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < cells.size(); ++c) {
      if (Editable(correlations_, top + r, left + c)) {
        take(top + r, left + c, cells[c]);
      } else if (!cells[c].isEmpty()) {
        message = tr("The pasted block does not fit below the diagonal of the correlation grid "
                     "from row %1, column %2: its entry %3 would fall on %4. Paste the whole "
                     "matrix (%5 x %5, 1s on the diagonal), its lower triangle, or a block that "
                     "fits. Nothing was pasted.")
                      .arg(top + 1)
                      .arg(left + 1)
                      .arg(cells[c])
                      .arg(top + r >= K || left + c >= K ? tr("no cell of the grid")
                           : top + r == left + c         ? tr("the diagonal")
                                                 : tr("the upper triangle (row %1, column %2)")
                                                       .arg(top + r + 1)
                                                       .arg(left + c + 1))
                      .arg(K);
        return std::nullopt;
      }
    }
  }
  return step;
}

bool SummaryPanel::PasteInto(QTableWidget* grid, const QString& text) {
  QString normalised = text;
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  std::vector<QStringList> rows;
  for (const QString& line : normalised.split('\n', Qt::SkipEmptyParts)) {
    QStringList cells = line.split('\t');
    for (QString& cell : cells) cell = cell.trimmed();
    while (!cells.isEmpty() && cells.constLast().isEmpty()) cells.removeLast();  // trailing tabs
    rows.push_back(cells);
  }
  Step step;
  if (grid == correlations_) {
    QString message;
    std::optional<Step> block = CorrelationPaste(rows, message);
    if (!block) {
      emit pasteRefused(message);
      return false;
    }
    step = std::move(*block);
  } else {
    const int top = grid->currentRow() < 0 ? 0 : grid->currentRow();
    const int left = grid->currentColumn() < 0 ? 0 : grid->currentColumn();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const QStringList& cells = rows[static_cast<std::size_t>(r)];
      for (int c = 0; c < cells.size(); ++c) {
        if (!Editable(grid, top + r, left + c)) continue;
        step.push_back({grid, top + r, left + c, Cell(grid, top + r, left + c), cells[c]});
      }
    }
  }
  for (const CellEdit& edit : step) Put(edit.grid, edit.row, edit.column, edit.after);
  if (!step.empty()) {
    undo_.push_back(std::move(step));
    redo_.clear();
  }
  return true;
}

bool SummaryPanel::OnCorrelationViewportPress(QEvent* event) {
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QModelIndex index = correlations_->indexAt(mouse->position().toPoint());
  if (!index.isValid() || index.column() < index.row()) return false;  // the grid's own
  correlations_->setFocus(Qt::MouseFocusReason);
  if (index.column() > index.row()) {
    // An upper cell stands for its lower twin: that one becomes current.
    correlations_->setCurrentCell(index.column(), index.row());
  } else {
    // The diagonal takes no text: no cell is current, so typing goes nowhere.
    correlations_->setCurrentIndex(QModelIndex());
  }
  return true;
}

bool SummaryPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == correlations_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    if (OnCorrelationViewportPress(event)) return true;
  }
  if ((watched == statistics_ || watched == correlations_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Paste)) {
      PasteInto(static_cast<QTableWidget*>(watched), QApplication::clipboard()->text());
      return true;
    }
    if (key->matches(QKeySequence::Undo)) {
      Undo();
      return true;
    }
    const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
    if (key->matches(QKeySequence::Redo) ||
        (key->key() == Qt::Key_Y && held == Qt::ControlModifier) ||
        (key->key() == Qt::Key_Z && held == (Qt::ControlModifier | Qt::ShiftModifier))) {
      Redo();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvane
