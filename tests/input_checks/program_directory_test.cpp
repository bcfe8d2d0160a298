#include "input_checks/program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvane {
namespace {

TEST(GetProgramDirectory, IsTheFolderHoldingThisTestProgram) {
  // The test program has no ".exe" in its name; the folder is still found.
  const std::string dir = GetProgramDirectory();
  ASSERT_FALSE(dir.empty());
  const std::filesystem::path p(dir);
  EXPECT_TRUE(p.is_absolute());
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::is_regular_file(p / "quorvane-tests"));
}

}  // namespace
}  // namespace quorvane
