// The worksheet in summary mode: the kind-of-data choice, Compute from typed
// or loaded statistics (the command-line program's report), the refusals
// with their boxes and focus, and the last statistics coming back at start.
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>
#include <QProcess>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableWidget>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/qt/summary_panel.h"
#include "TemplateForm/worksheet/saved_summary.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

QString ExampleSummary() {
  return QDir(QStringLiteral(QUORVANE_EXAMPLES_DIR))
      .absoluteFilePath(QStringLiteral("summary-statistics.txt"));
}

// examples/summary-statistics.txt's numbers, as a spreadsheet copies them.
constexpr const char* kStatisticsBlock =
    "20.3500000000000000003\t26.8999999999999999997\t101.800000000000000003\t"
    "13.5500000000000000002\n"
    "4.22118716152595855814\t3.80995924829704845564\t13.7634145090296695982\t"
    "2.54382637606793977686\n"
    "9\t27\t84\t11\n";
constexpr const char* kCorrelationBlock =
    "0.552085756334245000637\n"
    "0.670736609043519299393\t0.705193051590783265736\n"
    "0.304624940505695062515\t0.0928612901025667335754\t-0.0718556032869633996721\n";

class SummaryWorksheetTest : public GuiTest {
 protected:
  QRadioButton* Kind(int i) {
    return Find<QRadioButton>(worksheet_.get(), i == 0 ? "DataKind_Radio_0" : "DataKind_Radio_1");
  }
  SummaryPanel* Panel() { return worksheet_->Summary(); }
  void Type(int row, int column, const char* text, bool correlation = false) {
    QTableWidget* grid = correlation ? Panel()->CorrelationGrid() : Panel()->StatisticsGrid();
    grid->setItem(row, column, new QTableWidgetItem(QString::fromLatin1(text)));
  }
  // Summary mode with N, k and the pasted blocks.
  void Enter(const char* n, const char* k, const char* statistics, const char* correlations) {
    Kind(1)->click();
    Field(1)->setText(QString::fromLatin1(n));
    Field(2)->setText(QString::fromLatin1(k));
    Panel()->StatisticsGrid()->setCurrentCell(0, 0);
    Panel()->PasteInto(Panel()->StatisticsGrid(), QString::fromLatin1(statistics));
    Panel()->CorrelationGrid()->setCurrentCell(1, 0);
    Panel()->PasteInto(Panel()->CorrelationGrid(), QString::fromLatin1(correlations));
  }
  bool ComputeSummary() { return ClickCompute(); }
  QString SavedSummary() const { return QString::fromStdString(SavedSummaryFile()); }
};

TEST_F(SummaryWorksheetTest, RawDataIsTheDefaultAndTheChoiceShowsThePanelSizedByTheCovariates) {
  auto* group = Find<QGroupBox>(worksheet_.get(), "DataKind_Radio");
  EXPECT_EQ(ShownCaption(group->title()), "Kind of data...");
  EXPECT_EQ(QKeySequence::mnemonic(group->title()), QKeySequence(Qt::ALT | Qt::Key_K));
  EXPECT_EQ(Kind(0)->text(), "Raw data file");
  EXPECT_EQ(Kind(1)->text(), "Summary statistics");
  EXPECT_TRUE(Kind(0)->isChecked());
  EXPECT_FALSE(Panel()->isVisible());
  EXPECT_EQ(worksheet_->size(), QSize(792, 573 + worksheet_->layout()->menuBar()->height()));

  Kind(1)->click();
  EXPECT_TRUE(Panel()->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "cmdLoadSummary")->isVisible());
  // The whole panel is in view: the window grew where the screen has room.
  auto* area = Find<QScrollArea>(worksheet_.get(), "summaryArea");
  QApplication::processEvents();
  EXPECT_GE(area->viewport()->height(), area->widget()->sizeHint().height());
  // k sizes the grids once it is a valid 1..5; other texts leave them be.
  const struct {
    const char* k;
    int columns;
  } cases[] = {{"3", 5}, {"", 5}, {"9", 5}, {"5", 7}, {"1", 3}, {"0", 3}};
  for (const auto& c : cases) {
    Field(2)->setText(QString::fromLatin1(c.k));
    EXPECT_EQ(Panel()->StatisticsGrid()->columnCount(), c.columns) << c.k;
    EXPECT_EQ(Panel()->CorrelationGrid()->rowCount(), c.columns) << c.k;
  }
  Kind(0)->click();
  EXPECT_FALSE(Panel()->isVisible());
}

