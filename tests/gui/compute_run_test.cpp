// Compute in the desktop program: each failure with its box and focus, a
// successful run whose report matches the command-line program's, a second
// run below a rule, Return to Worksheet, Save Output of real reports, and
// Cancel during a run.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTableWidget>
#include <QUrl>
#include <string>
#include <vector>

#include "TemplateForm/worksheet/compute.h"
#include "TemplateForm/worksheet/worksheet.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

using ComputeRunTest = GuiTest;

const char* const kDataFile = "ten-controls-one-covariate.txt";

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return file.readAll();
}

QString ExampleData() {
  return QDir(QStringLiteral(QUORVANE_EXAMPLES_DIR))
      .absoluteFilePath(QStringLiteral("controls-and-case.txt"));
}

constexpr const char* kDeficitHeading =
    " DEFICIT TESTS - each task on its own: the case's score against the scores of controls with "
    "the";

// The worksheet's deficit option: off by default and then the report is the
// default one; on, Compute gives the command-line program's report with the
// deficit section, each task in its chosen direction.
TEST_F(ComputeRunTest, TheDeficitOptionAddsTheDeficitSectionInTheChosenDirections) {
  auto* option = Find<QCheckBox>(worksheet_.get(), "chkDeficits");
  auto* y1 = Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY1");
  auto* y2 = Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY2");
  ASSERT_TRUE(option && y1 && y2);
  EXPECT_FALSE(option->isChecked());
  EXPECT_TRUE(option->isVisible());
  EXPECT_FALSE(y1->isChecked());  // lower scores are poorer
  EXPECT_FALSE(y2->isChecked());
  EXPECT_FALSE(y1->isEnabled());  // until the option is on
  const QString data = ExampleData();
  const QStringList counts = {"--controls", "20", "--covariates", "2"};

  Field(1)->setText(QStringLiteral("20"));
  Field(2)->setText(QStringLiteral("2"));
  ASSERT_TRUE(Compute(data));
  EXPECT_EQ(viewer_->Lines(), CliReport(counts + QStringList{data}));
  EXPECT_FALSE(viewer_->Lines().contains(kDeficitHeading));

  const struct {
    int y1, y2;  // 0: lower scores are poorer, 1: higher
    QStringList arguments;
  } cases[] = {
      {0, 0, {"--deficits"}},
      {0, 1, {"--deficits", "--higher-is-poorer", "y2"}},
      {1, 1, {"--deficits", "--higher-is-poorer", "y1,y2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    dialogs_.confirmAnswers = {MessageButton::Yes};  // discard the unsaved report
    Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
    Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
    option->setChecked(true);
    EXPECT_TRUE(y1->isEnabled());
    y1->setChecked(c.y1 == 1);
    y2->setChecked(c.y2 == 1);
    ASSERT_TRUE(Compute(data));
    const QStringList lines = viewer_->Lines();
    EXPECT_EQ(lines, CliReport(counts + c.arguments + QStringList{data}));
    EXPECT_TRUE(lines.contains(kDeficitHeading));
    EXPECT_TRUE(lines.contains(c.y1 == 0 ? " Task Y1 (lower scores are poorer):"
                                         : " Task Y1 (higher scores are poorer):"));
    EXPECT_TRUE(lines.contains(c.y2 == 0 ? " Task Y2 (lower scores are poorer):"
                                         : " Task Y2 (higher scores are poorer):"));
  }
}

// The option is kept with the other inputs: it comes back at the next start,
// and the saved-inputs file of an earlier version still loads.
TEST_F(ComputeRunTest, TheDeficitOptionComesBackAtTheNextStartAndAnOldSavedFileStillLoads) {
  Find<QCheckBox>(worksheet_.get(), "chkDeficits")->setChecked(true);
  Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY2")->setChecked(true);
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  ASSERT_TRUE(Compute(GuiDataFile(kDataFile)));
  Restart();
  EXPECT_TRUE(Find<QCheckBox>(worksheet_.get(), "chkDeficits")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY1")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY2")->isChecked());
  EXPECT_EQ(worksheet_->Model().deficits,
            (DeficitChoice{true, {PoorerScores::Lower, PoorerScores::Higher}}));

  // The file as earlier versions wrote it: the option's default, the
  // worksheet as ever.
  QFile old(QString::fromStdString(SavedInputsFile()));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
  old.write("10 1       ");
  old.close();
  Restart();
  EXPECT_FALSE(Find<QCheckBox>(worksheet_.get(), "chkDeficits")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(worksheet_.get(), "chkHigherPoorerY2")->isChecked());
  EXPECT_EQ(worksheet_->Model().deficits, DeficitChoice{});
  EXPECT_TRUE(Field(1)->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Field(1));
}

// Drags the URLs onto the window's widget at its centre and drops them there;
// returns whether the window accepted the drag.
bool Drop(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

// A data file dropped on the worksheet is the one the next Compute opens,
// without the open dialog; the window names it until then.
TEST_F(ComputeRunTest, ADroppedDataFileIsOpenedByTheNextComputeWithoutTheDialog) {
  const QString data = GuiDataFile(kDataFile);
  auto* label = Find<QLabel>(worksheet_.get(), "lblDroppedFile");
  EXPECT_FALSE(label->isVisible());
  // What is no single existing file is not taken.
  for (const QList<QUrl>& refused :
       {QList<QUrl>{QUrl::fromLocalFile(data), QUrl::fromLocalFile(ExampleData())},
        QList<QUrl>{QUrl::fromLocalFile(ScratchFile("missing.txt"))},
        QList<QUrl>{QUrl::fromLocalFile(QDir(scratch_.path()).absolutePath())},
        QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/data.txt"))}}) {
    EXPECT_FALSE(Drop(worksheet_.get(), refused)) << refused.front().toString().toStdString();
    EXPECT_TRUE(worksheet_->DroppedFile().isEmpty());
  }
  EXPECT_FALSE(label->isVisible());

  // Dropped on the window, or on the notes (not as a note).
  for (QWidget* target : {static_cast<QWidget*>(worksheet_.get()), Notes()->viewport()}) {
    SCOPED_TRACE(target->objectName().toStdString());
    ASSERT_TRUE(Drop(target, {QUrl::fromLocalFile(data)}));
    EXPECT_EQ(worksheet_->DroppedFile(), QFileInfo(data).absoluteFilePath());
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().contains(QFileInfo(data).fileName())) << label->text().toStdString();
    EXPECT_EQ(Notes()->toPlainText(), "");

    Field(1)->setText(QStringLiteral("10"));
    Field(2)->setText(QStringLiteral("1"));
    dialogs_.openRequests.clear();
    dialogs_.openAnswers.clear();  // a dialog would be cancelled
    ASSERT_TRUE(ClickCompute());
    EXPECT_TRUE(dialogs_.openRequests.empty());
    EXPECT_EQ(viewer_->Lines(), CliReport({"--controls", "10", "--covariates", "1", data}));
    EXPECT_FALSE(label->isVisible());  // taken
    EXPECT_TRUE(worksheet_->DroppedFile().isEmpty());

    // The next Compute asks again.
    dialogs_.confirmAnswers = {MessageButton::Yes};  // discard the unsaved report
    Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
    Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
    EXPECT_FALSE(Compute(QString()));
    EXPECT_EQ(dialogs_.openRequests.size(), 1u);
  }

  // A refused N keeps the dropped file for the Compute after it; Clear Data
  // forgets it.
  ASSERT_TRUE(Drop(worksheet_.get(), {QUrl::fromLocalFile(data)}));
  Field(1)->setText(QStringLiteral("0"));
  EXPECT_FALSE(ClickCompute());
  EXPECT_EQ(worksheet_->DroppedFile(), QFileInfo(data).absoluteFilePath());
  dialogs_.confirmAnswers = {MessageButton::Yes};
  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  EXPECT_TRUE(worksheet_->DroppedFile().isEmpty());
  EXPECT_FALSE(label->isVisible());
}

TEST_F(ComputeRunTest, EachFailedCheckShowsItsBoxPutsTheFocusAndAddsNothing) {
  using K = MessageKind;
  const std::string missingData =
      "Missing data were detected when attempting to load the raw data file: make sure that you "
      "have the correct number of rows (controls plus the case) and columns (Y1, Y2, and "
      "covariate[s]) of data in the text file and that there are no blank entries. ";
  const std::string loaded =
      "Data file consisting of 10 controls plus a case (rows) and  3 variables (columns) was "
      "loaded successfully ";
  const struct Case {
    int prior;
    const char* n;
    const char* k;
    const char* file;  // the open dialog's answer; "" cancels; nullptr: never asked
    std::vector<std::pair<MessageKind, std::string>> boxes;  // "..." at the end: a prefix
    int focus;  // the field given the focus; 0: the Compute button
  } cases[] = {
      {0,
       "",
       "1",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r\r(  Number of control participants (N) :  )\r\rData have not been "
         "entered in this field."}},
       1},
      {0,
       "1.2.3",
       "1",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r(  Number of control participants (N) :  1.2.3  )\r\rEnter numeric data "
         "only."}},
       1},
      {0,
       "4",
       "1",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r(  Number of control participants (N) :  4.000  )\rThe value for sample "
         "size must be an integer greater than 4."}},
       1},
      {1,
       "2",
       "1",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r(  Number of control participants (N) :  2.000  )\rThe value for sample "
         "size must be an integer greater than 2."}},
       1},
      {0,
       "10",
       "",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r\r(  Number of covariates :  )\r\rData have not been entered in this "
         "field."}},
       2},
      {0,
       "10",
       "0",
       nullptr,
       {{K::Warning,
         "INPUT ERROR\r(  Number of covariates :  0.000  )\rThe value must be a positive integer "
         "and be less than 6."}},
       2},
      {0,
       "8",
       "5",
       nullptr,
       {{K::Error,
         " For this problem, and with a control sample size of  8, the maximum number of "
         "covariates is  4 "}},
       2},
      {1,
       "5",
       "3",
       nullptr,
       {{K::Error,
         " For this problem, and with a control sample size of  5, the maximum number of "
         "covariates is  2 "}},
       2},
      {0, "10", "1", "", {{K::Information, "Loading of data has been cancelled"}}, 0},
      {0, "10", "1", "case-missing.txt", {{K::Error, missingData + "..."}}, 0},
      // A heading with a number among its words is a row (a line of names alone
      // would name the variables).
      {0, "10", "1", "header-line.txt", {{K::Error, "Invalid numeric input..."}}, 0},
      {0,
       "10",
       "1",
       "collinear-covariate.txt",
       {{K::Information, loaded},
        {K::Error, std::string(kNotPositiveDefiniteMessage) +
                       "\r\rCovariate 1 repeats Task Y1 among the controls (their correlation is "
                       "1.00000): drop one of them."}},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("N=") + c.n + " k=" + c.k + " file=" + (c.file ? c.file : "-"));
    Field(1)->setText(QString::fromLatin1(c.n));
    Field(2)->setText(QString::fromLatin1(c.k));
    Find<QRadioButton>(worksheet_.get(), c.prior == 0 ? "Prior_Radio_0" : "Prior_Radio_1")
        ->setChecked(true);
    dialogs_.messages.clear();
    dialogs_.openRequests.clear();
    // Where the focus was before: Compute is disabled during the run and the
    // focus moves on, to Clear Data.
    Find<QPushButton>(worksheet_.get(), "btnclearData")->setFocus();

    const QString file = c.file == nullptr || *c.file == '\0' ? QString() : GuiDataFile(c.file);
    EXPECT_FALSE(Compute(file));

    EXPECT_EQ(dialogs_.openRequests.size(), c.file == nullptr ? 0u : 1u);
    ASSERT_EQ(dialogs_.messages.size(), c.boxes.size());
    for (std::size_t i = 0; i < c.boxes.size(); ++i) {
      EXPECT_EQ(dialogs_.messages[i].kind, c.boxes[i].first) << i;
      const std::string shown = dialogs_.messages[i].text.toStdString();
      const std::string& expected = c.boxes[i].second;
      if (expected.size() > 3 && expected.ends_with("...")) {
        EXPECT_TRUE(shown.starts_with(expected.substr(0, expected.size() - 3))) << shown;
      } else {
        EXPECT_EQ(shown, expected);
      }
    }
    QWidget* focus = c.focus == 0
                         ? static_cast<QWidget*>(Find<QPushButton>(worksheet_.get(), "cmdCompute"))
                         : Field(c.focus);
    EXPECT_EQ(worksheet_->focusWidget(), focus);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(worksheet_->isVisible());
    EXPECT_FALSE(viewer_->isVisible());
    EXPECT_TRUE(viewer_->Lines().isEmpty());
    EXPECT_EQ(Field(1)->text(), QString::fromLatin1(c.n));  // inputs as they were
    EXPECT_EQ(Field(2)->text(), QString::fromLatin1(c.k));
  }
}

