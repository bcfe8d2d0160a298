// The desktop program's tests: GoogleTest with the QApplication created first.
#include <gtest/gtest.h>

#include <QApplication>
#include "gui/numeric_locale.h"

int main(int argc, char** argv) {
  // The tests run on Qt's offscreen platform with a 1280 x 900 screen (ctest
  // sets it too; this covers running the executable by hand and test
  // discovery).
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    qputenv("QT_QPA_PLATFORM", QUORVANE_GUI_TEST_PLATFORM);
  }
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
