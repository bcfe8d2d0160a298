#include "TemplateForm/qt/series_window.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <variant>

#include "TemplateForm/case_batch.h"
#include "TemplateForm/deficit_report.h"
#include "TemplateForm/dissociation.h"
#include "TemplateForm/report.h"
#include "TemplateForm/worksheet/compute.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "file_io/safe_file.h"
#include "gui/dialogs.h"
#include "gui/fonts.h"
#include "gui/layout_button.h"
#include "gui/window_placement.h"
#include "text/format_text.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

namespace quorvane {

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kProgressSteps = 1000;
constexpr uint kBatchStackBytes = 8u << 20;  // as the worksheet's engine thread
const QSize kPreferredSize(1080, 600);

// The report's formats (result_formats.cpp uses the same).
constexpr const char* kProbabilityFormat = "%.5Lf";
constexpr const char* kEstimateFormat = "%.3Lf";

constexpr const char* kDiscardQuestion =
    "The case series' results have not been saved as a CSV file. Discard them?";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A message in one table cell: its line breaks as blanks.
QString OneLine(std::string text) {
  text = WithLineFeeds(std::move(text));
  std::replace(text.begin(), text.end(), '\n', ' ');
  return Q(text);
}

const char* PriorText(PriorChoice prior) {
  return prior == PriorChoice::Calibrated ? "calibrated prior" : "standard-theory prior";
}

const char* LimitText(CredibleLimitChoice limit) {
  switch (limit) {
    case CredibleLimitChoice::TwoSided:
      break;
    case CredibleLimitChoice::OneSidedLower:
      return "one-sided lower 95% credible limit";
    case CredibleLimitChoice::OneSidedUpper:
      return "one-sided upper 95% credible limit";
  }
  return "two-sided 95% credible interval";
}

const char* PoorerText(PoorerScores poorer) {
  return poorer == PoorerScores::Lower ? "lower" : "higher";
}

// The verdict in a few words, for a table cell (the whole sentence is its
// tooltip).
QString ShortVerdict(const DissociationVerdict& v) {
  const QString task = v.task == 2 ? QStringLiteral("Y2") : QStringLiteral("Y1");
  switch (v.pattern) {
    case DissociationPattern::ClassicalDissociation:
      return QStringLiteral("Classical dissociation (%1)").arg(task);
    case DissociationPattern::StrongDissociation:
      return QStringLiteral("Strong dissociation (%1)").arg(task);
    case DissociationPattern::DeficitsWithoutDifference:
      return QStringLiteral("Deficits on both, no dissociation");
    case DissociationPattern::DeficitWithoutDifference:
      return QStringLiteral("Deficit on %1 only, no dissociation").arg(task);
    case DissociationPattern::DifferenceWithoutDeficit:
      return QStringLiteral("Difference without deficit");
    case DissociationPattern::NoDeficit:
      return QStringLiteral("No deficit");
    case DissociationPattern::DirectionsDiffer:
      return QStringLiteral("No verdict (poorer directions differ)");
  }
  return {};
}

}  // namespace