TEST_F(ComputeRunTest, SuccessfulRunShowsTheViewerWithTheCommandLineProgramsReport) {
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  Notes()->setPlainText(QStringLiteral("first\nsecond"));
  const QString data = GuiDataFile(kDataFile);

  ASSERT_TRUE(Compute(data));

  ASSERT_EQ(dialogs_.openRequests.size(), 1u);
  const OpenFileRequest& request = dialogs_.openRequests[0];
  EXPECT_EQ(request.filterDescription, "Text files only");
  EXPECT_EQ(request.filterPattern, "*.txt");
  EXPECT_EQ(QDir(QString::fromStdString(request.initialFolder)), QDir::current());
  EXPECT_TRUE(request.mustExist);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Information);
  EXPECT_TRUE(dialogs_.messages[0].text.startsWith("Data file consisting of 10 controls"));

  EXPECT_TRUE(viewer_->isVisible());
  EXPECT_FALSE(worksheet_->isVisible());
  EXPECT_EQ(viewer_->windowTitle().toStdString(), "Results viewer: " + ProgramTitle);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(viewer_->focusWidget(), Find<QPushButton>(viewer_.get(), "cmdReturn"));
  EXPECT_EQ(viewer_->Lines(),
            CliReport({"--controls", "10", "--covariates", "1", "--notes", "first\nsecond", data}));

  // Print All: one job whose printout holds the whole report, then a last
  // page with the run's plots.
  const QString pdf = ScratchFile("report.pdf");
  dialogs_.pdfAnswers = {pdf};
  viewer_->findChild<QAction*>("mnuPrint")->trigger();
  EXPECT_EQ(dialogs_.printJobs, 1);
  QStringList pages = PdfText(pdf).split(QLatin1Char('\f'));
  if (!pages.isEmpty() && pages.constLast().isEmpty()) pages.removeLast();
  ASSERT_GE(pages.size(), 2);
  const QString plotPage = pages.takeLast();
  EXPECT_TRUE(plotPage.startsWith("Analysis 1: ")) << plotPage.left(80).toStdString();
  EXPECT_EQ(WithoutBlanks(WithoutPageFooters(pages.join(QString()))),
            WithoutBlanks(viewer_->Lines().join('\n')));

  // The saved inputs: the eight field texts, each followed by a blank.
  EXPECT_EQ(ReadFile(QString::fromStdString(SavedInputsFile())), QByteArray("10 1       "));
}

