// The Help menu of both windows: F1 and Help > Help show the worksheet's
// description in a help window; Help > About shows the program's name,
// version, build date and the libraries' licences through the dialog seam.
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

#include "gui/help_menu.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

class HelpMenuTest : public GuiTest {
 protected:
  QWidget* Window(const std::string& which) {
    return which == "worksheet" ? static_cast<QWidget*>(worksheet_.get()) : viewer_.get();
  }
  void ShowOnly(QWidget* window) {
    (window == worksheet_.get() ? static_cast<QWidget*>(viewer_.get()) : worksheet_.get())->hide();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // The menu bar's top-level menu titled text, or nullptr.
  static QMenu* MenuTitled(QWidget* window, const QString& text) {
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
      for (QAction* action : bar->actions()) {
        if (action->menu() != nullptr && ShownCaption(action->text()) == text) {
          return action->menu();
        }
      }
    }
    return nullptr;
  }
};

TEST_F(HelpMenuTest, F1AndTheMenuShowTheDescriptionInBothWindows) {
  const QString description = Find<QPlainTextEdit>(worksheet_.get(), "DescripFld")->toPlainText();
  ASSERT_GT(description.size(), 100);
  for (const std::string which : {"worksheet", "viewer"}) {
    for (const bool byKey : {true, false}) {
      SCOPED_TRACE(which + (byKey ? " F1" : " menu"));
      QWidget* window = Window(which);
      ShowOnly(window);
      QMenu* help = MenuTitled(window, "Help");
      ASSERT_NE(help, nullptr);
      if (byKey) {
        QTest::keyClick(
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window,
            Qt::Key_F1);
      } else {
        help->actions().at(0)->trigger();
      }
      auto* shown = window->findChild<QWidget*>("helpWindow");
      ASSERT_NE(shown, nullptr);
      EXPECT_TRUE(shown->isVisible());
      EXPECT_TRUE(shown->isWindow());
      EXPECT_EQ(Find<QPlainTextEdit>(shown, "helpText")->toPlainText(), description);
      // One help window per window, shown again rather than made anew.
      EXPECT_EQ(window->findChildren<QWidget*>("helpWindow").size(), 1);
      shown->hide();
    }
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(HelpMenuTest, AboutNamesVersionBuildDateAndLicences) {
  for (const std::string which : {"worksheet", "viewer"}) {
    SCOPED_TRACE(which);
    QWidget* window = Window(which);
    ShowOnly(window);
    dialogs_.abouts.clear();
    QMenu* help = MenuTitled(window, "Help");
    ASSERT_NE(help, nullptr);
    QAction* about = nullptr;
    for (QAction* action : help->actions()) {
      if (ShownCaption(action->text()) == "About Quorvane") about = action;
    }
    ASSERT_NE(about, nullptr);
    about->trigger();
    ASSERT_EQ(dialogs_.abouts.size(), 1u);
    const QString text = dialogs_.abouts[0];
    EXPECT_EQ(text, AboutText());
    EXPECT_TRUE(text.startsWith("Quorvane 1.")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Built on 20[0-9][0-9]-[01][0-9]-[0-3][0-9]\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        QStringLiteral("Qt %1: GNU Lesser General Public License version 3").arg(qVersion())))
        << text.toStdString();
    for (const char* licence :
         {"Boost.Math: Boost Software License 1.0", "nlohmann-json: MIT License"}) {
      EXPECT_TRUE(text.contains(licence)) << licence;
    }
    // The command-line parser is the command-line program's alone.
    EXPECT_FALSE(text.contains("CLI11"));
  }
}

TEST_F(HelpMenuTest, TheWorksheetsMenuBarSitsAboveTheDescription) {
  QMenuBar* bar = worksheet_->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  QWidget* description = Find<QWidget>(worksheet_.get(), "DescripFld");
  EXPECT_GE(description->mapTo(worksheet_.get(), QPoint(0, 0)).y(), bar->geometry().bottom());
  // The description keeps the height it had without the menu bar.
  EXPECT_GE(worksheet_->height() - bar->height(), 573 - 1);
}

}  // namespace
}  // namespace quorvane::testing