// The table's rows: the cases in input order, their cells as the report
// rounds their numbers, the full-precision value in the tooltip.
class SeriesTableModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Reset(const AnalysisRequest& base) {
    beginResetModel();
    cases_.clear();
    holm_.clear();
    limit_ = base.limit;
    columns_ = {SeriesColumn::Line,  SeriesColumn::Id,         SeriesColumn::TwoTailedP,
                SeriesColumn::HolmP, SeriesColumn::OneTailedP, SeriesColumn::EffectSize};
    const bool lower = limit_ != CredibleLimitChoice::OneSidedUpper;
    const bool upper = limit_ != CredibleLimitChoice::OneSidedLower;
    if (lower) columns_.push_back(SeriesColumn::EffectLower);
    if (upper) columns_.push_back(SeriesColumn::EffectUpper);
    columns_.push_back(SeriesColumn::Percent);
    if (lower) columns_.push_back(SeriesColumn::PercentLower);
    if (upper) columns_.push_back(SeriesColumn::PercentUpper);
    if (base.deficits.asked) {
      columns_.push_back(SeriesColumn::DeficitY1P);
      columns_.push_back(SeriesColumn::DeficitY2P);
      columns_.push_back(SeriesColumn::Verdict);
      poorer_ = base.deficits.poorer;
    }
    columns_.push_back(SeriesColumn::Message);
    endResetModel();
  }

  void Clear() {
    beginResetModel();
    cases_.clear();
    holm_.clear();
    endResetModel();
  }

  void Append(std::vector<SeriesCase>&& added) {
    if (added.empty()) return;
    const int first = static_cast<int>(cases_.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    for (SeriesCase& c : added) cases_.push_back(std::move(c));
    endInsertRows();
  }

  void SetHolm(std::vector<long double> holm) {
    holm_ = std::move(holm);
    const int column = ColumnOf(SeriesColumn::HolmP);
    if (!cases_.empty() && column >= 0) {
      emit dataChanged(index(0, column), index(rowCount() - 1, column));
    }
  }
  const std::vector<long double>& Holm() const { return holm_; }
  const std::vector<SeriesCase>& Cases() const { return cases_; }

  void SetControlsWarnings(std::vector<std::string> warnings) {
    controlsWarnings_ = std::move(warnings);
  }

  int ColumnOf(SeriesColumn c) const {
    const auto found = std::find(columns_.begin(), columns_.end(), c);
    return found == columns_.end() ? -1 : static_cast<int>(found - columns_.begin());
  }
  SeriesColumn ColumnAt(int section) const { return columns_[static_cast<std::size_t>(section)]; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(cases_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
  }

  // The number a cell shows, or none (the row has no such value).
  std::optional<long double> Number(int row, SeriesColumn column) const {
    const SeriesCase& c = cases_[static_cast<std::size_t>(row)];
    if (column == SeriesColumn::Line) return c.row.origin.line;
    if (!c.HasResult()) return std::nullopt;
    const Analysis& a = c.outcome->result();
    const EngineResults& r = a.results;
    long double value = 0;
    switch (column) {
      case SeriesColumn::TwoTailedP:
        value = r.twoTailedP;
        break;
      case SeriesColumn::HolmP:
        if (holm_.size() != cases_.size()) return std::nullopt;
        value = holm_[static_cast<std::size_t>(row)];
        break;
      case SeriesColumn::OneTailedP:
        value = r.oneTailedP;
        break;
      case SeriesColumn::EffectSize:
        value = r.effectSize;
        break;
      case SeriesColumn::EffectLower:
        value = r.effectSizeLower;
        break;
      case SeriesColumn::EffectUpper:
        value = r.effectSizeUpper;
        break;
      case SeriesColumn::Percent:
        value = r.percentMoreExtreme;
        break;
      case SeriesColumn::PercentLower:
        value = r.percentLower;
        break;
      case SeriesColumn::PercentUpper:
        value = r.percentUpper;
        break;
      case SeriesColumn::DeficitY1P:
      case SeriesColumn::DeficitY2P: {
        const DeficitResult& d = a.deficit[column == SeriesColumn::DeficitY1P ? 0 : 1];
        if (!a.deficits.asked || !d.HasTest()) return std::nullopt;
        value = d.oneTailedP;
        break;
      }
      default:
        return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return value;
  }

  // The text of a cell that holds text (ID, verdict, message).
  QString Text(int row, SeriesColumn column) const {
    const SeriesCase& c = cases_[static_cast<std::size_t>(row)];
    switch (column) {
      case SeriesColumn::Id:
        return Q(c.row.origin.id);
      case SeriesColumn::Verdict:
        if (const auto v = VerdictOf(c)) return ShortVerdict(*v);
        return {};
      case SeriesColumn::Message:
        return OneLine(MessageOf(c));
      default:
        return {};
    }
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const int row = index.row();
    const SeriesColumn column = ColumnAt(index.column());
    const SeriesCase& c = cases_[static_cast<std::size_t>(row)];
    const bool text = column == SeriesColumn::Id || column == SeriesColumn::Verdict ||
                      column == SeriesColumn::Message;
    // A row without a result says why across its numbers' cells (the view
    // spans them from the two-tailed p's).
    const bool why = column == SeriesColumn::TwoTailedP && !c.HasResult();
    if (role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(text || why ? Qt::AlignLeft | Qt::AlignVCenter
                                             : Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::ForegroundRole && why) return QColor(0x9c, 0x1c, 0x1c);
    if (why && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
      return Text(row, SeriesColumn::Message);
    }
    if (role == Qt::DisplayRole) {
      if (text) return Text(row, column);
      if (column == SeriesColumn::Line) return c.row.origin.line;
      const std::optional<long double> value = Number(row, column);
      if (!value) return {};
      return Q(TrimBlanks(FormatText(FormatOf(column), *value)));
    }
    if (role == Qt::ToolTipRole) {
      if (column == SeriesColumn::Verdict) {
        const auto v = VerdictOf(c);
        if (!v) return {};
        return Q(v->verdict + (v->note.empty() ? "" : " " + v->note));
      }
      if (column == SeriesColumn::Message) {
        const std::string message = MessageOf(c);
        if (message.empty()) return {};
        return Q(WithLineFeeds(message));
      }
      if (column == SeriesColumn::DeficitY1P || column == SeriesColumn::DeficitY2P) {
        if (!c.HasResult() || !c.outcome->result().deficits.asked) return {};
        const DeficitResult& d =
            c.outcome->result().deficit[column == SeriesColumn::DeficitY1P ? 0 : 1];
        if (!d.HasTest()) return Q(DeficitProblemMessage(d.problem));
      }
      if (text || column == SeriesColumn::Line) return {};
      const std::optional<long double> value = Number(row, column);
      if (!value) return {};
      return Q(FullPrecision(*value));
    }
    return {};
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
      return QAbstractTableModel::headerData(section, orientation, role);
    }
    const SeriesColumn column = ColumnAt(section);
    if (role == Qt::DisplayRole) return Header(column);
    if (role == Qt::ToolTipRole) return HeaderTip(column);
    return {};
  }

 private:
  static const char* FormatOf(SeriesColumn column) {
    switch (column) {
      case SeriesColumn::TwoTailedP:
      case SeriesColumn::HolmP:
      case SeriesColumn::OneTailedP:
      case SeriesColumn::DeficitY1P:
      case SeriesColumn::DeficitY2P:
        return kProbabilityFormat;
      default:
        return kEstimateFormat;
    }
  }

  QString Header(SeriesColumn column) const {
    const bool twoSided = limit_ == CredibleLimitChoice::TwoSided;
    switch (column) {
      case SeriesColumn::Line:
        return QStringLiteral("Line");
      case SeriesColumn::Id:
        return QStringLiteral("ID");
      case SeriesColumn::TwoTailedP:
        return QStringLiteral("p\n2-tailed");
      case SeriesColumn::HolmP:
        return QStringLiteral("Holm-adjusted\np 2-tailed");
      case SeriesColumn::OneTailedP:
        return QStringLiteral("p\n1-tailed");
      case SeriesColumn::EffectSize:
        return QStringLiteral("Z-DCCC");
      case SeriesColumn::EffectLower:
        return twoSided ? QStringLiteral("Z-DCCC\nCI lower")
                        : QStringLiteral("Z-DCCC\nlower limit");
      case SeriesColumn::EffectUpper:
        return twoSided ? QStringLiteral("Z-DCCC\nCI upper")
                        : QStringLiteral("Z-DCCC\nupper limit");
      case SeriesColumn::Percent:
        return QStringLiteral("% more\nextreme");
      case SeriesColumn::PercentLower:
        return twoSided ? QStringLiteral("%\nCI lower") : QStringLiteral("%\nlower limit");
      case SeriesColumn::PercentUpper:
        return twoSided ? QStringLiteral("%\nCI upper") : QStringLiteral("%\nupper limit");
      case SeriesColumn::DeficitY1P:
        return QStringLiteral("Y1 deficit\np 1-tailed");
      case SeriesColumn::DeficitY2P:
        return QStringLiteral("Y2 deficit\np 1-tailed");
      case SeriesColumn::Verdict:
        return QStringLiteral("Verdict");
      case SeriesColumn::Message:
        return QStringLiteral("Problem or\nwarning");
    }
    return {};
  }

  QString HeaderTip(SeriesColumn column) const {
    switch (column) {
      case SeriesColumn::Line:
        return QStringLiteral("The case's line in the cases file");
      case SeriesColumn::EffectLower:
      case SeriesColumn::EffectUpper:
      case SeriesColumn::PercentLower:
      case SeriesColumn::PercentUpper:
        return limit_ == CredibleLimitChoice::TwoSided
                   ? QStringLiteral("A limit of the 95% credible interval")
                   : QStringLiteral("The one-sided 95% credible limit");
      case SeriesColumn::Percent:
        return QStringLiteral(
            "The percentage of the control population with a more extreme difference in the "
            "same direction as the case");
      case SeriesColumn::TwoTailedP:
        return QStringLiteral(
            "The two-tailed probability of the test of the case's standardized difference: the "
            "case's own result, not adjusted for the number of cases");
      case SeriesColumn::HolmP:
        return QStringLiteral(
            "The two-tailed probability adjusted for the number of cases tested (Holm's "
            "step-down method, over the cases with results). Given once the whole series has "
            "run; the unadjusted p stays each case's result.");
      case SeriesColumn::DeficitY1P:
      case SeriesColumn::DeficitY2P: {
        const int task = column == SeriesColumn::DeficitY1P ? 0 : 1;
        return QStringLiteral(
                   "The one-tailed probability of the deficit test of Task Y%1 (%2 scores "
                   "poorer)")
            .arg(task + 1)
            .arg(QString::fromLatin1(PoorerText(poorer_[static_cast<std::size_t>(task)])));
      }
      case SeriesColumn::Verdict:
        return QStringLiteral(
            "What the deficit tests and the difference test add up to (hover over a cell for "
            "the whole verdict)");
      default:
        return {};
    }
  }

  static std::optional<DissociationVerdict> VerdictOf(const SeriesCase& c) {
    if (!c.HasResult()) return std::nullopt;
    const Analysis& a = c.outcome->result();
    if (!a.deficits.asked) return std::nullopt;
    return ClassifyDissociation(a.deficit[0], a.deficit[1], a.results.twoTailedP);
  }

  // Why the row has no result; for a result, what its numbers warn of (the
  // controls' own warnings are said once, below the table).
  std::string MessageOf(const SeriesCase& c) const {
    if (!c.outcome) return c.row.error;
    if (!c.outcome->ok()) return c.outcome->error().message;
    std::string text;
    const auto add = [&text](const std::string& warning) {
      text += (text.empty() ? "" : " ") + warning;
    };
    for (const std::string& warning : c.row.warnings) add(warning);
    for (const std::string& warning : c.outcome->result().warnings) {
      if (std::find(controlsWarnings_.begin(), controlsWarnings_.end(), warning) ==
          controlsWarnings_.end()) {
        add(warning);
      }
    }
    return text;
  }

  std::vector<SeriesColumn> columns_;
  std::vector<SeriesCase> cases_;
  std::vector<long double> holm_;
  std::vector<std::string> controlsWarnings_;
  CredibleLimitChoice limit_ = CredibleLimitChoice::TwoSided;
  std::array<PoorerScores, 2> poorer_ = {PoorerScores::Lower, PoorerScores::Lower};
};

namespace {

// Texts in natural order, whatever the locale: runs of digits by their
// numbers ("P2" before "P10", "P03" beside "P3"), other characters without
// regard to case; texts equal so by their characters.
int NaturalCompare(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype ei = i;
      qsizetype ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      // The numbers without their leading zeros: the longer is the larger,
      // else the first digit that differs decides.
      qsizetype si = i;
      qsizetype sj = j;
      while (si + 1 < ei && a[si] == QLatin1Char('0')) ++si;
      while (sj + 1 < ej && b[sj] == QLatin1Char('0')) ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (; si < ei; ++si, ++sj) {
        if (a[si] != b[sj]) return a[si] < b[sj] ? -1 : 1;
      }
      i = ei;
      j = ej;
      continue;
    }
    const QChar x = a[i].toCaseFolded();
    const QChar y = b[j].toCaseFolded();
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);
}

// Sorting: numbers by their full-precision values, IDs and texts in their
// natural order (NaturalCompare); a row without the value (a bad row, a value
// not given) always below those with one; equal values in their input order.
class SeriesSortModel : public QSortFilterProxyModel {
 public:
  explicit SeriesSortModel(QObject* parent) : QSortFilterProxyModel(parent) {}

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    const auto* model = static_cast<const SeriesTableModel*>(sourceModel());
    const SeriesColumn column = model->ColumnAt(left.column());
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    const int l = left.row();
    const int r = right.row();
    // Qt sorts in descending order by asking lessThan(right, left).
    const auto inputOrder = [&] {
      const long double a = *model->Number(l, SeriesColumn::Line);
      const long double b = *model->Number(r, SeriesColumn::Line);
      return ascending ? a < b : b < a;
    };
    if (column == SeriesColumn::Id || column == SeriesColumn::Verdict ||
        column == SeriesColumn::Message) {
      const QString a = model->Text(l, column);
      const QString b = model->Text(r, column);
      if (a.isEmpty() != b.isEmpty()) return a.isEmpty() ? !ascending : ascending;
      const int order = NaturalCompare(a, b);
      return order != 0 ? order < 0 : inputOrder();
    }
    const std::optional<long double> a = model->Number(l, column);
    const std::optional<long double> b = model->Number(r, column);
    if (a.has_value() != b.has_value()) return a ? ascending : !ascending;
    if (a && *a != *b) return *a < *b;
    return inputOrder();
  }
};

}  // namespace