TEST_F(ComputeRunTest, SecondRunAppendsBelowARuleAndReturnKeepsEveryInput) {
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  Notes()->setPlainText(QStringLiteral("note"));
  Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->setChecked(true);
  Find<QRadioButton>(worksheet_.get(), "RadioGroup1_1")->setChecked(true);
  const QString data = GuiDataFile(kDataFile);
  const QStringList report = CliReport({"--controls", "10", "--covariates", "1", "--prior",
                                        "standard", "--limit", "lower", "--notes", "note", data});

  ASSERT_TRUE(Compute(data));
  EXPECT_EQ(viewer_->Lines(), report);

  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  EXPECT_FALSE(viewer_->isVisible());
  EXPECT_TRUE(worksheet_->isVisible());
  EXPECT_EQ(Field(1)->text(), "10");
  EXPECT_EQ(Field(2)->text(), "1");
  EXPECT_EQ(Notes()->toPlainText(), "note");
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "RadioGroup1_1")->isChecked());
  EXPECT_EQ(viewer_->Lines(), report);  // the text survives hiding

  ASSERT_TRUE(Compute(data));
  const QStringList expected = report + QStringList{QString(102, QLatin1Char('_'))} + report;
  EXPECT_EQ(viewer_->Lines(), expected);

  // Save Output writes both reports in order, each line ending in CR LF.
  const QString saved = ScratchFile("both.txt");
  dialogs_.saveAnswers = {saved};
  Find<QPushButton>(viewer_.get(), "cmdSaveOutput")->click();
  EXPECT_EQ(ReadFile(saved), (expected.join("\r\n") + "\r\n").toUtf8());

  // After Clear Results the next report starts without the rule.
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  ASSERT_TRUE(Compute(data));
  EXPECT_EQ(viewer_->Lines(), report);
}

