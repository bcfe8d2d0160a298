// The case series window, opened from the worksheet's Case Series... with its
// controls (a raw data file, or summary statistics) or given a request with
// the deficit tests: the table with the bad rows' lines and messages, the CSV
// the command-line program writes plus the Holm-adjusted p, Cancel keeping
// the finished cases, sorting, and a row's report in the results viewer.
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TemplateForm/multiplicity.h"
#include "TemplateForm/qt/series_window.h"
#include "gui_fixture.h"
#include "text/format_text.h"

namespace quorvane::testing {
namespace {

QString ExampleFile(const char* name) {
  return QDir(QStringLiteral(QUORVANE_EXAMPLES_DIR)).absoluteFilePath(QString::fromLatin1(name));
}

// Cases for the example's controls (N = 20, k = 2): IDs whose digits sort
// naturally (P2 before P10), a row without an ID, two bad rows (a word among
// the numbers; one number too many) and an empty line.
constexpr const char* kCases =
    "P2 9 27 84 11\n"
    "P10 20 26 101 15\n"
    "P03 12 30 abc 14\n"
    "P1 25 20 110 13\n"
    "\n"
    "P05 15 28 95 12 7\n"
    "16 33 100 14\n"
    "P4 18 25 99 13\n";

// A CSV text's records, split at the CR LF that end them (not at line breaks
// inside quoted fields); each field as written, its quotes kept.
std::vector<QStringList> CsvRecords(const QString& text) {
  std::vector<QStringList> records;
  QStringList fields{QString()};
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('"')) quoted = !quoted;
    if (!quoted && c == QLatin1Char(',')) {
      fields.push_back(QString());
    } else if (!quoted && c == QLatin1Char('\r') && i + 1 < text.size() &&
               text[i + 1] == QLatin1Char('\n')) {
      records.push_back(fields);
      fields = QStringList{QString()};
      ++i;
    } else {
      fields.back() += c;
    }
  }
  EXPECT_EQ(fields, QStringList{QString()}) << "text after the last CR LF";
  return records;
}

QString ReadText(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return QString::fromUtf8(file.readAll());
}

// quorvane-cli's standard output for the arguments, with the test's draws;
// exitCode receives its exit code.
QString CliOutput(const QStringList& arguments, int& exitCode) {
  QProcess cli;
  cli.start(QStringLiteral(QUORVANE_CLI_PATH),
            QStringList{"--draws", QString::number(kTestDraws)} + arguments);
  EXPECT_TRUE(cli.waitForFinished(120000));
  exitCode = cli.exitCode();
  return QString::fromUtf8(cli.readAllStandardOutput());
}

class SeriesWindowTest : public GuiTest {
 protected:
  SeriesWindow* Series() { return worksheet_->findChild<SeriesWindow*>(); }