// One series: RunBatch on a worker thread; what it hands on waits here for
// the window thread's next look.
struct SeriesRun {
  BatchRequest request;
  QThread* thread = nullptr;
  std::atomic<std::int64_t> done{0};
  std::atomic<std::int64_t> total{0};
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  std::vector<SeriesCase> ended;        // handed on, not yet in the table
  std::optional<BatchSummary> summary;  // written by the worker before it ends
};

SeriesWindow::SeriesWindow(DialogSeam& dialogs, TfrmTemplateResults* viewer, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), viewer_(viewer) {
  BuildControls();
}

SeriesWindow::~SeriesWindow() {
  if (run_) {
    run_->cancelled = true;
    run_->thread->wait();
    delete run_->thread;
    run_.reset();
  }
}

void SeriesWindow::BuildControls() {
  setObjectName(QStringLiteral("frmSeries"));
  setWindowTitle(QStringLiteral("Case Series"));
  setWindowIcon(ProgramIcon());
  setFont(WindowFont());

  lblControls_ = new QLabel(this);
  lblControls_->setObjectName(QStringLiteral("lblControls"));
  lblControls_->setWordWrap(true);
  lblControls_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  cmdCasesFile_ = new QPushButton(QStringLiteral("Cases &File..."), this);
  cmdCasesFile_->setObjectName(QStringLiteral("cmdCasesFile"));
  lblCasesFile_ = new QLabel(this);
  lblCasesFile_->setObjectName(QStringLiteral("lblCasesFile"));
  lblCasesFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(cmdCasesFile_);
  fileRow->addWidget(lblCasesFile_, 1);

  model_ = new SeriesTableModel(this);
  sorted_ = new SeriesSortModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setDynamicSortFilter(true);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("tblSeries"));
  table_->setModel(sorted_);
  table_->setSortingEnabled(true);
  table_->sortByColumn(0, Qt::AscendingOrder);  // input order
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setAlternatingRowColors(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
  connect(table_, &QTableView::activated, this, &SeriesWindow::cmdShowReportClick);
  connect(sorted_, &QAbstractItemModel::layoutChanged, this, &SeriesWindow::SpanMessages);
  connect(sorted_, &QAbstractItemModel::rowsInserted, this, &SeriesWindow::SpanMessages);
  connect(sorted_, &QAbstractItemModel::modelReset, this, &SeriesWindow::SpanMessages);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &SeriesWindow::UpdateButtons);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progressSeries"));
  progress_->setRange(0, kProgressSteps);
  progress_->setTextVisible(false);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(progress_, 1);
  progressRow->addWidget(cmdCancel_);
  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setWordWrap(true);
  lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  const QSize buttonSize(150, 30);
  cmdShowReport_ = new LayoutButton(QStringLiteral("Show &Report"), buttonSize, this);
  cmdShowReport_->setObjectName(QStringLiteral("cmdShowReport"));
  cmdShowReport_->setToolTip(
      QStringLiteral("Adds the full report of each selected case to the results viewer "
                     "(or double-click a row)"));
  cmdSaveCsv_ = new LayoutButton(QStringLiteral("&Save as CSV..."), buttonSize, this);
  cmdSaveCsv_->setObjectName(QStringLiteral("cmdSaveCsv"));
  cmdClose_ = new LayoutButton(QStringLiteral("Cl&ose"), buttonSize, this);
  cmdClose_->setObjectName(QStringLiteral("cmdClose"));
  for (QPushButton* button : {cmdShowReport_, cmdSaveCsv_, cmdClose_}) {
    button->setFont(WindowFont(true));
  }
  auto* buttonRow = new QHBoxLayout;
  buttonRow->setSpacing(0);
  buttonRow->addWidget(cmdShowReport_);
  AddButtonGap(*buttonRow);
  buttonRow->addWidget(cmdSaveCsv_);
  AddButtonGap(*buttonRow);
  buttonRow->addWidget(cmdClose_);

  connect(cmdCasesFile_, &QPushButton::clicked, this, &SeriesWindow::cmdCasesFileClick);
  connect(cmdCancel_, &QPushButton::clicked, this, &SeriesWindow::cmdCancelClick);
  connect(cmdShowReport_, &QPushButton::clicked, this, &SeriesWindow::cmdShowReportClick);
  connect(cmdSaveCsv_, &QPushButton::clicked, this, &SeriesWindow::cmdSaveCsvClick);
  connect(cmdClose_, &QPushButton::clicked, this, &SeriesWindow::close);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->setSpacing(8);
  layout->addWidget(lblControls_);
  layout->addLayout(fileRow);
  layout->addWidget(table_, 1);
  layout->addLayout(progressRow);
  layout->addWidget(lblStatus_);
  layout->addLayout(buttonRow);

  timer_ = new QTimer(this);
  timer_->setInterval(kPollIntervalMs);
  connect(timer_, &QTimer::timeout, this, &SeriesWindow::Poll);

  setTabOrder(cmdCasesFile_, table_);
  setTabOrder(table_, cmdCancel_);
  setTabOrder(cmdCancel_, cmdShowReport_);
  setTabOrder(cmdShowReport_, cmdSaveCsv_);
  setTabOrder(cmdSaveCsv_, cmdClose_);
  progress_->hide();
  cmdCancel_->hide();
  UpdateButtons();
}

