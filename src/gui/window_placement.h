// Window helpers shared by the worksheet and the results viewer.
#pragma once

#include <QIcon>

class QWidget;

namespace quorvane {

// Moves window to the centre of the available area of its screen.
void CentreOnScreen(QWidget& window);

// The program's icon (the design of the installed quorvane.svg, drawn here so
// that no image plugin is needed).
QIcon ProgramIcon();

}  // namespace quorvane