  QString WriteCases(const char* name, const QString& text) {
    const QString path = ScratchFile(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
    return path;
  }

  // Waits for the window's series to end; false when it did not.
  bool WaitForEnd(SeriesWindow* window, int timeoutMs = 120000) {
    return WaitUntil([window] { return !window->Running(); }, timeoutMs);
  }

  // Case Series... in the worksheet as it stands, the open dialogs answering
  // the files in order (the controls' file only in raw-data mode); waits for
  // the series to end.
  SeriesWindow* RunFromWorksheet(const QStringList& files) {
    dialogs_.openAnswers.clear();
    for (const QString& file : files) dialogs_.openAnswers.push_back(file);
    Find<QPushButton>(worksheet_.get(), "cmdCaseSeries")->click();
    SeriesWindow* window = Series();
    if (window == nullptr) {
      ADD_FAILURE() << "no series window";
      return nullptr;
    }
    EXPECT_TRUE(WaitForEnd(window)) << "the series did not end";
    EXPECT_TRUE(dialogs_.openAnswers.empty());
    return window;
  }

  SeriesWindow* RunExample(const QString& cases) {
    Field(1)->setText(QStringLiteral("20"));
    Field(2)->setText(QStringLiteral("2"));
    return RunFromWorksheet({ExampleFile("controls-and-case.txt"), cases});
  }

  // The column's cells from top to bottom, as shown (role: the text, or the
  // tooltip, which holds a number's full precision).
  static QStringList Column(SeriesWindow* window, SeriesColumn c, int role = Qt::DisplayRole) {
    QStringList cells;
    const QAbstractItemModel* model = window->Table()->model();
    const int column = window->ColumnOf(c);
    EXPECT_GE(column, 0);
    for (int row = 0; row < model->rowCount(); ++row) {
      cells.push_back(model->data(model->index(row, column), role).toString());
    }
    return cells;
  }

  static void ClickHeader(SeriesWindow* window, SeriesColumn c) {
    QHeaderView* header = window->Table()->horizontalHeader();
    const int column = window->ColumnOf(c);
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
};

TEST_F(SeriesWindowTest, ACasesFileWithBadRowsGivesTheTableWithTheirLinesAndMessages) {
  SeriesWindow* window = RunExample(WriteCases("cases.txt", QString::fromLatin1(kCases)));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->Complete());
  EXPECT_TRUE(dialogs_.messages.empty());
  ASSERT_EQ(window->Cases().size(), 7u);
  // In input order, every row of the file that is not empty.
  EXPECT_EQ(Column(window, SeriesColumn::Line), (QStringList{"1", "2", "3", "4", "6", "7", "8"}));
  EXPECT_EQ(Column(window, SeriesColumn::Id),
            (QStringList{"P2", "P10", "P03", "P1", "P05", "", "P4"}));
  const QStringList messages = Column(window, SeriesColumn::Message);
  EXPECT_EQ(messages[2], QStringLiteral("Invalid numeric input in column 3: \"abc\""));
  EXPECT_EQ(messages[4], QStringLiteral("5 numbers were found; a case needs 4: Y1, Y2 and the 2 "
                                        "covariate score(s) (the first item, not a number, is "
                                        "taken as the case's ID)"));
  // A bad row's message also stands across its numbers' cells.
  const int spanFrom = window->ColumnOf(SeriesColumn::TwoTailedP);
  const QStringList across = Column(window, SeriesColumn::TwoTailedP);
  for (const int row : {2, 4}) {
    EXPECT_EQ(across[row], messages[row]);
    EXPECT_EQ(window->Table()->columnSpan(row, spanFrom),
              window->ColumnOf(SeriesColumn::Message) - spanFrom);
  }
  EXPECT_EQ(window->Table()->columnSpan(0, spanFrom), 1);
  EXPECT_FALSE(across[0].isEmpty());
  for (const SeriesColumn c :
       {SeriesColumn::HolmP, SeriesColumn::OneTailedP, SeriesColumn::EffectSize,
        SeriesColumn::EffectLower, SeriesColumn::EffectUpper, SeriesColumn::Percent,
        SeriesColumn::PercentLower, SeriesColumn::PercentUpper}) {
    const QStringList cells = Column(window, c);
    for (int row = 0; row < 7; ++row) {
      EXPECT_EQ(cells[row].isEmpty(), row == 2 || row == 4) << row << " " << static_cast<int>(c);
    }
  }
  EXPECT_TRUE(messages[0].isEmpty());
  // No deficit tests were asked for: no columns for them.
  EXPECT_EQ(window->ColumnOf(SeriesColumn::DeficitY1P), -1);
  EXPECT_EQ(window->ColumnOf(SeriesColumn::Verdict), -1);
  const QString status = Find<QLabel>(window, "lblStatus")->text();
  EXPECT_TRUE(
      status.contains(QStringLiteral("7 case rows in the file: 5 analysed, 2 without a "
                                     "result")))
      << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("adjusted for the 5 cases analysed")));

  // A cases file that cannot be opened stops the series before any case,
  // with its box; the table is empty.
  Find<QPushButton>(window, "cmdCasesFile")->click();
  ASSERT_FALSE(dialogs_.messages.empty());
  EXPECT_EQ(dialogs_.messages.back().kind, MessageKind::Confirmation);  // unsaved: discard?
  EXPECT_EQ(dialogs_.openRequests.size(), 2u);  // answered No: no file asked for
  dialogs_.confirmAnswers.push_back(MessageButton::Yes);
  dialogs_.openAnswers.push_back(ScratchFile("no-such-cases.txt"));
  Find<QPushButton>(window, "cmdCasesFile")->click();
  ASSERT_TRUE(WaitForEnd(window));
  ASSERT_FALSE(dialogs_.messages.empty());
  EXPECT_EQ(dialogs_.messages.back().kind, MessageKind::Error);
  EXPECT_EQ(
      dialogs_.messages.back().text,
      QStringLiteral("The cases file %1 cannot be opened.").arg(ScratchFile("no-such-cases.txt")));
  EXPECT_TRUE(window->Cases().empty());
  EXPECT_FALSE(window->Complete());

  // The controls' own file chosen for the cases (the open dialog proposes the
  // last file chosen) is run only when the user says so; Enter says No.
  dialogs_.messages.clear();
  dialogs_.openAnswers.push_back(ExampleFile("controls-and-case.txt"));
  Find<QPushButton>(window, "cmdCasesFile")->click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Confirmation);
  EXPECT_EQ(dialogs_.messages[0].defaultButton, MessageButton::No);
  EXPECT_FALSE(window->Running());
}

