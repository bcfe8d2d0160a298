// The Help menu of both windows: "Help" (F1) shows the worksheet's
// description text in a help window of its own, and "About Quorvane" a box
// with the program's name, version, build date and the licences of the
// libraries the program is built with.
#pragma once

#include <QString>
#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

namespace quorvane {

class DialogSeam;

// The About box's text: name, version, build date, the libraries and their
// licences (only those this build links).
QString AboutText();
inline constexpr const char* kAboutTitle = "About Quorvane";

// Adds the Help menu to bar (in window): "&Help" with F1, which shows
// descriptionText() in the window's help window (made on first use, then
// raised), and "&About Quorvane", shown through dialogs. Returns the menu.
QMenu* AddHelpMenu(QWidget& window, QMenuBar& bar, DialogSeam& dialogs,
                   std::function<QString()> descriptionText);

}  // namespace quorvane
