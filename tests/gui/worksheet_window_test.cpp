// The worksheet window: start-up state and layout, the description's scroll
// bar, the notes field, the keystroke filter and length limit, Clear Data and
// Exit.
#include <clocale>
#include <cstdio>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>

#include "TemplateForm/worksheet.h"
#include "gui/fonts.h"
#include "gui/numeric_locale.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

using WorksheetWindowTest = GuiTest;

TEST_F(WorksheetWindowTest, StartsWithExactlyTheTwoFieldsEmptyDefaultsSelectedAndFocusInField1) {
  QStringList shownFields;
  for (QLineEdit* edit : worksheet_->findChildren<QLineEdit*>()) {
    if (edit->isVisible()) shownFields << edit->objectName();
  }
  EXPECT_EQ(shownFields, QStringList({"txtInput1", "txtInput2"}));
  EXPECT_EQ(Field(1)->text(), "");
  EXPECT_EQ(Field(2)->text(), "");
  EXPECT_EQ(Find<QLabel>(worksheet_.get(), "Label1")->text(),
            "Number of control participants (N) :");
  EXPECT_EQ(Find<QLabel>(worksheet_.get(), "Label2")->text(), "Number of covariates :");
  EXPECT_TRUE(Find<QLabel>(worksheet_.get(), "Label1")->isVisible());
  EXPECT_TRUE(Find<QLabel>(worksheet_.get(), "Label2")->isVisible());
  for (int k = 3; k <= 8; ++k) {
    const QByteArray label = QStringLiteral("Label%1").arg(k).toLatin1();
    EXPECT_FALSE(Find<QLabel>(worksheet_.get(), label.constData())->isVisible()) << k;
  }
  for (const char* hidden : {"Label_N", "lbl_r", "grdData", "cmdHelp", "cmdReturn", "pnlHelp",
                             "lblGridColumnsTitle", "lblCol1", "lblCol6", "lblItems"}) {
    EXPECT_FALSE(Find<QWidget>(worksheet_.get(), hidden)->isVisible()) << hidden;
  }
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "Prior_Radio_0")->isChecked());
  EXPECT_EQ(Find<QRadioButton>(worksheet_.get(), "Prior_Radio_0")->text(),
            "Calibrated (Recommended)");
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "RadioGroup1_0")->isChecked());
  EXPECT_EQ(Find<QRadioButton>(worksheet_.get(), "RadioGroup1_0")->text(), "Two-sided");
  EXPECT_EQ(worksheet_->focusWidget(), Field(1));
  EXPECT_EQ(QApplication::focusWidget(), Field(1));
  EXPECT_EQ(worksheet_->windowTitle().toStdString(), ProgramTitle);
  EXPECT_FALSE(viewer_->isVisible());
}

TEST_F(WorksheetWindowTest, ControlsSitWhereTheLayoutPutsThem) {
  EXPECT_EQ(worksheet_->size(), QSize(792, 573));
  EXPECT_EQ(worksheet_->minimumSize(), worksheet_->maximumSize());  // fixed border
  const Qt::WindowFlags flags = worksheet_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  struct Place {
    const char* name;
    QRect geometry;  // in the control's container
  };
  const Place places[] = {
      {"DescripFld", {12, 7, 768, 94}},      {"memoComments", {112, 110, 666, 25}},
      {"Panel1", {12, 143, 768, 346}},       {"cmdCompute", {28, 506, 165, 37}},
      {"btnclearData", {220, 506, 165, 37}}, {"ExitBtn", {603, 506, 165, 37}},
  };
  for (const Place& place : places) {
    EXPECT_EQ(Find<QWidget>(worksheet_.get(), place.name)->geometry(), place.geometry)
        << place.name;
  }
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "Prior_Radio")->pos(), QPoint(8, 16));
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "RadioGroup1")->pos(), QPoint(8, 128));
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "Label1")->pos(), QPoint(424, 20));
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "Label2")->pos(), QPoint(426, 60));
  EXPECT_EQ(Field(1)->pos(), QPoint(704, 16));
  EXPECT_EQ(Field(2)->pos(), QPoint(704, 56));
  EXPECT_EQ(Field(1)->width(), 56);
  EXPECT_TRUE(Field(1)->font().bold());
  EXPECT_TRUE(Find<QPushButton>(worksheet_.get(), "cmdCompute")->font().bold());
  EXPECT_EQ(Find<QPushButton>(worksheet_.get(), "btnclearData")->text(), "Clear Data ");
  EXPECT_EQ(Find<QGroupBox>(worksheet_.get(), "Prior_Radio")->title(), "Form of prior...");
  EXPECT_EQ(Find<QGroupBox>(worksheet_.get(), "RadioGroup1")->title(),
            "95% credible limit required...");
  const QLabel* notesCaption = Find<QLabel>(worksheet_.get(), "lblComments");
  EXPECT_EQ(notesCaption->text(), "User's Notes:");
  EXPECT_TRUE(notesCaption->font().bold());
  EXPECT_EQ(worksheet_->font().pixelSize(), 13);
  EXPECT_TRUE(QFontInfo(Notes()->font()).fixedPitch());
  EXPECT_EQ(Notes()->font().pixelSize(), 12);
  EXPECT_EQ(Notes()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "DescripFld")->focusPolicy(), Qt::ClickFocus);
}