// The saved CSV is quorvane-cli --cases --format csv's output for the same
// inputs, plus the two Holm columns right after the two-tailed p: the
// worksheet with a raw data file; the worksheet in summary mode, the standard
// prior and a lower limit; and a request with the deficit tests, Task Y2's
// higher scores poorer, and an upper limit.
TEST_F(SeriesWindowTest, TheSavedCsvIsTheCommandLineProgramsPlusTheHolmAdjustedP) {
  const QString cases = WriteCases("cases.txt", QString::fromLatin1(kCases));
  const QString controls = ExampleFile("controls-and-case.txt");
  const QString summary = ExampleFile("summary-statistics.txt");
  enum class Way { RawData, Summary, Deficits };
  for (const Way way : {Way::RawData, Way::Summary, Way::Deficits}) {
    SCOPED_TRACE(static_cast<int>(way));
    SeriesWindow* window = nullptr;
    std::unique_ptr<SeriesWindow> own;
    QStringList arguments;
    if (way == Way::RawData) {
      window = RunExample(cases);
      arguments = {"--controls", "20", "--covariates", "2"};
    } else if (way == Way::Summary) {
      Find<QRadioButton>(worksheet_.get(), "DataKind_Radio_1")->click();
      Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->click();
      Find<QRadioButton>(worksheet_.get(), "RadioGroup1_1")->click();
      dialogs_.openAnswers.push_back(summary);
      Find<QPushButton>(worksheet_.get(), "cmdLoadSummary")->click();
      ASSERT_EQ(Field(1)->text(), QStringLiteral("20"));
      window = RunFromWorksheet({cases});
      arguments = {"--summary", summary, "--prior", "standard", "--limit", "lower"};
    } else {
      AnalysisRequest request;
      request.SetCounts(20, 2);
      request.limit = CredibleLimitChoice::OneSidedUpper;
      request.drawCount = kTestDraws;
      request.deficits.asked = true;
      request.deficits.poorer[1] = PoorerScores::Higher;
      request.data = RawDataFile{controls.toStdString()};
      own = std::make_unique<SeriesWindow>(dialogs_, viewer_.get(), worksheet_.get());
      window = own.get();
      dialogs_.openAnswers.push_back(cases);
      ASSERT_TRUE(window->Open(request));
      ASSERT_TRUE(WaitForEnd(window));
      arguments = {"--controls", "20",         "--covariates",       "2", "--limit",
                   "upper",      "--deficits", "--higher-is-poorer", "y2"};
      const QStringList verdicts = Column(window, SeriesColumn::Verdict);
      const QStringList y2 = Column(window, SeriesColumn::DeficitY2P);
      for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(verdicts[row].isEmpty(), row == 2 || row == 4) << row;
        EXPECT_EQ(y2[row].isEmpty(), row == 2 || row == 4) << row;
      }
    }
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Complete());
    EXPECT_EQ(window->ColumnOf(SeriesColumn::DeficitY1P) >= 0, way == Way::Deficits);
    // The limits shown are those asked for.
    EXPECT_EQ(window->ColumnOf(SeriesColumn::EffectUpper) >= 0, way != Way::Summary);
    EXPECT_EQ(window->ColumnOf(SeriesColumn::EffectLower) >= 0, way != Way::Deficits);

    const QString saved = ScratchFile("series.csv");
    dialogs_.saveAnswers.push_back(saved);
    Find<QPushButton>(window, "cmdSaveCsv")->click();
    const std::vector<QStringList> ours = CsvRecords(ReadText(saved));

    int exitCode = -1;
    const QString cli = CliOutput(arguments + QStringList{"--format", "csv", "--cases", cases} +
                                      (way == Way::Summary ? QStringList() : QStringList{controls}),
                                  exitCode);
    EXPECT_EQ(exitCode, 4);  // a bad case row
    const std::vector<QStringList> theirs = CsvRecords(cli);
    ASSERT_EQ(theirs.size(), 8u);  // the header and 7 case rows
    ASSERT_EQ(ours.size(), theirs.size());

    const qsizetype p = theirs[0].indexOf(QStringLiteral("results.twoTailedP.value"));
    ASSERT_GE(p, 0);
    ASSERT_EQ(theirs[0][p + 1], QStringLiteral("results.twoTailedP.text"));
    EXPECT_EQ(ours[0][p + 2], QStringLiteral("results.twoTailedPHolm.value"));
    EXPECT_EQ(ours[0][p + 3], QStringLiteral("results.twoTailedPHolm.text"));
    // Holm's adjustment of the command-line program's p values, over the
    // cases with results (a bad row's p is empty: no number, no part).
    std::vector<long double> pValues;
    for (std::size_t r = 1; r < theirs.size(); ++r) {
      pValues.push_back(
          theirs[r][p].isEmpty() ? NAN : std::strtold(theirs[r][p].toStdString().c_str(), nullptr));
    }
    const std::vector<long double> holm = HolmAdjusted(pValues);
    for (std::size_t r = 0; r < ours.size(); ++r) {
      QStringList record = ours[r];
      ASSERT_EQ(record.size(), theirs[r].size()) << r;
      if (r > 0 && std::isnan(pValues[r - 1])) {
        EXPECT_TRUE(record[p + 2].isEmpty());
        EXPECT_TRUE(record[p + 3].isEmpty());
      } else if (r > 0) {
        EXPECT_EQ(std::strtold(record[p + 2].toStdString().c_str(), nullptr), holm[r - 1]);
        EXPECT_EQ(record[p + 3], QString::fromStdString(FormatText("%.5Lf", holm[r - 1])));
      }
      EXPECT_EQ(record, theirs[r]) << r;
    }
    // The table shows the numbers as the CSV rounds them, row by row.
    const struct {
      SeriesColumn column;
      const char* field;
    } shown[] = {{SeriesColumn::TwoTailedP, "results.twoTailedP.text"},
                 {SeriesColumn::HolmP, "results.twoTailedPHolm.text"},
                 {SeriesColumn::OneTailedP, "results.oneTailedP.text"},
                 {SeriesColumn::EffectSize, "results.effectSize.text"},
                 {SeriesColumn::EffectLower, "results.effectSizeLower.text"},
                 {SeriesColumn::EffectUpper, "results.effectSizeUpper.text"},
                 {SeriesColumn::Percent, "results.percentMoreExtreme.text"},
                 {SeriesColumn::PercentLower, "results.percentLower.text"},
                 {SeriesColumn::PercentUpper, "results.percentUpper.text"},
                 {SeriesColumn::DeficitY1P, "deficits.tasks.1.oneTailedP.text"},
                 {SeriesColumn::DeficitY2P, "deficits.tasks.2.oneTailedP.text"}};
    const qsizetype errorKind = ours[0].indexOf(QStringLiteral("error.kind"));
    for (const auto& [column, field] : shown) {
      if (window->ColumnOf(column) < 0) continue;
      const qsizetype at = ours[0].indexOf(QString::fromLatin1(field));
      ASSERT_GE(at, 0) << field;
      const QStringList cells = Column(window, column);
      for (std::size_t r = 1; r < ours.size(); ++r) {
        if (ours[r][errorKind].isEmpty()) {
          EXPECT_EQ(cells[r - 1], ours[r][at]) << field;
        }
      }
    }
    // Saved as it stands: closing asks nothing.
    const std::size_t boxes = dialogs_.messages.size();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dialogs_.messages.size(), boxes);
  }
}

