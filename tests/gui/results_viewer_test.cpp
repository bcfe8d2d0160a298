// The results viewer: layout, Save Output's exact bytes and its dialog,
// Clear Results, Print All and Print Selection (to PDF files read back with
// pdftotext), and Exit.
#include <QDate>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTextBlock>
#include <QTextCursor>
#include <string>
#include <vector>

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

TEST_F(ResultsViewerTest, LayoutTitleFontAndButtonsAtThePreferredSize) {
  viewer_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer_.get()));
  EXPECT_EQ(viewer_->centralWidget()->size(), QSize(792, 554));
  const Qt::WindowFlags flags = viewer_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_EQ(viewer_->windowTitle(), "Output");
  QWidget* client = viewer_->centralWidget();
  const struct {
    const char* name;
    QRect geometry;  // in the client area
    const char* text;
  } buttons[] = {{"cmdSaveOutput", {28, 488, 161, 37}, "Save Output"},
                 {"cmdClearResults", {220, 488, 161, 37}, "Clear Results"},
                 {"cmdReturn", {411, 488, 161, 37}, "Return to Worksheet"},
                 {"cmdExit", {603, 488, 161, 37}, "Exit"}};
  for (const auto& b : buttons) {
    auto* button = Find<QPushButton>(viewer_.get(), b.name);
    EXPECT_EQ(QRect(button->mapTo(client, QPoint(0, 0)), button->size()), b.geometry) << b.name;
    EXPECT_EQ(ShownCaption(button->text()), b.text);
    EXPECT_TRUE(button->font().bold());
  }
  EXPECT_EQ(Find<QWidget>(viewer_.get(), "Panel1")->geometry(), QRect(12, 2, 765, 468));
  EXPECT_EQ(Find<QWidget>(viewer_.get(), "Panel2")->geometry(), QRect(12, 482, 765, 49));
  QPlainTextEdit* memo = viewer_->memoResults();
  EXPECT_EQ(memo->objectName(), "memoResults");
  EXPECT_EQ(memo->geometry(), QRect(8, 8, 749, 452));
  EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
  EXPECT_EQ(memo->font().pixelSize(), 12);
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(memo->isReadOnly());
  auto* menu = Find<QMenu>(viewer_.get(), "File1");
  EXPECT_EQ(ShownCaption(menu->title()), "Printer options...");
  EXPECT_EQ(ShownCaption(Menu("mnuPrint")->text()), "Print All");
  EXPECT_EQ(ShownCaption(Menu("mnuPrintSelection")->text()), "Print Selection");
  EXPECT_EQ(viewer_->focusWidget(), Find<QPushButton>(viewer_.get(), "cmdReturn"));
}

