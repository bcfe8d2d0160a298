// The desktop program's tests: GoogleTest with the QApplication created first.
#include <gtest/gtest.h>

#include <QApplication>
#include "gui/numeric_locale.h"

int main(int argc, char** argv) {
  // Without a display the tests run on Qt's offscreen platform (ctest sets it
  // too; this covers running the executable by hand and test discovery).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quorvane::UseClassicNumberFormats();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
