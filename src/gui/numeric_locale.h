// Numbers in the report, the message boxes and the saved files are always
// written with a point as the decimal separator, as the command-line program
// writes them. QApplication adopts the user's locale for the C library on
// Unix, which would make printf write "0,500" under, say, a German locale;
// this puts the number formats back to the classic ones after it.
#pragma once

#include <clocale>

namespace quorvane {

inline void UseClassicNumberFormats() {
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace quorvane
