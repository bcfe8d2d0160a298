// The worksheet window: start-up state and layout, the description's scroll
// bar, the notes field, the keystroke filter and length limit, Clear Data and
// Exit.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTableWidget>

#include "TemplateForm/qt/summary_panel.h"
#include "TemplateForm/worksheet/worksheet.h"
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

TEST_F(WorksheetWindowTest, ControlsSitWhereTheLayoutPutsThemAtThePreferredSize) {
  // The test screen (1280 x 900) has room for the preferred size, with the
  // Help menu bar above it.
  const int menu = worksheet_->layout()->menuBar()->height();
  EXPECT_GT(menu, 10);
  EXPECT_EQ(worksheet_->size(), QSize(792, 573 + menu));
  const Qt::WindowFlags flags = worksheet_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  struct Place {
    const char* name;
    QRect geometry;  // in the window
  };
  const Place places[] = {
      {"DescripFld", {12, 7, 768, 94}},        {"memoComments", {112, 110, 666, 25}},
      {"Panel1", {12, 143, 768, 346}},         {"pan1", {12, 500, 768, 49}},
      {"cmdCompute", {28, 506, 165, 37}},      {"btnclearData", {220, 506, 165, 37}},
      {"cmdShowResults", {411, 506, 165, 37}}, {"ExitBtn", {603, 506, 165, 37}},
  };
  for (const Place& place : places) {
    QWidget* control = Find<QWidget>(worksheet_.get(), place.name);
    EXPECT_EQ(QRect(control->mapTo(worksheet_.get(), QPoint(0, 0)), control->size()),
              place.geometry.translated(0, menu))
        << place.name;
  }
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "Prior_Radio")->pos(), QPoint(8, 16));
  EXPECT_EQ(Field(1)->pos(), QPoint(704, 16));
  EXPECT_EQ(Field(2)->pos(), QPoint(704, 56));
  EXPECT_EQ(Field(1)->width(), 56);
  EXPECT_TRUE(Field(1)->font().bold());
  EXPECT_TRUE(Find<QPushButton>(worksheet_.get(), "cmdCompute")->font().bold());
  EXPECT_EQ(ShownCaption(Find<QPushButton>(worksheet_.get(), "cmdCompute")->text()), "Compute");
  EXPECT_EQ(ShownCaption(Find<QPushButton>(worksheet_.get(), "btnclearData")->text()),
            "Clear Data ");
  EXPECT_EQ(ShownCaption(Find<QPushButton>(worksheet_.get(), "ExitBtn")->text()), "Exit");
  EXPECT_EQ(ShownCaption(Find<QGroupBox>(worksheet_.get(), "Prior_Radio")->title()),
            "Form of prior...");
  EXPECT_EQ(ShownCaption(Find<QGroupBox>(worksheet_.get(), "RadioGroup1")->title()),
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

// Where each control of the worksheet is, in window coordinates.
QRect InWindow(QWidget* window, const QWidget* control) {
  return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

// Once for each of the tests' faces.
using WorksheetLayoutTest = GuiFaceTest;

TEST_P(WorksheetLayoutTest, StretchesKeepsTheArrangementAndHasASensibleMinimum) {
  QWidget* w = worksheet_.get();
  ASSERT_EQ(QFontInfo(w->font()).family(), Face());
  const QSize minimum = w->minimumSize();
  EXPECT_LT(minimum.width(), 792);
  EXPECT_LT(minimum.height(), 573);
  // Small enough for a 1280 x 900 screen at 200% (640 x 450) with a title bar
  // and a task bar, large enough for every control.
  EXPECT_LE(minimum.width(), 620);
  EXPECT_LE(minimum.height(), 380);
  EXPECT_GE(minimum.width(), 400);
  EXPECT_GE(minimum.height(), 300);
  EXPECT_GT(w->maximumSize().width(), 2000);

  const QRect preferredDescription = InWindow(w, Find<QWidget>(w, "DescripFld"));
  const QRect preferredPanel = InWindow(w, Find<QWidget>(w, "Panel1"));
  for (const QSize size : {QSize(1400, 900), minimum, QSize(700, 420)}) {
    SCOPED_TRACE(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()).toStdString());
    w->resize(size);
    QApplication::processEvents();
    ASSERT_EQ(w->size(), size);
    const QRect description = InWindow(w, Find<QWidget>(w, "DescripFld"));
    const QRect notesCaption = InWindow(w, Find<QWidget>(w, "Panel3"));
    const QRect notes = InWindow(w, Notes());
    const QRect panel = InWindow(w, Find<QWidget>(w, "Panel1"));
    const QRect buttons = InWindow(w, Find<QWidget>(w, "pan1"));
    // Top to bottom, nothing overlapping, all inside the window.
    EXPECT_LT(description.bottom(), notes.top());
    EXPECT_EQ(notesCaption.top(), notes.top());
    EXPECT_LT(notesCaption.right(), notes.left());
    EXPECT_LT(notes.bottom(), panel.top());
    EXPECT_LT(panel.bottom(), buttons.top());
    EXPECT_TRUE(w->rect().contains(description.united(buttons)));
    EXPECT_EQ(notes.height(), 25);
    EXPECT_EQ(notes.right(), description.right() - 2);
    // The button row: left to right, one height, in the row.
    QRect previous;
    for (const char* name : {"cmdCompute", "btnclearData", "cmdShowResults", "ExitBtn"}) {
      const QRect button = InWindow(w, Find<QWidget>(w, name));
      EXPECT_TRUE(buttons.contains(button)) << name;
      EXPECT_EQ(button.height(), 37) << name;
      if (!previous.isNull()) {
        EXPECT_GE(button.left() - previous.right() - 1, 6) << name;  // apart
        EXPECT_EQ(previous.top(), button.top()) << name;
      }
      previous = button;
    }
    // The inputs panel: the choices one above the other on the left, each
    // field right of its label, at the panel's right, one below the other.
    const QRect prior = InWindow(w, Find<QWidget>(w, "Prior_Radio"));
    const QRect limit = InWindow(w, Find<QWidget>(w, "RadioGroup1"));
    EXPECT_TRUE(panel.contains(prior.united(limit)));
    EXPECT_LT(prior.bottom(), limit.top());
    EXPECT_EQ(prior.left(), limit.left());
    for (int k = 1; k <= 2; ++k) {
      const QRect label = InWindow(w, Find<QWidget>(w, k == 1 ? "Label1" : "Label2"));
      const QRect field = InWindow(w, Field(k));
      EXPECT_TRUE(panel.contains(field)) << k;
      EXPECT_LT(prior.right(), label.left()) << k;
      EXPECT_LE(label.right(), field.left()) << k;
      EXPECT_LE(std::abs(label.center().y() - field.center().y()), 1) << k;
      EXPECT_EQ(field.right(), panel.right() - 8) << k;
      EXPECT_EQ(field.size(), QSize(56, 24)) << k;
    }
    EXPECT_LT(InWindow(w, Field(1)).bottom(), InWindow(w, Field(2)).top());
    EXPECT_EQ(InWindow(w, Find<QWidget>(w, "Label1")).left(),
              InWindow(w, Find<QWidget>(w, "Label2")).left());
    if (size.height() > 573) {  // the extra height goes to the description and the panel
      EXPECT_GT(description.height(), preferredDescription.height());
      EXPECT_GT(panel.height(), preferredPanel.height());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Faces, WorksheetLayoutTest, ::testing::ValuesIn(TestFaces()), FaceName);

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

// While a note of several lines is edited the notes are taller, but lie
// over nothing: N can still be clicked and typed into, at the preferred and
// at the smallest size of the window.
TEST_F(WorksheetWindowTest, TallNotesCoverNothingAndAClickOnNTypesIntoN) {
  QWidget* w = worksheet_.get();
  for (const QSize size : {QSize(792, 573), w->minimumSize()}) {
    SCOPED_TRACE(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()).toStdString());
    const QSize minimum = w->minimumSize();
    w->resize(size);
    QApplication::processEvents();
    Field(1)->clear();
    Notes()->clear();
    Notes()->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Notes()->hasFocus(); }));
    QTest::keyClicks(Notes(), QStringLiteral("first line"));
    QTest::keyClick(Notes(), Qt::Key_Return);
    QTest::keyClicks(Notes(), QStringLiteral("second line"));
    // Taller by what the description can give: all of it at the preferred
    // size, its few lines at the smallest.
    EXPECT_EQ(Notes()->height(), size == minimum ? 25 + 28 : 70);
    QApplication::processEvents();
    EXPECT_EQ(w->size(), size);  // the window did not grow
    EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(QRect(QPoint(0, 0), w->minimumSize())));
    const QRect notes = InWindow(w, Notes());
    for (const char* name : {"DescripFld", "Panel1", "Panel3", "pan1"}) {
      EXPECT_FALSE(notes.intersects(InWindow(w, Find<QWidget>(w, name)))) << name;
    }
    EXPECT_TRUE(w->rect().contains(notes));
    // What lies at N's place is N.
    const QPoint n = InWindow(w, Field(1)).center();
    EXPECT_EQ(w->childAt(n), Field(1));
    QTest::mouseClick(w->childAt(n), Qt::LeftButton, Qt::NoModifier, w->childAt(n)->mapFrom(w, n));
    ASSERT_TRUE(WaitUntil([&] { return Field(1)->hasFocus(); }));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("15"));
    EXPECT_EQ(Field(1)->text(), "15");
    EXPECT_EQ(Notes()->toPlainText(), "first line\nsecond line");
    EXPECT_EQ(Notes()->height(), 25);  // left: short again
    EXPECT_EQ(w->minimumSize(), minimum);
  }
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

  dialogs_.confirmAnswers = {MessageButton::Yes};
  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);  // asked first
  EXPECT_EQ(dialogs_.messages[0].text, kClearDataQuestion);
  EXPECT_EQ(Field(1)->text(), "");
  EXPECT_EQ(Field(2)->text(), "");
  EXPECT_EQ(Notes()->toPlainText(), "");
  EXPECT_FALSE(QFile::exists(saved));
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "Prior_Radio_1")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(worksheet_.get(), "RadioGroup1_2")->isChecked());
  EXPECT_EQ(worksheet_->focusWidget(), Field(1));

  // An empty worksheet has nothing to lose: no question.
  dialogs_.messages.clear();
  Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
  EXPECT_TRUE(dialogs_.messages.empty());
}