TEST_F(ComputeRunTest, CancelStopsTheRunAddsNothingAndLeavesTheWorksheetAsItWas) {
  worksheet_->SetDrawCount(0);  // the program's 1,000,000 draws: seconds, far from done at Cancel
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  Notes()->setPlainText(QStringLiteral("kept"));
  dialogs_.openAnswers = {GuiDataFile(kDataFile)};
  QSignalSpy ended(worksheet_.get(), &TfrmTemplate::computeEnded);
  Find<QPushButton>(worksheet_.get(), "cmdCompute")->click();

  QProgressDialog* progress = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    progress = worksheet_->findChild<QProgressDialog*>("progressCompute");
    return progress != nullptr && progress->isVisible() && progress->value() > 0;
  }));
  EXPECT_TRUE(worksheet_->ComputeRunning());
  EXPECT_EQ(progress->maximum(), kDrawCount);
  EXPECT_TRUE(progress->labelText().contains("draws done"));
  EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
  EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
  // No second Compute while the run is going on.
  EXPECT_FALSE(Find<QPushButton>(worksheet_.get(), "cmdCompute")->isEnabled());
  worksheet_->cmdComputeClick();
  EXPECT_EQ(dialogs_.openRequests.size(), 1u);

  QPushButton* cancel = progress->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "Cancel");
  cancel->click();
  ASSERT_TRUE(WaitUntil([&] { return ended.count() > 0; }));
  EXPECT_FALSE(ended.first().first().toBool());

  EXPECT_FALSE(worksheet_->ComputeRunning());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(worksheet_->isVisible());
  EXPECT_FALSE(viewer_->isVisible());
  EXPECT_TRUE(viewer_->Lines().isEmpty());
  EXPECT_EQ(dialogs_.messages.size(), 1u);  // only the loader's "loaded" box
  EXPECT_TRUE(Find<QPushButton>(worksheet_.get(), "cmdCompute")->isEnabled());
  EXPECT_EQ(worksheet_->focusWidget(), Find<QPushButton>(worksheet_.get(), "cmdCompute"));
  EXPECT_EQ(Field(1)->text(), "10");
  EXPECT_EQ(Field(2)->text(), "1");
  EXPECT_EQ(Notes()->toPlainText(), "kept");
  EXPECT_TRUE(WaitUntil(
      [&] { return worksheet_->findChild<QProgressDialog*>("progressCompute") == nullptr; }));

  // The worksheet works on: the next run completes.
  worksheet_->SetDrawCount(kTestDraws);
  EXPECT_TRUE(Compute(GuiDataFile(kDataFile)));
}

