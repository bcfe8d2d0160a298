// Window helpers shared by the worksheet and the results viewer.
#pragma once

#include <QIcon>
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace quorvane {

// Where a window goes in the available area of its screen: its client area
// of the preferred size where the area has room for it and its frame, else as
// large as fits but never below minimum; the frame centred in the area, and
// where even the minimum does not fit, its top left corner (title bar and
// first fields) at the area's top left. Returns the client geometry.
QRect FittedClientGeometry(const QRect& area, const QMargins& frame, const QSize& preferred,
                           const QSize& minimum);

// Sizes and places a window as FittedClientGeometry says, on the screen it
// opens on, with the client size preferred. Before the window manager has
// framed the window its frame is not known; room for a usual title bar and
// border is kept then.
void FitOnScreen(QWidget& window, const QSize& preferred);

// Moves, and where needed shrinks, a shown window so that its frame lies in
// the available area of its screen (for when the frame has become known).
void KeepOnScreen(QWidget& window);

// Where a remembered window goes in the available area `area`: its client
// area of the remembered size (shrunk to what the area holds with the frame,
// never below minimum) at the remembered place, moved as little as needed to
// bring the frame into the area (where even the least size does not fit, its
// top left at the area's).
QRect RestoredClientGeometry(const QRect& area, const QMargins& frame, const QRect& remembered,
                             const QSize& minimum);

// Places a window at its remembered client geometry (from an earlier run) as
// RestoredClientGeometry says, on the screen that holds the remembered
// place's centre, else the window's own.
void PlaceRemembered(QWidget& window, const QRect& remembered);

// The program's icon (the design of the installed quorvane.svg, drawn here so
// that no image plugin is needed).
QIcon ProgramIcon();

}  // namespace quorvane