// Whatever is typed, one click (or Alt+D) on Clear Data asks, No being the
// default; only Yes clears and deletes the saved inputs.
TEST_F(WorksheetWindowTest, ClearDataAsksWhenAnythingIsTypedAndNoKeepsEverything) {
  const struct {
    const char* what;
    std::function<void()> type;
    std::function<bool()> kept;
  } cases[] = {
      {"N", [this] { Field(1)->setText("12"); }, [this] { return Field(1)->text() == "12"; }},
      {"k", [this] { Field(2)->setText("2"); }, [this] { return Field(2)->text() == "2"; }},
      {"notes", [this] { Notes()->setPlainText("patient AB"); },
       [this] { return Notes()->toPlainText() == "patient AB"; }},
      {"a mean",
       [this] {
         worksheet_->Summary()->StatisticsGrid()->setItem(0, 1, new QTableWidgetItem("26.9"));
       },
       [this] { return worksheet_->Summary()->Texts(0).means[1] == "26.9"; }},
      {"a correlation",
       [this] {
         worksheet_->Summary()->CorrelationGrid()->setItem(2, 1, new QTableWidgetItem("0.7"));
       },
       [this] { return worksheet_->Summary()->Texts(0).correlations[1][1] == "0.7"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs_.confirmAnswers = {MessageButton::Yes};
    Find<QPushButton>(worksheet_.get(), "btnclearData")->click();  // a clean start
    c.type();
    SaveCurrentData(worksheet_->Model());
    const QString saved = QString::fromStdString(SavedInputsFile());
    ASSERT_TRUE(QFile::exists(saved));
    for (const bool byKey : {false, true}) {
      dialogs_.messages.clear();
      dialogs_.confirmAnswers.clear();  // unanswered: the default button
      if (byKey) {
        Field(1)->setFocus();
        QTest::keyClick(Field(1), Qt::Key_D, Qt::AltModifier);
        ASSERT_TRUE(WaitUntil([&] { return !dialogs_.messages.empty(); }));
      } else {
        Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
      }
      ASSERT_EQ(dialogs_.messages.size(), 1u);
      EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Confirmation);
      EXPECT_EQ(dialogs_.messages[0].text, kClearDataQuestion);
      EXPECT_EQ(dialogs_.messages[0].defaultButton, MessageButton::No);
      EXPECT_TRUE(c.kept());
      EXPECT_TRUE(QFile::exists(saved));
    }
    dialogs_.confirmAnswers = {MessageButton::Yes};
    Find<QPushButton>(worksheet_.get(), "btnclearData")->click();
    EXPECT_FALSE(c.kept());
    EXPECT_FALSE(QFile::exists(saved));
  }
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
  EXPECT_EQ(Find<QWidget>(worksheet_.get(), "pnlHelp")->geometry(),
            Find<QWidget>(worksheet_.get(), "Panel1")->geometry());  // in the inputs' place
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "cmdCompute")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "cmdReturn")->isVisible());
  worksheet_->cmdReturnClick();
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "pnlHelp")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "cmdCompute")->isVisible());
  EXPECT_TRUE(Find<QWidget>(worksheet_.get(), "ExitBtn")->isVisible());
  EXPECT_FALSE(Find<QWidget>(worksheet_.get(), "cmdReturn")->isVisible());
}