TEST_F(SeriesWindowTest, CancelStopsTheSeriesAndKeepsTheCasesFinished) {
  QString text;
  for (int i = 1; i <= 24; ++i) {
    text += QStringLiteral("C%1 %2 27 84 11\n").arg(i).arg(8 + i % 9);
  }
  const QString cases = WriteCases("cases.txt", text);
  const QString controls = ExampleFile("controls-and-case.txt");
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.drawCount = 200000;
  request.data = RawDataFile{controls.toStdString()};
  SeriesWindow window(dialogs_, viewer_.get(), worksheet_.get());
  QSignalSpy ended(&window, &SeriesWindow::seriesEnded);
  // Cancel as soon as the first cases are in the table.
  QObject::connect(&window, &SeriesWindow::casesAdded, &window, [&window] {
    QPushButton* cancel = window.findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    if (cancel->isVisible() && cancel->isEnabled()) cancel->click();
  });
  dialogs_.openAnswers.push_back(cases);
  ASSERT_TRUE(window.Open(request));
  ASSERT_TRUE(window.Running());
  ASSERT_TRUE(WaitUntil([&] { return ended.count() > 0; }, 60000));
  EXPECT_FALSE(ended.first().first().toBool());
  EXPECT_FALSE(window.Complete());
  const std::vector<SeriesCase>& kept = window.Cases();
  ASSERT_GE(kept.size(), 1u);
  EXPECT_LT(kept.size(), 24u);
  for (const SeriesCase& c : kept) EXPECT_TRUE(c.HasResult()) << c.row.origin.line;
  // No adjusted p for a series cut short.
  for (const QString& cell :
       SeriesWindowTest::Column(&window, SeriesColumn::HolmP, Qt::DisplayRole)) {
    EXPECT_TRUE(cell.isEmpty());
  }
  EXPECT_TRUE(Find<QLabel>(&window, "lblStatus")->text().startsWith(QStringLiteral("Stopped:")));
  EXPECT_EQ(window.CsvRecords().size(), kept.size() + 1);

  // A kept case is its whole analysis: that of a single run on the controls
  // and that case.
  const SeriesCase& first = kept.front();
  QStringList rows = ReadText(controls).split(QLatin1Char('\n')).mid(0, 20);
  rows.push_back(
      text.split(QLatin1Char('\n'))[first.row.origin.line - 1].section(QLatin1Char(' '), 1));
  const QString single = WriteCases("single.txt", rows.join(QLatin1Char('\n')) + "\n");
  AnalysisRequest alone = request;
  alone.data = RawDataFile{single.toStdString()};
  const AnalysisOutcome outcome = RunAnalysis(alone);
  ASSERT_TRUE(outcome.ok());
  const EngineResults& want = outcome.result().results;
  const EngineResults& got = first.outcome->result().results;
  EXPECT_EQ(got.twoTailedP, want.twoTailedP);
  EXPECT_EQ(got.effectSize, want.effectSize);
  EXPECT_EQ(got.effectSizeLower, want.effectSizeLower);
  EXPECT_EQ(got.percentUpper, want.percentUpper);

  // Closing with results not saved asks, No by default.
  dialogs_.messages.clear();
  window.show();
  window.close();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].defaultButton, MessageButton::No);
  EXPECT_TRUE(window.isVisible());
}