void SeriesWindow::SpanMessages() {
  table_->clearSpans();
  const int first = model_->ColumnOf(SeriesColumn::TwoTailedP);
  const int last = model_->ColumnOf(SeriesColumn::Message) - 1;
  const std::vector<SeriesCase>& cases = model_->Cases();
  for (int row = 0; row < sorted_->rowCount(); ++row) {
    const int source = sorted_->mapToSource(sorted_->index(row, 0)).row();
    if (source >= 0 && !cases[static_cast<std::size_t>(source)].HasResult()) {
      table_->setSpan(row, first, 1, last - first + 1);
    }
  }
}

void SeriesWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!placed_) {
    FitOnScreen(*this, kPreferredSize);
    placed_ = true;
  }
}

const std::vector<SeriesCase>& SeriesWindow::Cases() const {
  return model_->Cases();
}

int SeriesWindow::ColumnOf(SeriesColumn c) const {
  return model_->ColumnOf(c);
}

bool SeriesWindow::MayDiscard(const QString& question) {
  if (saved_ || model_->Cases().empty()) return true;
  return dialogs_.Confirm(this, question, MessageButton::No) == MessageButton::Yes;
}

bool SeriesWindow::Open(AnalysisRequest base) {
  show();
  raise();
  activateWindow();
  if (run_ || !MayDiscard(QString::fromLatin1(kDiscardQuestion))) return false;
  base_ = std::move(base);
  base_.progress = nullptr;
  base_.notice = nullptr;
  base_.stop = nullptr;
  base_.plots = false;
  base_.keepDraws = false;
  model_->Reset(base_);
  table_->resizeColumnsToContents();  // to the headers
  casesFile_.clear();
  complete_ = false;
  saved_ = true;
  lblCasesFile_->clear();
  lblStatus_->setText(
      QStringLiteral("Choose the cases file: one case per line (an ID first if "
                     "wanted), then Task Y1, Task Y2 and the covariates."));
  ShowControls();
  UpdateButtons();
  cmdCasesFileClick();
  return true;
}