class WorksheetKeysTest : public GuiTest {
 protected:
  QPushButton* Button(const char* name) { return Find<QPushButton>(worksheet_.get(), name); }
  void Refusals(int expected, const char* context) {
    EXPECT_EQ(dialogs_.beeps, expected) << context;
    EXPECT_EQ(dialogs_.messages.size(), static_cast<std::size_t>(expected)) << context;
    for (const auto& message : dialogs_.messages) {
      EXPECT_EQ(message.text, "INPUT ERROR\r\rEnter numeric data only.") << context;
    }
    dialogs_.beeps = 0;
    dialogs_.messages.clear();
  }
};

TEST_F(WorksheetKeysTest, TabFollowsTheReadingOrderFromTheNotesToExitAndTheFocusStartsInN) {
  EXPECT_EQ(QApplication::focusWidget(), Field(1));
  QWidget* w = worksheet_.get();
  // One stop per choice group: Tab lands on its checked item.
  const std::vector<QWidget*> expected = {
      Notes(),
      Find<QWidget>(w, "Prior_Radio_0"),
      Find<QWidget>(w, "RadioGroup1_0"),
      Field(1),
      Field(2),
      Find<QWidget>(w, "DataKind_Radio_0"),  // below the fields
      Button("cmdCaseSeries"),
      Find<QWidget>(w, "chkDeficits"),  // its two choices: no stops while it is off
      Button("cmdCompute"),
      Button("btnclearData"),
      Button("ExitBtn")};  // Show Results: no stop while disabled
  Notes()->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return Notes()->hasFocus(); }));
  std::vector<QWidget*> visited{QApplication::focusWidget()};
  for (std::size_t i = 1; i < expected.size() + 1; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  std::vector<QWidget*> once(expected);
  once.push_back(Notes());  // and round again
  EXPECT_EQ(visited, once);
  for (std::size_t i = 0; i < visited.size(); ++i) {
    EXPECT_EQ(visited[i], once[i])
        << "stop " << i << ": " << visited[i]->objectName().toStdString();
  }
  // Back-tab from N goes up to the choices.
  Field(1)->setFocus();
  QTest::keyClick(Field(1), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(w, "RadioGroup1_0"))
      << QApplication::focusWidget()->objectName().toStdString();
}