TEST_F(SeriesWindowTest, AHeaderClickSortsByItsColumnWithRowsWithoutAValueLast) {
  SeriesWindow* window = RunExample(WriteCases("cases.txt", QString::fromLatin1(kCases)));
  ASSERT_NE(window, nullptr);
  // Full-precision values from the tooltips; bad rows have none.
  const auto values = [window](SeriesColumn c) {
    std::vector<long double> v;
    for (const QString& tip : Column(window, c, Qt::ToolTipRole)) {
      const std::string text = tip.toStdString();
      char* end = nullptr;
      const long double value = std::strtold(text.c_str(), &end);
      v.push_back(text.empty() || *end != '\0' ? NAN : value);  // a message: no value
    }
    return v;
  };
  for (const SeriesColumn c : {SeriesColumn::TwoTailedP, SeriesColumn::EffectSize}) {
    ClickHeader(window, c);
    std::vector<long double> v = values(c);
    ASSERT_EQ(v.size(), 7u);
    EXPECT_TRUE(std::isnan(v[5]) && std::isnan(v[6]));
    EXPECT_TRUE(std::is_sorted(v.begin(), v.begin() + 5));
    ClickHeader(window, c);  // descending: the rows without a value still last
    v = values(c);
    EXPECT_TRUE(std::isnan(v[5]) && std::isnan(v[6]));
    EXPECT_TRUE(std::is_sorted(v.begin(), v.begin() + 5, std::greater<>()));
  }
  ClickHeader(window, SeriesColumn::Id);
  EXPECT_EQ(Column(window, SeriesColumn::Id),
            (QStringList{"P1", "P2", "P03", "P4", "P05", "P10", ""}));
  ClickHeader(window, SeriesColumn::Line);
  EXPECT_EQ(Column(window, SeriesColumn::Line), (QStringList{"1", "2", "3", "4", "6", "7", "8"}));
}