TEST_F(ComputeRunTest, AfterARunAndReturnTheFocusIsOnComputeSoNoKeyClearsTheInputs) {
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  Notes()->setPlainText(QStringLiteral("kept"));
  auto* compute = Find<QPushButton>(worksheet_.get(), "cmdCompute");
  compute->setFocus();
  ASSERT_TRUE(Compute(GuiDataFile(kDataFile)));
  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  ASSERT_TRUE(QTest::qWaitForWindowActive(worksheet_.get()));
  EXPECT_EQ(QApplication::focusWidget(), compute);

  // Space presses what has the focus: Compute again, never Clear Data.
  dialogs_.openRequests.clear();
  QSignalSpy ended(worksheet_.get(), &TfrmTemplate::computeEnded);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  ASSERT_TRUE(WaitUntil([&] { return ended.count() > 0; }));
  EXPECT_EQ(dialogs_.openRequests.size(), 1u);  // cancelled in the dialog
  EXPECT_EQ(Field(1)->text(), "10");
  EXPECT_EQ(Notes()->toPlainText(), "kept");
  EXPECT_EQ(QApplication::focusWidget(), compute);
}

TEST_F(ComputeRunTest, ShowResultsOpensTheViewerWhileItHoldsResults) {
  auto* showResults = Find<QPushButton>(worksheet_.get(), "cmdShowResults");
  EXPECT_EQ(ShownCaption(showResults->text()), "Show Results");
  EXPECT_FALSE(showResults->isEnabled());
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  ASSERT_TRUE(Compute(GuiDataFile(kDataFile)));
  const QStringList report = viewer_->Lines();
  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  EXPECT_TRUE(showResults->isEnabled());

  showResults->click();
  EXPECT_TRUE(viewer_->isVisible());
  EXPECT_FALSE(worksheet_->isVisible());
  EXPECT_EQ(viewer_->Lines(), report);
  EXPECT_EQ(viewer_->focusWidget(), Find<QPushButton>(viewer_.get(), "cmdReturn"));

  dialogs_.confirmAnswers = {MessageButton::Yes};  // discard the unsaved report
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  Find<QPushButton>(viewer_.get(), "cmdReturn")->click();
  EXPECT_FALSE(showResults->isEnabled());
}