void SeriesWindow::ShowControls() {
  const Checked<Counts> counts = CheckCounts(base_.controls, base_.covariates, base_.prior);
  const int N = counts.ok() ? counts.value().N : 0;
  const int k = counts.ok() ? counts.value().k : 0;
  QString source;
  if (const auto* file = std::get_if<RawDataFile>(&base_.data)) {
    source = QStringLiteral("the first %1 rows of %2").arg(N).arg(Q(file->path));
  } else if (const auto* summary = std::get_if<SummaryInput>(&base_.data)) {
    source = summary->fileName.empty()
                 ? QStringLiteral("the summary statistics of %1 controls entered").arg(N)
                 : QStringLiteral("the summary statistics of %1 controls in %2")
                       .arg(N)
                       .arg(Q(summary->fileName));
  }
  QString deficits = QStringLiteral("no deficit tests");
  if (base_.deficits.asked) {
    deficits = QStringLiteral("deficit tests (%1 scores poorer on Task Y1, %2 on Task Y2)")
                   .arg(QString::fromLatin1(PoorerText(base_.deficits.poorer[0])),
                        QString::fromLatin1(PoorerText(base_.deficits.poorer[1])));
  }
  lblControls_->setText(
      QStringLiteral("Controls: %1.\n%2 covariate%3, %4, %5, %6 draws per case, %7.")
          .arg(source)
          .arg(k)
          .arg(k == 1 ? QString() : QStringLiteral("s"))
          .arg(QString::fromLatin1(PriorText(base_.prior)),
               QString::fromLatin1(LimitText(base_.limit)), Q(GroupDigits(base_.drawCount)),
               deficits));
}