// Show Report appends the selected cases' reports to the results viewer as
// single runs' reports are added: the first at the top of an empty viewer,
// each further one below a rule, in the order shown; exactly what
// quorvane-cli --cases prints for those cases.
TEST_F(SeriesWindowTest, ShowReportAppendsTheSelectedCasesReportsToTheResultsViewer) {
  SeriesWindow* window = RunExample(WriteCases("cases.txt", QString::fromLatin1(kCases)));
  ASSERT_NE(window, nullptr);
  QTableView* table = window->Table();
  QPushButton* show = Find<QPushButton>(window, "cmdShowReport");
  table->selectRow(2);  // a bad row: no report
  EXPECT_FALSE(show->isEnabled());
  table->selectRow(1);  // P10
  ASSERT_TRUE(show->isEnabled());
  show->click();
  EXPECT_TRUE(viewer_->isVisible());
  const QString controls = ExampleFile("controls-and-case.txt");
  const QStringList cli = {"--controls", "20", "--covariates", "2", "--cases"};
  EXPECT_EQ(viewer_->Lines(),
            CliReport(cli + QStringList{WriteCases("one.txt", "P10 20 26 101 15\n"), controls}));

  table->clearSelection();
  table->selectionModel()->select(table->model()->index(3, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  table->selectionModel()->select(table->model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  show->click();
  EXPECT_EQ(viewer_->Lines(),
            CliReport(cli + QStringList{WriteCases("three.txt",
                                                   "P10 20 26 101 15\nP2 9 27 84 11\n"
                                                   "P1 25 20 110 13\n"),
                                        controls}));
}

}  // namespace
}  // namespace quorvane::testing
