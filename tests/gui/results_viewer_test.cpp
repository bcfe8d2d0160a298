// The results viewer: layout, Save Output's exact bytes and its dialog,
// Clear Results, Print All and Print Selection (to PDF files read back with
// pdftotext), and Exit.
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTextBlock>
#include <QTextCursor>

#include "gui/text_printing.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

class ResultsViewerTest : public GuiTest {
 protected:
  void AddLines(const QStringList& lines) {
    for (const QString& line : lines) viewer_->Memo().Add(line.toStdString());
  }
  void Save(const QString& path) {
    dialogs_.saveAnswers = {path};
    Find<QPushButton>(viewer_.get(), "cmdSaveOutput")->click();
  }
  QByteArray Read(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
  }
  QAction* Menu(const char* name) {
    QAction* action = viewer_->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
};

const QStringList kSample = {"",
                             "Quorvane report",
                             " ",
                             "   [   1]:      20.00000       26.00000   ",
                             " Two-tailed probability = 0.04000 ",
                             " Bayesian point estimate    = 2.500% (95% CI = 0.100%  to  9.000%)",
                             " "};

TEST_F(ResultsViewerTest, LayoutTitleFontAndButtons) {
  EXPECT_EQ(viewer_->centralWidget()->size(), QSize(792, 554));
  EXPECT_EQ(viewer_->minimumSize(), viewer_->maximumSize());  // fixed border
  const Qt::WindowFlags flags = viewer_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_EQ(viewer_->windowTitle(), "Output");
  const struct {
    const char* name;
    QRect geometry;
    const char* text;
  } buttons[] = {{"cmdSaveOutput", {28, 488, 161, 37}, "Save Output"},
                 {"cmdClearResults", {220, 488, 161, 37}, "Clear Results"},
                 {"cmdReturn", {411, 488, 161, 37}, "Return to Worksheet"},
                 {"cmdExit", {603, 488, 161, 37}, "Exit"}};
  for (const auto& b : buttons) {
    auto* button = Find<QPushButton>(viewer_.get(), b.name);
    EXPECT_EQ(button->geometry(), b.geometry) << b.name;
    EXPECT_EQ(button->text(), b.text);
  }
  EXPECT_EQ(Find<QWidget>(viewer_.get(), "Panel1")->geometry(), QRect(12, 2, 765, 468));
  EXPECT_EQ(Find<QWidget>(viewer_.get(), "Panel2")->geometry(), QRect(12, 482, 765, 49));
  QPlainTextEdit* memo = viewer_->memoResults();
  EXPECT_EQ(memo->objectName(), "memoResults");
  EXPECT_EQ(memo->geometry(), QRect(8, 8, 749, 452));
  EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
  EXPECT_EQ(memo->font().pixelSize(), 12);
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  auto* menu = Find<QMenu>(viewer_.get(), "File1");
  EXPECT_EQ(menu->title(), "Printer options...");
  EXPECT_EQ(Menu("mnuPrint")->text(), "Print All");
  EXPECT_EQ(Menu("mnuPrintSelection")->text(), "Print Selection");

  viewer_->show();
  EXPECT_EQ(viewer_->focusWidget(), Find<QPushButton>(viewer_.get(), "cmdReturn"));
}

TEST_F(ResultsViewerTest, SaveOutputWritesEveryLineWithCrLfAndNothingAfter) {
  // An empty viewer gives an empty file.
  Save(ScratchFile("empty.txt"));
  EXPECT_EQ(Read(ScratchFile("empty.txt")), QByteArray());

  AddLines(kSample);
  EXPECT_EQ(viewer_->Memo().Count(), kSample.size());
  Save(ScratchFile("report.txt"));
  EXPECT_EQ(Read(ScratchFile("report.txt")),
            QByteArray("\r\nQuorvane report\r\n \r\n   [   1]:      20.00000       26.00000   \r\n"
                       " Two-tailed probability = 0.04000 \r\n"
                       " Bayesian point estimate    = 2.500% (95% CI = 0.100%  to  9.000%)\r\n"
                       " \r\n"));

  // What the user typed into the memo is saved as it stands.
  QTextCursor end(viewer_->memoResults()->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QStringLiteral("typed"));
  Save(ScratchFile("edited.txt"));
  EXPECT_TRUE(Read(ScratchFile("edited.txt")).endsWith(" \r\ntyped\r\n"));

  // Clear Results, then Save Output: an empty file over the old one.
  Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
  EXPECT_TRUE(viewer_->Lines().isEmpty());
  EXPECT_EQ(viewer_->Memo().Count(), 0);
  Save(ScratchFile("report.txt"));
  EXPECT_EQ(Read(ScratchFile("report.txt")), QByteArray());
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(ResultsViewerTest, SaveDialogProposesResultsTxtThenTheLastNameAndCancelWritesNothing) {
  AddLines(kSample);
  dialogs_.saveAnswers = {std::nullopt};
  Find<QPushButton>(viewer_.get(), "cmdSaveOutput")->click();
  EXPECT_TRUE(QDir(scratch_.path()).entryList(QDir::Files).isEmpty());  // cancelled: nothing
  const QString chosen = ScratchFile("mine.txt");
  Save(chosen);
  Save(chosen);
  ASSERT_EQ(dialogs_.saveRequests.size(), 3u);
  EXPECT_EQ(dialogs_.saveRequests[0].proposedName, "results.txt");
  EXPECT_EQ(dialogs_.saveRequests[0].filter, "*.txt");
  EXPECT_TRUE(dialogs_.saveRequests[0].confirmOverwrite);
  EXPECT_EQ(dialogs_.saveRequests[1].proposedName, "results.txt");  // the cancel kept it
  EXPECT_EQ(dialogs_.saveRequests[2].proposedName, chosen);
}

TEST_F(ResultsViewerTest, SaveToAFileThatCannotBeCreatedShowsAnErrorAndKeepsTheText) {
  AddLines(kSample);
  Save(ScratchFile("no-such-folder/report.txt"));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("report.txt"));
  EXPECT_EQ(viewer_->Lines(), kSample);
}

TEST_F(ResultsViewerTest, PrintSelectionWithNothingSelectedWarnsAndPrintsNothing) {
  AddLines(kSample);
  dialogs_.pdfAnswers = {ScratchFile("never.pdf")};
  Menu("mnuPrintSelection")->trigger();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(dialogs_.messages[0].text, "You have not selected any text.");
  EXPECT_EQ(dialogs_.printJobs, 0);
  EXPECT_FALSE(QFile::exists(ScratchFile("never.pdf")));
}

TEST_F(ResultsViewerTest, PrintAllToPdfHoldsTheWholeTextInOrderOverSeveralPages) {
  QStringList lines = kSample;
  for (int i = 1; i <= 150; ++i) lines << QStringLiteral(" line %1 of the long report").arg(i);
  const QString wide = QStringLiteral(" wide:") + QString(200, QLatin1Char('w')) + "END";
  lines << wide;
  AddLines(lines);
  const QString pdf = ScratchFile("all.pdf");
  dialogs_.pdfAnswers = {pdf};
  Menu("mnuPrint")->trigger();
  EXPECT_EQ(dialogs_.printJobs, 1);
  ASSERT_TRUE(QFile::exists(pdf));

  const QString text = PdfText(pdf);
  EXPECT_TRUE(WithoutBlanks(text).contains(WithoutBlanks(lines.join(QLatin1Char('\n')))));
  EXPECT_TRUE(text.contains(" Two-tailed probability = 0.04000"));
  // The wide line is continued on the next printed line, not cut.
  EXPECT_FALSE(text.contains(wide.trimmed()));
  EXPECT_TRUE(text.contains("wwwEND"));
  EXPECT_GE(PdfPages(pdf), 2);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(ResultsViewerTest, PrintSelectionPrintsOnlyTheSelectedText) {
  AddLines(kSample);
  QPlainTextEdit* memo = viewer_->memoResults();
  QTextCursor cursor(memo->document()->findBlockByNumber(1));
  cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 3);  // lines 2 to 4
  memo->setTextCursor(cursor);
  const QString pdf = ScratchFile("selection.pdf");
  dialogs_.pdfAnswers = {pdf};
  Menu("mnuPrintSelection")->trigger();
  ASSERT_TRUE(QFile::exists(pdf));
  const QString text = PdfText(pdf);
  EXPECT_EQ(WithoutBlanks(text), WithoutBlanks(kSample.mid(1, 3).join(QLatin1Char('\n'))));
  EXPECT_EQ(PdfPages(pdf), 1);
}

TEST_F(ResultsViewerTest, ExitAndClosingAskAndOnlyYesEndsTheProgram) {
  AddLines(kSample);
  viewer_->show();
  for (const bool byWindowManager : {false, true}) {
    for (const MessageButton answer : {MessageButton::No, MessageButton::Yes}) {
      dialogs_.messages.clear();
      dialogs_.terminations = 0;
      dialogs_.confirmAnswers = {answer};
      if (byWindowManager) {
        viewer_->close();
      } else {
        Find<QPushButton>(viewer_.get(), "cmdExit")->click();
      }
      ASSERT_EQ(dialogs_.messages.size(), 1u);
      EXPECT_EQ(dialogs_.messages[0].text, "Exit from program?");
      EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Confirmation);
      EXPECT_EQ(dialogs_.terminations, answer == MessageButton::Yes ? 1 : 0);
      if (answer == MessageButton::No) {
        EXPECT_TRUE(viewer_->isVisible());
        EXPECT_EQ(viewer_->Lines(), kSample);
      }
      viewer_->show();
    }
  }
}

}  // namespace
}  // namespace quorvane::testing