void SeriesWindow::cmdCasesFileClick() {
  if (run_ || !isVisible()) return;
  if (!MayDiscard(QString::fromLatin1(kDiscardQuestion))) return;
  OpenFileRequest request;
  request.filterDescription = "Cases files, one case per line";
  if (const auto* file = std::get_if<RawDataFile>(&base_.data)) {
    request.initialFolder = QFileInfo(Q(file->path)).absolutePath().toStdString();
  }
  const std::optional<QString> chosen = dialogs_.ChooseOpenFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) {
    if (model_->Cases().empty()) lblStatus_->setText(QStringLiteral("No cases file was chosen."));
    return;
  }
  // The open dialog proposes the last file chosen, which is the controls'
  // file the first time: Enter must not analyse the controls as cases unasked.
  if (const auto* file = std::get_if<RawDataFile>(&base_.data)) {
    const QFileInfo controls(Q(file->path));
    if (controls.exists() &&
        QFileInfo(*chosen).canonicalFilePath() == controls.canonicalFilePath() &&
        dialogs_.Confirm(this,
                         QStringLiteral("The file chosen for the cases, %1, holds the controls. "
                                        "Analyse each of its rows as a case?")
                             .arg(QDir::toNativeSeparators(*chosen)),
                         MessageButton::No) != MessageButton::Yes) {
      return;
    }
  }
  Start(*chosen);
}