TEST_F(SummaryWorksheetTest, TypedStatisticsGiveTheCommandLineProgramsReportWithoutAFileDialog) {
  Enter("20", "2", kStatisticsBlock, kCorrelationBlock);
  Notes()->setPlainText(QStringLiteral("norms"));
  ASSERT_TRUE(ComputeSummary()) << (dialogs_.messages.empty()
                                        ? std::string()
                                        : dialogs_.messages[0].text.toStdString());
  EXPECT_TRUE(dialogs_.openRequests.empty());
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(viewer_->isVisible());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // The command-line program's report of the same statistics from the file,
  // but for the line that says where they came from.
  QStringList expected = CliReport({"--summary", ExampleSummary(), "--notes", "norms"});
  const qsizetype source = expected.indexOf(
      " Summary statistics for the control sample and the case's scores were loaded from the "
      "following file: ");
  ASSERT_GE(source, 0);
  expected.removeAt(source + 1);
  expected[source] =
      " Summary statistics for the control sample and the case's scores were entered (no raw "
      "data).";
  EXPECT_EQ(viewer_->Lines(), expected);
  EXPECT_TRUE(viewer_->Lines().contains(" OUTPUTS:"));

  // Loaded from the file instead: the very same report, the file named.
  dialogs_.confirmAnswers = {MessageButton::Yes};  // discard the unsaved report
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  Field(1)->clear();
  Field(2)->clear();
  dialogs_.openAnswers = {ExampleSummary()};
  Find<QPushButton>(worksheet_.get(), "cmdLoadSummary")->click();
  EXPECT_EQ(Field(1)->text(), "20");
  EXPECT_EQ(Field(2)->text(), "2");
  ASSERT_TRUE(ComputeSummary());
  EXPECT_EQ(viewer_->Lines(), CliReport({"--summary", ExampleSummary(), "--notes", "norms"}));
}

// A paste the correlation grid refuses is an error box; the grid keeps its values.
TEST_F(SummaryWorksheetTest, ARefusedPasteIsAnErrorBox) {
  Enter("20", "2", kStatisticsBlock, kCorrelationBlock);
  const SummaryTexts before = Panel()->Texts(20);
  QTableWidget* grid = Panel()->CorrelationGrid();
  grid->setFocus();
  grid->setCurrentCell(3, 0);
  QGuiApplication::clipboard()->setText(QStringLiteral("0.1\t0.2\t0.3\t0.4\n"));
  dialogs_.messages.clear();
  QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("does not fit below the diagonal"));
  EXPECT_EQ(Panel()->Texts(20).correlations, before.correlations);
}