// After a refusal the field at fault has the focus with its text selected:
// what is typed next replaces it.
TEST_F(WorksheetKeysTest, TheFieldAtFaultHasItsTextSelectedSoTypingReplacesIt) {
  const struct {
    const char* n;
    const char* k;
    int field;  // the field at fault
    const char* typed;
  } cases[] = {{"0", "1", 1, "7"}, {"3", "1", 1, "12"}, {"10", "9", 2, "1"}, {"10", "0.5", 2, "2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.n) + ", " + c.k);
    Field(1)->setText(QString::fromLatin1(c.n));
    Field(2)->setText(QString::fromLatin1(c.k));
    dialogs_.messages.clear();
    dialogs_.openRequests.clear();
    EXPECT_FALSE(ClickCompute());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.openRequests.empty());
    ASSERT_EQ(QApplication::focusWidget(), Field(c.field));
    QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.typed));
    EXPECT_EQ(Field(c.field)->text(), QString::fromLatin1(c.typed));
  }
}

TEST_F(WorksheetKeysTest, EnterInAFieldStartsComputeAndOnAButtonPressesIt) {
  for (int k : {1, 2}) {
    Field(1)->setText(QStringLiteral("10"));
    Field(2)->setText(QStringLiteral("1"));
    dialogs_.openRequests.clear();
    dialogs_.messages.clear();
    QSignalSpy ended(worksheet_.get(), &TfrmTemplate::computeEnded);
    Field(k)->setFocus();
    QTest::keyClick(Field(k), Qt::Key_Return);  // the open dialog is cancelled
    ASSERT_TRUE(WaitUntil([&] { return ended.count() > 0; })) << k;
    EXPECT_EQ(dialogs_.openRequests.size(), 1u) << k;
    EXPECT_EQ(Field(k)->text(), k == 1 ? "10" : "1");  // the key typed nothing
  }
  // The keypad's Enter too, and a check that fails puts the focus in its field.
  Field(2)->clear();
  dialogs_.messages.clear();
  Field(1)->setFocus();
  QTest::keyClick(Field(1), Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("Number of covariates"));
  EXPECT_EQ(QApplication::focusWidget(), Field(2));

  // Enter on a focused button presses it: Clear Data asks and clears, Exit asks.
  Field(1)->setText(QStringLiteral("12"));
  dialogs_.confirmAnswers = {MessageButton::Yes};
  Button("btnclearData")->setFocus();
  QTest::keyClick(Button("btnclearData"), Qt::Key_Return);
  EXPECT_EQ(Field(1)->text(), "");
  dialogs_.messages.clear();
  Button("ExitBtn")->setFocus();
  QTest::keyClick(Button("ExitBtn"), Qt::Key_Return);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "Exit from program?");
}