TEST_F(WorksheetWindowTest, DescriptionScrollBarAppearsFrom551Characters) {
  auto* description = Find<QPlainTextEdit>(worksheet_.get(), "DescripFld");
  EXPECT_EQ(description->toPlainText().toStdString(), DescriptionText());
  EXPECT_EQ(description->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(description->isReadOnly());
  const struct {
    int length;
    Qt::ScrollBarPolicy policy;
  } cases[] = {
      {550, Qt::ScrollBarAlwaysOff}, {551, Qt::ScrollBarAlwaysOn}, {0, Qt::ScrollBarAlwaysOff}};
  for (const auto& c : cases) {
    description->setPlainText(QString(c.length, QLatin1Char('x')));
    EXPECT_EQ(description->verticalScrollBarPolicy(), c.policy) << c.length;
  }
}

TEST_F(WorksheetWindowTest, KeystrokeFilterLetsThroughOnlyWhatANumberNeeds) {
  const char* kRefused = "INPUT ERROR\r\rEnter numeric data only.";
  const struct {
    const char* typed;
    const char* text;  // the field afterwards
    int refusals;      // beeps, each with the box
  } cases[] = {
      {"12", "12", 0},  {"-3.5", "-3.5", 0}, {"1,5", "1.5", 0}, {"1a2", "12", 1},
      {"1 2", "12", 1}, {"e", "", 1},        {"x+y", "", 3},    {"0.", "0.", 0},
  };
  for (const auto& c : cases) {
    Field(1)->clear();
    dialogs_.messages.clear();
    dialogs_.beeps = 0;
    QTest::keyClicks(Field(1), QString::fromLatin1(c.typed));
    EXPECT_EQ(Field(1)->text(), QString::fromLatin1(c.text)) << c.typed;
    EXPECT_EQ(dialogs_.beeps, c.refusals) << c.typed;
    ASSERT_EQ(dialogs_.messages.size(), static_cast<std::size_t>(c.refusals)) << c.typed;
    for (const auto& message : dialogs_.messages) {
      EXPECT_EQ(message.kind, MessageKind::Warning);
      EXPECT_EQ(message.text, kRefused);
    }
  }
  // Backspace is an editing key and passes the filter.
  Field(2)->setText(QStringLiteral("123"));
  Field(2)->setFocus();
  Field(2)->end(false);
  dialogs_.messages.clear();
  QTest::keyClick(Field(2), Qt::Key_Backspace);
  EXPECT_EQ(Field(2)->text(), "12");
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WorksheetWindowTest, SeventhCharacterIsCutWithBeepAndBoxAndTheSixAreSelected) {
  QTest::keyClicks(Field(1), QStringLiteral("123456"));
  EXPECT_TRUE(dialogs_.messages.empty());
  QTest::keyClicks(Field(2), QStringLiteral("1234567"));
  EXPECT_EQ(Field(2)->text(), "123456");
  EXPECT_EQ(Field(2)->selectedText(), "123456");
  EXPECT_EQ(dialogs_.beeps, 1);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(dialogs_.messages[0].text, "Maximum length of input is 6 characters.");
  // Each field's own text is checked: field 1 keeps its six characters.
  EXPECT_EQ(Field(1)->text(), "123456");
  // The selection makes the next keystroke replace the text.
  QTest::keyClicks(Field(2), QStringLiteral("9"));
  EXPECT_EQ(Field(2)->text(), "9");
}

TEST_F(WorksheetWindowTest, NotesGrowTo70WithASecondLineAndShrinkTo25WhenLeft) {
  QPlainTextEdit* notes = Notes();
  notes->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return notes->hasFocus(); }));
  QTest::keyClicks(notes, QStringLiteral("first"));
  EXPECT_EQ(notes->height(), 25);
  QTest::keyClick(notes, Qt::Key_Return);
  EXPECT_EQ(notes->height(), 70);
  QTest::keyClicks(notes, QStringLiteral("second"));
  EXPECT_EQ(notes->height(), 70);

  Field(1)->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return Field(1)->hasFocus(); }));
  EXPECT_EQ(notes->height(), 25);
  notes->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return notes->hasFocus(); }));
  EXPECT_EQ(notes->height(), 70);  // entered again with two lines

  // One line: entering leaves the field short.
  Field(1)->setFocus();
  notes->setPlainText(QStringLiteral("one line"));
  notes->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return notes->hasFocus(); }));
  EXPECT_EQ(notes->height(), 25);
  EXPECT_EQ(worksheet_->Model().notes, std::vector<std::string>{"one line"});
}