void SeriesWindow::Start(const QString& casesFile) {
  casesFile_ = casesFile;
  model_->Reset(base_);
  table_->resizeColumnsToContents();  // to the headers
  complete_ = false;
  saved_ = true;
  lblCasesFile_->setText(casesFile);

  run_ = std::make_unique<SeriesRun>();
  SeriesRun* run = run_.get();
  run->request.base = base_;
  run->request.base.stop = [run] { return run->cancelled.load(); };
  run->request.casesFile = casesFile.toStdString();
  run->request.progress = [run](std::int64_t done, std::int64_t total) {
    run->done = done;
    run->total = total;
  };
  run->request.stop = [run] { return run->cancelled.load(); };
  run->request.onCase = [run](const CaseRow& row, const AnalysisOutcome* outcome) {
    SeriesCase ended{row, std::nullopt};
    if (outcome != nullptr) ended.outcome.emplace(*outcome);
    const std::lock_guard lock(run->mutex);
    run->ended.push_back(std::move(ended));
  };
  run->thread = QThread::create([run] {
    BatchSummary summary;
    try {
      summary = RunBatch(run->request);
    } catch (const std::bad_alloc&) {
      summary.failure =
          AnalysisError(ErrorKind::OutOfMemory, Reason::OutOfMemory, kOutOfMemoryMessage);
    } catch (const std::exception& e) {
      summary.failure = AnalysisError(ErrorKind::Internal, Reason::Internal, e.what());
    }
    const std::lock_guard lock(run->mutex);
    run->summary = std::move(summary);
  });
  run->thread->setObjectName(QStringLiteral("seriesThread"));
  run->thread->setStackSize(kBatchStackBytes);
  connect(run->thread, &QThread::finished, this, &SeriesWindow::RunEnded);

  progress_->setValue(0);
  progress_->show();
  cmdCancel_->setEnabled(true);
  cmdCancel_->show();
  lblStatus_->setText(QStringLiteral("Reading the cases file..."));
  UpdateButtons();
  timer_->start();
  run->thread->start();
}

void SeriesWindow::Poll() {
  if (!run_) return;
  SeriesRun* run = run_.get();
  std::vector<SeriesCase> ended;
  {
    const std::lock_guard lock(run->mutex);
    ended.swap(run->ended);
  }
  const int added = static_cast<int>(ended.size());
  model_->Append(std::move(ended));
  if (added > 0) saved_ = false;
  const std::int64_t total = run->total;
  const std::int64_t done = std::min<std::int64_t>(run->done, total);
  progress_->setValue(total > 0 ? static_cast<int>(done * kProgressSteps / total) : 0);
  if (!run->cancelled) {
    lblStatus_->setText(QStringLiteral("%1 case row%2 finished; %3 of %4 draws done.")
                            .arg(model_->rowCount())
                            .arg(model_->rowCount() == 1 ? QString() : QStringLiteral("s"))
                            .arg(Q(GroupDigits(done)), Q(GroupDigits(total))));
  }
  if (added > 0) {
    if (added == model_->rowCount()) table_->resizeColumnsToContents();  // the first rows
    UpdateButtons();
    emit casesAdded(added);
  }
}

void SeriesWindow::cmdCancelClick() {
  if (!run_) return;
  run_->cancelled = true;
  cmdCancel_->setEnabled(false);
  lblStatus_->setText(QStringLiteral("Cancelling..."));
}

void SeriesWindow::RunEnded() {
  if (!run_) return;
  timer_->stop();
  run_->thread->wait();
  Poll();
  std::unique_ptr<SeriesRun> run = std::move(run_);
  run->thread->deleteLater();
  // Cancel goes away: the focus it had goes to the table, not to Close.
  const bool cancelHadFocus = cmdCancel_->hasFocus();
  progress_->hide();
  cmdCancel_->hide();
  BatchSummary summary = run->summary.value_or(BatchSummary{});
  model_->SetControlsWarnings(summary.warnings);
  QString status;
  if (summary.failure) {
    const AnalysisError& error = *summary.failure;
    if (error.kind == ErrorKind::Cancelled) {
      status = QStringLiteral("Stopped before any case was analysed.");
    } else {
      if (error.beep) dialogs_.Beep();
      dialogs_.ShowMessage(this, error.box, Q(error.message));
      status = QStringLiteral("The series could not be run: %1").arg(OneLine(error.message));
    }
    complete_ = false;
  } else {
    const std::vector<SeriesCase>& cases = model_->Cases();
    const auto analysed = std::count_if(cases.begin(), cases.end(),
                                        [](const SeriesCase& c) { return c.HasResult(); });
    const auto failed = static_cast<long>(cases.size()) - analysed;
    complete_ = !(summary.caseFailure && summary.caseFailure->kind == ErrorKind::Cancelled) &&
                summary.finished == summary.cases;
    if (complete_) {
      model_->SetHolm(SeriesHolmAdjusted(cases));
      status = QStringLiteral("%1 case row%2 in the file: %3 analysed")
                   .arg(summary.cases)
                   .arg(summary.cases == 1 ? QString() : QStringLiteral("s"))
                   .arg(analysed);
      if (failed > 0) {
        status += QStringLiteral(", %1 without a result (each with its reason)").arg(failed);
      }
      status += analysed > 0 ? QStringLiteral(
                                   ". The Holm-adjusted p is adjusted for the %1 "
                                   "case%2 analysed.")
                                   .arg(analysed)
                                   .arg(analysed == 1 ? QString() : QStringLiteral("s"))
                             : QStringLiteral(".");
    } else {
      status = QStringLiteral(
                   "Stopped: %1 of the case rows finished and are kept. No Holm-adjusted p is "
                   "given: it needs every case of the series.")
                   .arg(cases.size());
    }
  }
  for (const std::string& warning : summary.warnings) status += QStringLiteral("\n") + Q(warning);
  lblStatus_->setText(status);
  table_->resizeColumnsToContents();
  if (cancelHadFocus) table_->setFocus(Qt::OtherFocusReason);
  saved_ = model_->Cases().empty();
  UpdateButtons();
  emit seriesEnded(complete_);
  if (closeWhenEnded_) {
    closeWhenEnded_ = false;
    close();
  }
}