TEST_F(WorksheetKeysTest, EveryButtonHasItsOwnAltLetterAndTheLetterPressesIt) {
  QList<QKeySequence> letters;
  for (QPushButton* button : worksheet_->findChildren<QPushButton*>()) {
    const QKeySequence letter = QKeySequence::mnemonic(button->text());
    EXPECT_FALSE(letter.isEmpty()) << button->objectName().toStdString();
    EXPECT_FALSE(letters.contains(letter)) << button->objectName().toStdString();
    letters << letter;
  }
  for (const char* group : {"Prior_Radio", "RadioGroup1", "DataKind_Radio"}) {
    const QKeySequence letter =
        QKeySequence::mnemonic(Find<QGroupBox>(worksheet_.get(), group)->title());
    EXPECT_FALSE(letter.isEmpty()) << group;
    EXPECT_FALSE(letters.contains(letter)) << group;
    letters << letter;
  }
  Field(1)->setText(QStringLiteral("12"));
  Field(1)->setFocus();
  // A pressed letter clicks its button a moment later, as a mouse click would.
  QTest::keyClick(Field(1), Qt::Key_X, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return !dialogs_.messages.empty(); }));
  EXPECT_EQ(dialogs_.messages[0].text, "Exit from program?");
  EXPECT_EQ(Field(1)->text(), "12");  // the letter went to the button, not the field
  QTest::keyClick(Field(1), Qt::Key_L, Qt::AltModifier);  // to the credible-limit choice
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(worksheet_.get(), "RadioGroup1_0"));
  dialogs_.confirmAnswers = {MessageButton::Yes};  // Clear Data asks first
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return Field(1)->text().isEmpty(); }));
  // An Alt letter that is no button's types nothing, and is no refused key.
  Field(1)->setFocus();
  QTest::keyClick(Field(1), Qt::Key_Q, Qt::AltModifier);
  QTest::keyClick(Field(1), Qt::Key_5, Qt::AltModifier);
  EXPECT_EQ(Field(1)->text(), "");
  EXPECT_EQ(dialogs_.beeps, 0);
  EXPECT_EQ(dialogs_.messages.size(), 2u);  // Exit's question and Clear Data's
}

