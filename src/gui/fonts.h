// The fonts of the desktop program.
#pragma once

#include <QFont>

namespace quorvane {

// The monospaced face of the reports: "Courier New" where the system has it
// (or a metric-compatible substitute that the font configuration offers for
// it, such as Liberation Mono), else "Liberation Mono", else the system's
// fixed-pitch font. No size set.
QFont ReportFace();

// The memos' font: the report face at 12 pixels.
QFont MemoFont();

// The printed report's font: the report face at 8 points.
QFont PrintFont();

// The windows' font: the platform's default user-interface face at 13 pixels,
// or Liberation Sans where the default face resolves to a fixed-pitch one.
QFont WindowFont(bool bold = false);

}  // namespace quorvane