TEST_F(ResultsViewerTest, TheReportTakesTheRoomTheWindowHas) {
  viewer_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer_.get()));
  const QSize minimum = viewer_->minimumSize();
  EXPECT_LE(minimum.width(), 560);
  EXPECT_LE(minimum.height(), 300);
  EXPECT_GE(minimum.width(), 400);
  EXPECT_GT(viewer_->maximumSize().height(), 2000);
  QWidget* client = viewer_->centralWidget();
  const QSize preferredMemo = viewer_->memoResults()->size();
  const QSize preferredWindow = viewer_->size();
  for (const QSize growth : {QSize(500, 300), QSize(0, 0), minimum - preferredWindow}) {
    SCOPED_TRACE(QStringLiteral("%1 x %2").arg(growth.width()).arg(growth.height()).toStdString());
    viewer_->resize(preferredWindow + growth);
    QApplication::processEvents();
    // The report view grows and shrinks with the window, the button row stays
    // below it: buttons left to right at one height.
    EXPECT_EQ(viewer_->memoResults()->size(), preferredMemo + growth);
    const QRect row = Find<QWidget>(viewer_.get(), "Panel2")->geometry();
    EXPECT_EQ(row.bottom(), client->height() - 24);
    EXPECT_LT(Find<QWidget>(viewer_.get(), "Panel1")->geometry().bottom(), row.top());
    int right = -1;
    for (const char* name : {"cmdSaveOutput", "cmdClearResults", "cmdReturn", "cmdExit"}) {
      auto* button = Find<QPushButton>(viewer_.get(), name);
      const QRect place(button->mapTo(client, QPoint(0, 0)), button->size());
      EXPECT_TRUE(row.contains(place)) << name;
      EXPECT_EQ(place.height(), 37) << name;
      if (right >= 0) {
        EXPECT_GE(place.left() - right - 1, 6) << name;  // apart
      }
      right = place.right();
    }
  }
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

  const QString text = WithoutPageFooters(PdfText(pdf));
  EXPECT_TRUE(WithoutBlanks(text).contains(WithoutBlanks(lines.join(QLatin1Char('\n')))));
  EXPECT_TRUE(text.contains(" Two-tailed probability = 0.04000"));
  // The wide line is continued on the next printed line, not cut.
  EXPECT_FALSE(text.contains(wide.trimmed()));
  EXPECT_TRUE(text.contains("wwwEND"));
  EXPECT_GE(PdfPages(pdf), 2);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(ResultsViewerTest, PrintPreviewShowsThePagesPrintAllPrintsEachWithItsFooter) {
  QStringList lines = kSample;
  for (int i = 1; i <= 150; ++i) lines << QStringLiteral(" line %1 of the long report").arg(i);
  AddLines(lines);
  const QString preview = ScratchFile("preview.pdf");
  dialogs_.previewAnswers = {preview};
  Menu("mnuPrintPreview")->trigger();
  EXPECT_EQ(dialogs_.previews, 1);
  EXPECT_EQ(dialogs_.printJobs, 0);  // nothing printed yet
  ASSERT_TRUE(QFile::exists(preview));
  const QString all = ScratchFile("all.pdf");
  dialogs_.pdfAnswers = {all};
  Menu("mnuPrint")->trigger();
  const QString shown = PdfText(preview);
  EXPECT_EQ(shown, PdfText(all));
  const int pages = PdfPages(preview);
  ASSERT_GE(pages, 2);
  const QStringList pageTexts = shown.split(QLatin1Char('\f'));
  for (int i = 0; i < pages; ++i) {
    EXPECT_TRUE(WithoutBlanks(pageTexts.value(i))
                    .contains(WithoutBlanks(PageFooter(i + 1, pages, QDate::currentDate()))))
        << i;
  }
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
  EXPECT_EQ(WithoutBlanks(WithoutPageFooters(text)),
            WithoutBlanks(kSample.mid(1, 3).join(QLatin1Char('\n'))));
  EXPECT_TRUE(text.contains("Page 1 of 1")) << text.toStdString();
  EXPECT_EQ(PdfPages(pdf), 1);
}