TEST_F(WorksheetKeysTest, ControlKeysEditTheNumberFieldsWithoutTheRefusal) {
  QLineEdit* n = Field(1);
  n->setFocus();
  QTest::keyClicks(n, QStringLiteral("123"));
  QTest::keyClick(n, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(n->selectedText(), "123");
  QTest::keyClick(n, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "123");
  QTest::keyClick(n, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(n->text(), "");
  QTest::keyClick(n, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(n->text(), "123");
  QTest::keyClick(Field(2), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Field(2)->text(), "123");
  Refusals(0, "editing keys");
  // Escape and other keys that type a control character are still refused.
  QTest::keyClick(n, Qt::Key_Escape);
  Refusals(1, "Escape");
}

TEST_F(WorksheetKeysTest, PasteGoesThroughTheTypingRuleAndTheLengthLimit) {
  const struct {
    const char* clipboard;
    const char* before;  // the field's text, all of it selected when selectAll
    bool selectAll;
    const char* after;
    int refusals;      // beeps with "Enter numeric data only."
    bool lengthLimit;  // the length message, the text cut to six and selected
  } cases[] = {
      {"12", "", false, "12", 0, false},         {"abc", "7", false, "7", 1, false},
      {"abc12", "", false, "", 1, false},        {"3,5", "", false, "3.5", 0, false},
      {" 20\n", "", false, "20", 0, false},      {"12", "99", true, "12", 0, false},
      {"12345", "99", false, "991234", 0, true}, {"", "5", false, "5", 0, false},
  };
  // The three ways to paste: Ctrl+V, Shift+Insert and the field's menu.
  for (const int way : {0, 1, 2}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string("way ") + std::to_string(way) + ", clipboard \"" + c.clipboard +
                   "\"");
      QLineEdit* field = Field(2);
      field->setText(QString::fromLatin1(c.before));
      field->setFocus();
      if (c.selectAll) {
        field->selectAll();
      } else {
        field->end(false);
      }
      QGuiApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
      dialogs_.messages.clear();
      dialogs_.beeps = 0;
      if (way == 0) {
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
      } else if (way == 1) {
        QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier);
      } else {
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                    field->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(field, &menuEvent);
        QMenu* menu = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
          menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
          return menu != nullptr;
        }));
        QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
        ASSERT_NE(paste, nullptr);
        EXPECT_EQ(paste->isEnabled(), *c.clipboard != '\0');
        if (paste->isEnabled()) paste->trigger();
        menu->close();
      }
      EXPECT_EQ(field->text(), QString::fromLatin1(c.after));
      EXPECT_EQ(dialogs_.beeps, c.refusals + (c.lengthLimit ? 1 : 0));
      ASSERT_EQ(dialogs_.messages.size(), static_cast<std::size_t>(c.refusals + c.lengthLimit));
      if (c.refusals > 0) {
        EXPECT_EQ(dialogs_.messages[0].text, "INPUT ERROR\r\rEnter numeric data only.");
      }
      if (c.lengthLimit) {
        EXPECT_EQ(dialogs_.messages[0].text, "Maximum length of input is 6 characters.");
        EXPECT_EQ(field->selectedText(), field->text());
      }
    }
  }
  // A pasted number can be undone like typing.
  Field(1)->clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("42"));
  QTest::keyClick(Field(1), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Field(1)->text(), "42");
  QTest::keyClick(Field(1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Field(1)->text(), "");
  // Nothing can be dropped into a number field past the filter.
  EXPECT_FALSE(Field(1)->acceptDrops());
}

}  // namespace
}  // namespace quorvane::testing

namespace {

// The program writes numbers with a point whatever the user's locale, here
// German's (scripts/install-deps.sh generates de_DE.UTF-8).
TEST(NumericLocale, ReportNumbersKeepThePointUnderACommaLocale) {
  // Linux's names, then Windows' (where every locale is installed).
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8",          "fr_FR.UTF-8",
                         "fr_FR.utf8",  "German_Germany.1252", "French_France.1252"};
  const char* found = nullptr;
  for (const char* name : names) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      found = name;
      break;
    }
  }
  ASSERT_NE(found, nullptr) << "no locale with a decimal comma is installed "
                               "(scripts/install-deps.sh generates de_DE.UTF-8)";
  char comma[16];
  std::snprintf(comma, sizeof comma, "%.1f", 0.5);
  EXPECT_STREQ(comma, "0,5");
  quorvane::UseClassicNumberFormats();
  char point[16];
  std::snprintf(point, sizeof point, "%.1f", 0.5);
  EXPECT_STREQ(point, "0.5");
}

}  // namespace