// A data file with too few rows: one error box that counts the rows, no
// "Loading of data has been cancelled" box after it, and the focus on
// Compute. Enabled with the counts in the missing-data message.
TEST_F(ComputeRunTest, MissingRowsAreCountedAndNoCancelBoxFollows) {
  Field(1)->setText(QStringLiteral("10"));
  Field(2)->setText(QStringLiteral("1"));
  EXPECT_FALSE(Compute(GuiDataFile("case-missing.txt")));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
  EXPECT_TRUE(dialogs_.messages[0].text.startsWith("Missing data were detected"));
  EXPECT_TRUE(dialogs_.messages[0].text.endsWith(
      "(10 complete rows of 3 numbers were found; 11 are needed: 10 controls and the case.) The "
      "data end after line 10."))
      << dialogs_.messages[0].text.toStdString();
  EXPECT_EQ(worksheet_->focusWidget(), Find<QPushButton>(worksheet_.get(), "cmdCompute"));
}

// N one too small for the file: the case is taken from row N + 1, as asked,
// and the loaded-data notice says which row and how many rows the file holds;
// the report is the command-line program's for the same inputs.
TEST_F(ComputeRunTest, TheNoticeSaysWhenTheFileHoldsMoreRowsThanAsked) {
  Field(1)->setText(QStringLiteral("19"));
  Field(2)->setText(QStringLiteral("2"));
  const QString data = ExampleData();
  ASSERT_TRUE(Compute(data));
  ASSERT_FALSE(dialogs_.messages.empty());
  const QString notice = dialogs_.messages[0].text;
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Information);
  EXPECT_TRUE(notice.startsWith("Data file consisting of 19 controls plus a case"))
      << notice.toStdString();
  EXPECT_TRUE(notice.contains("The case is taken from row 20; the file holds 21 rows."))
      << notice.toStdString();
  EXPECT_EQ(viewer_->Lines(), CliReport({"--controls", "19", "--covariates", "2", data}));
}