TEST_F(ResultsViewerTest, ExitAndClosingAskAndOnlyYesEndsTheProgram) {
  AddLines(kSample);
  Save(ScratchFile("kept.txt"));  // nothing to lose: only the exit question
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

// What the viewer holds when Clear Results or Exit is pressed.
enum class Held { Nothing, Unsaved, Saved, EditedAfterSaving, EditUndone };

TEST_F(ResultsViewerTest, ClearResultsAndExitAskBeforeDiscardingResultsNotSaved) {
  viewer_->show();
  using U = UnsavedChoice;
  const struct Case {
    Held held;
    const char* action;  // "clear", "exit", "close" or "worksheet exit"
    std::vector<MessageButton> answers;
    std::vector<UnsavedChoice> choices;  // to the Save, Discard, Cancel question
    std::vector<QString> questions;      // asked in this order
    bool cleared;
    bool ended;
  } cases[] = {
      {Held::Nothing, "clear", {}, {}, {}, true, false},
      {Held::Unsaved, "clear", {MessageButton::No}, {}, {kDiscardResultsQuestion}, false, false},
      {Held::Unsaved, "clear", {MessageButton::Yes}, {}, {kDiscardResultsQuestion}, true, false},
      {Held::Saved, "clear", {}, {}, {}, true, false},
      {Held::EditedAfterSaving,
       "clear",
       {MessageButton::No},
       {},
       {kDiscardResultsQuestion},
       false,
       false},
      {Held::EditUndone, "clear", {}, {}, {}, true, false},
      {Held::Nothing, "exit", {MessageButton::Yes}, {}, {kExitQuestion}, false, true},
      {Held::Saved, "exit", {MessageButton::Yes}, {}, {kExitQuestion}, false, true},
      // Results not saved: one question, never a second one after it.
      {Held::Unsaved, "exit", {}, {U::Cancel}, {kSaveBeforeExitQuestion}, false, false},
      {Held::Unsaved,
       "exit",
       {MessageButton::Yes},
       {U::Discard},
       {kSaveBeforeExitQuestion},
       false,
       true},
      {Held::EditedAfterSaving, "exit", {}, {U::Discard}, {kSaveBeforeExitQuestion}, false, true},
      {Held::Unsaved, "close", {}, {U::Cancel}, {kSaveBeforeExitQuestion}, false, false},
      {Held::Unsaved, "close", {}, {U::Discard}, {kSaveBeforeExitQuestion}, false, true},
      {Held::Unsaved, "worksheet exit", {}, {U::Discard}, {kSaveBeforeExitQuestion}, false, true},
      {Held::Unsaved, "worksheet exit", {}, {U::Cancel}, {kSaveBeforeExitQuestion}, false, false},
      {Held::Saved, "worksheet exit", {MessageButton::No}, {}, {kExitQuestion}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + ", held " + std::to_string(static_cast<int>(c.held)));
    viewer_->memoResults()->clear();
    if (c.held != Held::Nothing) AddLines(kSample);
    if (c.held == Held::Saved || c.held == Held::EditedAfterSaving || c.held == Held::EditUndone) {
      Save(ScratchFile("saved.txt"));
    }
    QPlainTextEdit* memo = viewer_->memoResults();
    if (c.held == Held::EditedAfterSaving || c.held == Held::EditUndone) {
      memo->setFocus();
      memo->moveCursor(QTextCursor::End);
      QTest::keyClicks(memo, QStringLiteral("seen"));
    }
    if (c.held == Held::EditUndone) {
      for (int i = 0; i < 4; ++i) QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
      ASSERT_EQ(viewer_->Lines(), kSample);
    }
    EXPECT_EQ(viewer_->HoldsUnsavedResults(),
              c.held == Held::Unsaved || c.held == Held::EditedAfterSaving);
    const QStringList before = viewer_->Lines();
    dialogs_.messages.clear();
    dialogs_.terminations = 0;
    dialogs_.confirmAnswers.assign(c.answers.begin(), c.answers.end());
    dialogs_.unsavedAnswers.assign(c.choices.begin(), c.choices.end());
    dialogs_.saveRequests.clear();
    const std::string action = c.action;
    if (action == "clear") {
      Find<QPushButton>(viewer_.get(), "cmdClearResults")->click();
    } else if (action == "exit") {
      Find<QPushButton>(viewer_.get(), "cmdExit")->click();
    } else if (action == "close") {
      viewer_->close();
    } else {
      Find<QPushButton>(worksheet_.get(), "ExitBtn")->click();
    }
    ASSERT_EQ(dialogs_.messages.size(), c.questions.size());
    for (std::size_t i = 0; i < c.questions.size(); ++i) {
      EXPECT_EQ(dialogs_.messages[i].kind, MessageKind::Confirmation);
      EXPECT_EQ(dialogs_.messages[i].text, c.questions[i]);
      // The discard question's Enter answer is the careful one.
      EXPECT_EQ(dialogs_.messages[i].defaultButton,
                c.questions[i] == kDiscardResultsQuestion ? MessageButton::No : MessageButton::Yes);
    }
    EXPECT_TRUE(dialogs_.saveRequests.empty());
    EXPECT_EQ(viewer_->Lines(), c.cleared ? QStringList() : before);
    EXPECT_EQ(dialogs_.terminations, c.ended ? 1 : 0);
    viewer_->show();
  }
}

TEST_F(ResultsViewerTest, SaveInTheExitQuestionSavesAndEndsOnlyOnceWritten) {
  viewer_->show();
  const struct {
    const char* from;             // "viewer" or "worksheet"
    std::optional<QString> file;  // the save dialog's answer (nullopt: cancelled)
    bool ended;
  } cases[] = {
      {"viewer", ScratchFile("kept.txt"), true},
      {"worksheet", ScratchFile("kept-too"), true},  // saved as kept-too.txt
      {"viewer", std::nullopt, false},
      {"worksheet", ScratchFile("no-such-folder/kept.txt"), false},  // not written
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " " + c.file.value_or("cancelled").toStdString());
    viewer_->memoResults()->clear();
    AddLines(kSample);
    dialogs_.messages.clear();
    dialogs_.saveRequests.clear();
    dialogs_.terminations = 0;
    dialogs_.unsavedAnswers = {UnsavedChoice::Save};
    dialogs_.saveAnswers = {c.file};
    dialogs_.saveFilterAnswers = {QStringLiteral("*.txt")};
    if (std::string(c.from) == "viewer") {
      Find<QPushButton>(viewer_.get(), "cmdExit")->click();
    } else {
      Find<QPushButton>(worksheet_.get(), "ExitBtn")->click();
    }
    ASSERT_GE(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, kSaveBeforeExitQuestion);
    EXPECT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.terminations, c.ended ? 1 : 0);
    if (c.ended) {
      ASSERT_EQ(dialogs_.messages.size(), 1u);  // no exit question after the save
      QString saved = *c.file;
      if (!saved.endsWith(".txt")) saved += ".txt";
      QFile file(saved);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << saved.toStdString();
      EXPECT_EQ(MemoLines(QString::fromUtf8(file.readAll()).remove('\r')), kSample);
      EXPECT_FALSE(viewer_->HoldsUnsavedResults());
    } else {
      EXPECT_TRUE(viewer_->HoldsUnsavedResults());
      EXPECT_EQ(viewer_->Lines(), kSample);
    }
    viewer_->show();
  }
}