TEST_F(WorksheetWindowTest, NotesHoldAtMost250CharactersALineBreakCountingTwo) {
  QPlainTextEdit* notes = Notes();
  notes->setFocus();
  QTest::keyClicks(notes, QString(248, QLatin1Char('a')));
  QTest::keyClick(notes, Qt::Key_Return);  // 248 + 2 = 250: taken
  QTest::keyClicks(notes, QStringLiteral("bc"));
  EXPECT_EQ(notes->toPlainText(), QString(248, QLatin1Char('a')) + QLatin1Char('\n'));
  const std::vector<std::string> expected{std::string(248, 'a')};
  EXPECT_EQ(worksheet_->Model().notes, expected);
}

TEST_F(WorksheetWindowTest, ClearDataEmptiesFieldsAndNotesDeletesTheSavedInputsAndKeepsChoices) {
  Field(1)->setText(QStringLiteral("12"));
  Field(2)->setText(QStringLiteral("2"));
  Notes()->setPlainText(QStringLiteral("a note"));
  Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->setChecked(true);
  Find<QRadioButton>(worksheet_.get(), "RadioGroup1_2")->setChecked(true);
  SaveCurrentData(worksheet_->Model());
  const QString saved = QString::fromStdString(SavedInputsFile());
  ASSERT_TRUE(QFile::exists(saved));
  EXPECT_TRUE(saved.startsWith(ProgramFolder()));
  Find<QPushButton>(worksheet_.get(), "cmdCompute")->setFocus();

  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  EXPECT_EQ(Field(1)->text(), "");
  EXPECT_EQ(Field(2)->text(), "");
  EXPECT_EQ(Notes()->toPlainText(), "");
  EXPECT_FALSE(QFile::exists(saved));
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "RadioGroup1_2")->isChecked());
  EXPECT_EQ(worksheet_->focusWidget(), Field(1));
  EXPECT_TRUE(dialogs_.messages.empty());  // no question is asked
}

TEST_F(WorksheetWindowTest, ExitAsksAndOnlyYesEndsTheProgram) {
  Field(1)->setText(QStringLiteral("12"));
  const struct {
    bool byWindowManager;  // closing the window rather than pressing "Exit"
    MessageButton answer;
  } cases[] = {{false, MessageButton::No},
               {true, MessageButton::No},
               {false, MessageButton::Yes},
               {true, MessageButton::Yes}};
  for (const auto& c : cases) {
    dialogs_.messages.clear();
    dialogs_.terminations = 0;
    dialogs_.confirmAnswers = {c.answer};
    if (c.byWindowManager) {
      worksheet_->close();
    } else {
      Find<QPushButton>(worksheet_.get(), "ExitBtn")->click();
    }
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(dialogs_.messages[0].text, "Exit from program?");
    const bool yes = c.answer == MessageButton::Yes;
    EXPECT_EQ(dialogs_.terminations, yes ? 1 : 0);
    if (!yes) {
      EXPECT_TRUE(worksheet_->isVisible());
      EXPECT_EQ(Field(1)->text(), "12");
    }
    worksheet_->show();
  }
}

TEST_F(WorksheetWindowTest, HelpPanelSwapsTheButtons) {
  // Unreachable in this program (its button stays hidden), but the handlers
  // keep the template's behaviour.
  worksheet_->cmdHelpClick();
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "pnlHelp")->isVisible());
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "pnlHelp")->pos(), QPoint(12, 142));
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "cmdCompute")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "cmdReturn")->isVisible());
  worksheet_->cmdReturnClick();
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "pnlHelp")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "cmdCompute")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "ExitBtn")->isVisible());
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "cmdReturn")->isVisible());
}

}  // namespace
}  // namespace quorvane::testing

namespace {

// The program writes numbers with a point whatever the user's locale. Runs
// where a locale with a decimal comma is installed.
TEST(NumericLocale, ReportNumbersKeepThePointUnderACommaLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  const char* found = nullptr;
  for (const char* name : names) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      found = name;
      break;
    }
  }
  if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  char comma[16];
  std::snprintf(comma, sizeof comma, "%.1f", 0.5);
  EXPECT_STREQ(comma, "0,5");
  quorvane::UseClassicNumberFormats();
  char point[16];
  std::snprintf(point, sizeof point, "%.1f", 0.5);
  EXPECT_STREQ(point, "0.5");
}

}  // namespace
