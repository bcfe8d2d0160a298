#include "gui/help_menu.h"

#include <QAction>
#include <QDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QtGlobal>
#include <utility>

#include "gui/dialogs.h"
#include "gui/fonts.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif
#ifndef QUORVANE_BUILD_DATE
#define QUORVANE_BUILD_DATE "unknown"
#endif

namespace quorvane {

namespace {

constexpr const char* kHelpWindowName = "helpWindow";

void ShowHelpWindow(QWidget& window, const QString& text) {
  auto* help =
      window.findChild<QDialog*>(QString::fromLatin1(kHelpWindowName), Qt::FindDirectChildrenOnly);
  if (help == nullptr) {
    help = new QDialog(&window, Qt::Window);
    help->setObjectName(QString::fromLatin1(kHelpWindowName));
    help->setWindowTitle(QStringLiteral("Quorvane Help"));
    auto* view = new QPlainTextEdit(help);
    view->setObjectName(QStringLiteral("helpText"));
    view->setReadOnly(true);
    view->setFont(WindowFont());
    auto* layout = new QVBoxLayout(help);
    layout->addWidget(view);
    help->resize(620, 480);
  }
  auto* view = help->findChild<QPlainTextEdit*>(QStringLiteral("helpText"));
  if (view->toPlainText() != text) view->setPlainText(text);
  help->show();
  help->raise();
  help->activateWindow();
}

}  // namespace

QString AboutText() {
  QString text = QStringLiteral(
                     "Quorvane %1\n"
                     "Built on %2\n\n"
                     "A Bayesian test for a standardized difference in a single case, "
                     "controlling for covariates, with a deficit test on each task.\n\n"
                     "Built with these libraries, under their licences:\n")
                     .arg(QStringLiteral(QUORVANE_VERSION), QStringLiteral(QUORVANE_BUILD_DATE));
  text += QStringLiteral("Qt %1: GNU Lesser General Public License version 3\n")
              .arg(QString::fromLatin1(qVersion()));
  text += QStringLiteral("Boost.Math: Boost Software License 1.0\n");
  text += QStringLiteral("nlohmann-json: MIT License\n");
  text += QStringLiteral("libpng: libpng License");
  return text;
}

QMenu* AddHelpMenu(QWidget& window, QMenuBar& bar, DialogSeam& dialogs,
                   std::function<QString()> descriptionText) {
  QMenu* menu = bar.addMenu(QStringLiteral("&Help"));
  menu->setObjectName(QStringLiteral("mnuHelp"));
  QAction* help = menu->addAction(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelpContents"));
  help->setShortcut(QKeySequence(Qt::Key_F1));
  help->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(
      help, &QAction::triggered, &window,
      [&window, text = std::move(descriptionText)] { ShowHelpWindow(window, text()); });
  // The shortcut works with the menu bar hidden or collapsed too.
  window.addAction(help);
  QAction* about = menu->addAction(QStringLiteral("&About Quorvane"));
  about->setObjectName(QStringLiteral("mnuAbout"));
  QObject::connect(about, &QAction::triggered, &window, [&window, &dialogs] {
    dialogs.ShowAbout(&window, QString::fromLatin1(kAboutTitle), AboutText());
  });
  return menu;
}

}  // namespace quorvane