TEST_F(ResultsViewerTest, EditsUndoAndRedoAndTheReportItselfIsNoUndoStep) {
  viewer_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer_.get()));
  AddLines(kSample);
  QPlainTextEdit* memo = viewer_->memoResults();
  memo->setFocus();
  memo->moveCursor(QTextCursor::End);
  QTest::keyClicks(memo, QStringLiteral("checked"));
  EXPECT_EQ(viewer_->Lines().constLast(), "checked");
  QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(viewer_->Lines(), kSample);
  QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(viewer_->Lines().constLast(), "checked");
  // However often undone, the written report stays.
  for (int i = 0; i < 10; ++i) QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(viewer_->Lines(), kSample);
  EXPECT_FALSE(memo->document()->isUndoAvailable());
  // What is saved is what is shown.
  QTest::keyClicks(memo, QStringLiteral("kept"));
  Save(ScratchFile("shown.txt"));
  QFile saved(ScratchFile("shown.txt"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(saved.readAll()), viewer_->WholeText());
  EXPECT_TRUE(viewer_->WholeText().endsWith("kept\r\n"));
}

TEST_F(ResultsViewerTest, KeysSaveWithCtrlSPrintAllWithCtrlPAndEachButtonHasAnAltLetter) {
  AddLines(kSample);
  worksheet_->hide();  // as a run leaves the windows
  viewer_->show();
  viewer_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer_.get()));
  QPlainTextEdit* memo = viewer_->memoResults();
  memo->setFocus();  // the keys work from the report too

  dialogs_.saveAnswers = {ScratchFile("by-key.txt")};
  QTest::keyClick(memo, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
  EXPECT_TRUE(QFile::exists(ScratchFile("by-key.txt")));
  EXPECT_FALSE(viewer_->HoldsUnsavedResults());

  const QString pdf = ScratchFile("by-key.pdf");
  dialogs_.pdfAnswers = {pdf};
  QTest::keyClick(memo, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dialogs_.printJobs, 1);
  EXPECT_TRUE(QFile::exists(pdf));

  QList<QKeySequence> letters{QKeySequence::mnemonic(Find<QMenu>(viewer_.get(), "File1")->title())};
  for (QPushButton* button : viewer_->findChildren<QPushButton*>()) {
    const QKeySequence letter = QKeySequence::mnemonic(button->text());
    EXPECT_FALSE(letter.isEmpty()) << button->objectName().toStdString();
    EXPECT_FALSE(letters.contains(letter)) << button->objectName().toStdString();
    letters << letter;
  }
  EXPECT_FALSE(letters.constFirst().isEmpty());
  EXPECT_FALSE(QKeySequence::mnemonic(Menu("mnuPrint")->text()).isEmpty());
  EXPECT_FALSE(QKeySequence::mnemonic(Menu("mnuPrintSelection")->text()).isEmpty());

  // Alt+R: back to the worksheet, on Compute (the worksheet has its inputs);
  // Enter on a focused button presses it.
  Field(1)->setText(QStringLiteral("10"));
  QTest::keyClick(memo, Qt::Key_R, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return worksheet_->isVisible() && !viewer_->isVisible(); }));
  EXPECT_EQ(worksheet_->focusWidget(), Find<QPushButton>(worksheet_.get(), "cmdCompute"));
  viewer_->show();
  auto* clear = Find<QPushButton>(viewer_.get(), "cmdClearResults");
  clear->setFocus();
  QTest::keyClick(clear, Qt::Key_Return);
  EXPECT_TRUE(viewer_->Lines().isEmpty());  // saved: no question
  EXPECT_TRUE(dialogs_.messages.empty());
}

}  // namespace
}  // namespace quorvane::testing
