#include "file_io/program_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

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

// Sets an environment variable for a test and restores it afterwards.
class EnvVar {
 public:
  explicit EnvVar(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    if (v != nullptr) old_ = v;
  }
  ~EnvVar() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  void Set(const char* value) { setenv(name_, value, 1); }
  void Unset() { unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserDataDirectory, FollowsXdgDataHomeElseHome) {
  EnvVar xdg("XDG_DATA_HOME");
  EnvVar home("HOME");
  home.Set("/home/someone");
  xdg.Set("/data/place");
  EXPECT_EQ(UserDataDirectory(), "/data/place/Quorvane");
  xdg.Set("relative/place");  // not absolute: ignored
  EXPECT_EQ(UserDataDirectory(), "/home/someone/.local/share/Quorvane");
  xdg.Unset();
  EXPECT_EQ(UserDataDirectory(), "/home/someone/.local/share/Quorvane");
  home.Unset();
  EXPECT_EQ(UserDataDirectory(), "");
}

}  // namespace
}  // namespace quorvane