void SeriesWindow::UpdateButtons() {
  const bool running = run_ != nullptr;
  cmdCasesFile_->setEnabled(!running);
  cmdSaveCsv_->setEnabled(!running && !model_->Cases().empty());
  bool report = false;
  if (QItemSelectionModel* selection = table_->selectionModel()) {
    for (const QModelIndex& index : selection->selectedRows()) {
      const int row = sorted_->mapToSource(index).row();
      if (row >= 0 && model_->Cases()[static_cast<std::size_t>(row)].HasResult()) report = true;
    }
  }
  cmdShowReport_->setEnabled(report && viewer_ != nullptr);
}

void SeriesWindow::cmdShowReportClick() {
  if (viewer_ == nullptr) return;
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<const Analysis*> reports;
  for (const QModelIndex& index : rows) {
    const SeriesCase& c =
        model_->Cases()[static_cast<std::size_t>(sorted_->mapToSource(index).row())];
    if (c.HasResult()) reports.push_back(&c.outcome->result());
  }
  if (reports.empty()) return;
  const int firstNewLine = viewer_->Memo().Count();
  for (const Analysis* a : reports) WriteReport(*a, viewer_->Memo());
  viewer_->setWindowTitle(Q(kResultsViewerCaptionPrefix + ProgramTitle));
  viewer_->show();
  viewer_->raise();
  viewer_->activateWindow();
  viewer_->ShowLineAtTop(firstNewLine);
}

std::vector<std::string> SeriesWindow::CsvRecords() const {
  const Checked<Counts> counts = CheckCounts(base_.controls, base_.covariates, base_.prior);
  const int K = counts.ok() ? counts.value().k + 2 : 0;
  return SeriesCsv(model_->Cases(), K, base_.deficits, QUORVANE_VERSION,
                   complete_ ? &model_->Holm() : nullptr);
}

void SeriesWindow::cmdSaveCsvClick() {
  if (run_ || model_->Cases().empty()) return;
  SaveFileRequest request;
  // First beside the cases file, named after it; then the last name chosen.
  if (csvName_.isEmpty()) {
    const QFileInfo cases(casesFile_);
    csvName_ =
        cases.absoluteDir().filePath(cases.completeBaseName() + QStringLiteral("-series.csv"));
  }
  request.proposedName = csvName_;
  request.filter = QStringLiteral("CSV files (*.csv)");
  const std::optional<QString> chosen = dialogs_.ChooseSaveFile(this, request);
  if (!chosen || chosen->trimmed().isEmpty()) return;
  csvName_ = *chosen;
  const std::vector<std::string> records = CsvRecords();
  if (auto why = WriteFileSafely(QFile::encodeName(*chosen).toStdString(), WithCrLf(records))) {
    dialogs_.ShowMessage(this, MessageKind::Error,
                         QStringLiteral("The file \"%1\" could not be written: %2")
                             .arg(QDir::toNativeSeparators(*chosen), Q(*why)));
    return;
  }
  saved_ = true;
}

void SeriesWindow::closeEvent(QCloseEvent* event) {
  if (dialogs_.Terminating()) {
    event->accept();
    return;
  }
  if (run_) {
    // Stopped first; the window closes once the finished cases are in (and
    // asks about them as any unsaved results).
    cmdCancelClick();
    closeWhenEnded_ = true;
    event->ignore();
    return;
  }
  if (!MayDiscard(QString::fromLatin1(kDiscardQuestion))) {
    event->ignore();
    return;
  }
  model_->Clear();
  saved_ = true;
  complete_ = false;
  lblStatus_->clear();
  UpdateButtons();
  event->accept();
}

}  // namespace quorvane
