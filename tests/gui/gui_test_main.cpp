// The desktop program's tests: GoogleTest with the QApplication created first.
#include <gtest/gtest.h>

#include <QApplication>

#include "gui/numeric_locale.h"
#include "gui_fixture.h"

namespace {

// The windows' face is chosen, not whatever the machine's font configuration
// prefers for sans-serif (the fixtures choose it again for each test).
class TestFaceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(quorvane::testing::UseFace(quorvane::testing::TestFaces().front()));
  }
};

}  // namespace

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
  ::testing::AddGlobalTestEnvironment(new TestFaceEnvironment);
  return RUN_ALL_TESTS();
}