// Variables > Names...: the names typed there name the tasks in the deficit
// section (the command-line program's report with --names) and head the
// summary grids; they come back at the next start; Clear Data forgets them.
TEST_F(ComputeRunTest, NamesTypedForTheVariablesReachTheReportTheGridsAndTheNextStart) {
  QAction* names = worksheet_->findChild<QAction*>("actNames");
  ASSERT_NE(names, nullptr);
  Field(1)->setText(QStringLiteral("20"));
  Field(2)->setText(QStringLiteral("2"));
  const auto type = [this, names](const QStringList& texts, bool accept) {
    names->trigger();
    auto* dialog = worksheet_->findChild<QDialog*>("namesDialog");
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->findChild<QLineEdit*>("txtName4"), nullptr);  // k = 2: four variables
    EXPECT_EQ(dialog->findChild<QLineEdit*>("txtName5"), nullptr);
    for (int j = 1; j <= texts.size(); ++j) {
      dialog->findChild<QLineEdit*>(QStringLiteral("txtName%1").arg(j))->setText(texts[j - 1]);
    }
    if (accept) {
      dialog->accept();
    } else {
      dialog->reject();
    }
    QApplication::processEvents();
  };
  type({"Word fluency", "", "Age"}, true);
  type({"Not kept"}, false);  // Cancel keeps what was there
  EXPECT_EQ(worksheet_->Model().names.names, (std::vector<std::string>{"Word fluency", "", "Age"}));

  Find<QCheckBox>(worksheet_.get(), "chkDeficits")->setChecked(true);
  const QString data = ExampleData();
  ASSERT_TRUE(Compute(data));
  const QStringList lines = viewer_->Lines();
  EXPECT_EQ(lines, CliReport({"--controls", "20", "--covariates", "2", "--deficits", "--names",
                              "Word fluency,,Age", data}));
  EXPECT_TRUE(lines.contains(" Word fluency (lower scores are poorer):"));
  EXPECT_TRUE(lines.contains(" Task Y2 (lower scores are poorer):"));

  // The summary grids are headed by the names.
  Find<QRadioButton>(worksheet_.get(), "DataKind_Radio_1")->setChecked(true);
  QApplication::processEvents();
  auto* grid = worksheet_->findChild<QTableWidget*>("summaryStatisticsGrid");
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Word fluency");
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Task Y2");
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Age");
  Find<QRadioButton>(worksheet_.get(), "DataKind_Radio_0")->setChecked(true);

  // Kept with the inputs: back at the next start.
  Restart();
  EXPECT_EQ(worksheet_->Model().names.names, (std::vector<std::string>{"Word fluency", "", "Age"}));
  // Clear Data asks (a name is typed) and, answered Yes, forgets them.
  Field(1)->clear();
  Field(2)->clear();
  dialogs_.confirmAnswers = {MessageButton::Yes};
  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  EXPECT_TRUE(dialogs_.confirmAnswers.empty());  // the question was asked
  EXPECT_FALSE(worksheet_->Model().names.Any());
}

}  // namespace
}  // namespace quorvane::testing