TEST_F(SummaryWorksheetTest, EachRefusalShowsItsBoxAndPutsTheFocusOnTheEntryAtFault) {
  // Two covariates; the correlations make no positive definite matrix as
  // rounded (each near 0.9 with Y1, near 0 with each other).
  const char* statistics = "20\t26\t100\t13\n4\t3\t13\t2.5\n9\t27\t84\t11\n";
  const char* impossible = "0.2\n0.9\t0.1\n0.9\t0.1\t0.2\n";
  const struct Case {
    const char* n;
    const char* k;
    int statRow, statColumn;  // a cell to overwrite (-1: none)
    const char* text;
    bool correlation;  // the cell is in the correlation grid
    const char* correlations;
    std::string message;  // "..." at the end: a prefix
    int field;            // the field with the focus (0: a grid cell)
    int focusRow, focusColumn;
  } cases[] = {
      {"20", "", -1, -1, nullptr, false, kCorrelationBlock,
       "INPUT ERROR\r\r(  Number of covariates :  )\r\rData have not been entered in this field.",
       2, 0, 0},
      {"4", "2", -1, -1, nullptr, false, kCorrelationBlock,
       "INPUT ERROR\r(  Number of control participants (N) :  4.000  )\rThe value for sample "
       "size must be an integer greater than 4.",
       1, 0, 0},
      {"20", "2", 1, 2, "0", false, kCorrelationBlock,
       "The SD of Covariate 1 must be greater than 0, not 0.", 0, 1, 2},
      {"20", "2", 0, 0, "", false, kCorrelationBlock, "The mean of Task Y1 is missing.", 0, 0, 0},
      {"20", "2", 2, 3, "8,5", false, kCorrelationBlock,
       "The case's score on Covariate 2 is not a plain decimal number: \"8,5\".", 0, 2, 3},
      {"20", "2", 2, 1, "-1.01", true, kCorrelationBlock,
       "The correlation of Covariate 1 with Task Y2 (row 3, column 2) must lie between -1 and 1, "
       "not -1.01.",
       0, 2, 1},
      {"20", "2", -1, -1, nullptr, false, impossible,
       std::string(kNotPositiveDefiniteMessage) + kSummaryNotPositiveDefiniteAdvice, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Enter(c.n, c.k, statistics, c.correlations);
    if (c.text != nullptr) Type(c.statRow, c.statColumn, c.text, c.correlation);
    dialogs_.messages.clear();
    Find<QPushButton>(worksheet_.get(), "btnclearData")->setFocus();
    EXPECT_FALSE(ComputeSummary());
    EXPECT_TRUE(dialogs_.openRequests.empty());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const std::string shown = dialogs_.messages[0].text.toStdString();
    if (c.message.ends_with("...")) {
      EXPECT_TRUE(shown.starts_with(c.message.substr(0, c.message.size() - 3))) << shown;
    } else {
      EXPECT_EQ(shown, c.message);
    }
    if (c.field != 0) {
      EXPECT_EQ(worksheet_->focusWidget(), Field(c.field));
    } else {
      const bool inCorrelations = c.correlation || c.correlations == impossible;
      QTableWidget* grid = inCorrelations ? Panel()->CorrelationGrid() : Panel()->StatisticsGrid();
      EXPECT_EQ(worksheet_->focusWidget(), grid);
      EXPECT_EQ(grid->currentRow(), c.focusRow);
      EXPECT_EQ(grid->currentColumn(), c.focusColumn);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(viewer_->isVisible());
    EXPECT_TRUE(viewer_->Lines().isEmpty());
  }
}

TEST_F(SummaryWorksheetTest, TheLastStatisticsComeBackAtStartUntilClearData) {
  Enter("20", "2", "20.35\t26.9\t101.8\t13.55\n4.22\t3.81\t13.76\t2.54\n9\t27\t84\t11\n",
        "0.55\n0.67\t0.71\n0.3\t0.09\t-0.07\n");
  ASSERT_TRUE(ComputeSummary());
  const SummaryTexts typed = Panel()->Texts(20);
  ASSERT_TRUE(QFile::exists(SavedSummary()));
  EXPECT_TRUE(SavedSummary().startsWith(QDir(scratch_.path()).filePath("appdata")));

  Restart();
  EXPECT_TRUE(Kind(1)->isChecked());
  EXPECT_TRUE(Panel()->isVisible());
  EXPECT_EQ(Field(1)->text(), "20");
  EXPECT_EQ(Field(2)->text(), "2");
  const SummaryTexts back = Panel()->Texts(20);
  EXPECT_EQ(back.means, typed.means);  // as typed, not in 21 digits
  EXPECT_EQ(back.sds, typed.sds);
  EXPECT_EQ(back.caseScores, typed.caseScores);
  EXPECT_EQ(back.correlations, typed.correlations);

  // A raw-data run afterwards: the program starts with raw data again, the
  // statistics kept in the hidden panel.
  Kind(0)->click();
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  ASSERT_TRUE(Compute(GuiDataFile("ten-controls-one-covariate.txt")));
  Restart();
  EXPECT_TRUE(Kind(0)->isChecked());
  EXPECT_FALSE(Panel()->isVisible());
  EXPECT_EQ(Field(1)->text(), "");
  EXPECT_EQ(Panel()->Texts(20).means, typed.means);

  // Clear Data empties the panel and deletes the kept statistics.
  Kind(1)->click();
  dialogs_.confirmAnswers = {MessageButton::Yes};  // the statistics are typed: asked first
  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  EXPECT_FALSE(QFile::exists(SavedSummary()));
  EXPECT_EQ(Panel()->Texts(0).means, std::vector<std::string>(4, ""));
  EXPECT_TRUE(Kind(1)->isChecked());  // the choice is kept, as the prior's is
  Restart();
  EXPECT_TRUE(Kind(0)->isChecked());
  EXPECT_EQ(Panel()->Texts(0).means[0], "");
}

}  // namespace
}  // namespace quorvane::testing
