#include "TemplateForm/worksheet/saved_inputs.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "TemplateForm/temp_dir.h"
#include "TemplateForm/worksheet/scripted_host.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScriptedHost;
using testing::TempDir;

constexpr const char* kTwelveTwo = "12 2       ";  // "12", blank, "2", seven blanks

Worksheet SheetWith(const std::string& n, const std::string& k) {
  Worksheet sheet;
  FormCreate(sheet);
  sheet.Field(1).text = n;
  sheet.Field(2).text = k;
  return sheet;
}

class SavedInputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Use(program_.Path().string(), (fallback_.Path() / "a" / "Quorvane").string());
    Worksheet scratch;
    FormCreate(scratch);  // this program's WorksheetConfig
  }
  void TearDown() override { ResetSavedInputsFolders(); }

  void Use(const std::string& program, const std::string& fallback) {
    programFolder_ = program;
    fallbackFolder_ = fallback;
    SetSavedInputsFolders(program, fallback);
  }
  std::string InProgram() const { return (fs::path(programFolder_) / "Quorvane.txt").string(); }
  std::string InFallback() const { return (fs::path(fallbackFolder_) / "Quorvane.txt").string(); }
  // A folder in which nothing can be created, even by root: its parent is a file.
  std::string Unwritable() const {
    program_.Write("plain-file", "x");
    return program_ / "plain-file/sub";
  }

  TempDir program_;
  TempDir fallback_;
  std::string programFolder_, fallbackFolder_;
};

TEST_F(SavedInputsTest, WritesFieldTextsEachFollowedByABlank) {
  SaveCurrentData(SheetWith("12", "2"));
  std::string content;
  ASSERT_TRUE(ReadFile(InProgram(), content));
  EXPECT_EQ(content, kTwelveTwo);
  EXPECT_EQ(content.size(), 11u);
  EXPECT_EQ(SavedInputsFile(), InProgram());
  EXPECT_FALSE(fs::exists(InFallback()));
}

TEST_F(SavedInputsTest, RewritesTheFileWhole) {
  program_.Write("Quorvane.txt", "a much longer earlier content of the file");
  Worksheet sheet = SheetWith("150", "5");
  sheet.Field(7).text = "3.5";  // every field is written, visible or not
  SaveCurrentData(sheet);
  std::string content;
  ASSERT_TRUE(ReadFile(InProgram(), content));
  EXPECT_EQ(content, "150 5     3.5  ");
}

// The deficit option: a second line only when it is not the default, read
// back at start; files without it (all the earlier ones) and lines that are
// not the option's give the default, and the fields read as before.
TEST_F(SavedInputsTest, TheDeficitOptionIsASecondLineOnlyWhenItIsNotTheDefault) {
  using P = PoorerScores;
  const struct {
    DeficitChoice choice;
    const char* content;
  } written[] = {
      {{false, {P::Lower, P::Lower}}, kTwelveTwo},
      {{true, {P::Lower, P::Lower}}, "12 2       \ndeficits on lower lower\n"},
      {{true, {P::Lower, P::Higher}}, "12 2       \ndeficits on lower higher\n"},
      {{false, {P::Higher, P::Lower}}, "12 2       \ndeficits off higher lower\n"},
  };
  for (const auto& w : written) {
    SCOPED_TRACE(w.content);
    Worksheet sheet = SheetWith("12", "2");
    sheet.deficits = w.choice;
    SaveCurrentData(sheet);
    std::string content;
    ASSERT_TRUE(ReadFile(InProgram(), content));
    EXPECT_EQ(content, w.content);
    Worksheet back;
    back.deficits = {true, {P::Higher, P::Higher}};  // whatever was there before
    FormCreate(back);
    EXPECT_EQ(back.deficits, w.choice);
  }
  const struct {
    const char* content;
    DeficitChoice restored;
  } read[] = {
      {"12 2       ", {}},  // as every earlier version wrote it
      {"", {}},
      {"12 2       \ndeficits on higher higher", {true, {P::Higher, P::Higher}}},
      {"12 2       \r\ndeficits  on\thigher lower\r\n", {true, {P::Higher, P::Lower}}},
      {"12 2       \ndeficits on", {}},
      {"12 2       \ndeficits yes lower lower\n", {}},
      {"12 2       \ndeficits on lower poorer\n", {}},
      {"12 2       \ndeficits on lower lower extra\n", {}},
  };
  for (const auto& r : read) {
    SCOPED_TRACE(r.content);
    program_.Write("Quorvane.txt", r.content);
    Worksheet sheet;
    FormCreate(sheet);
    EXPECT_TRUE(WorksheetConfig.savedInputsFound);
    EXPECT_EQ(sheet.deficits, r.restored);
    EXPECT_TRUE(sheet.Field(1).visible);
    EXPECT_TRUE(sheet.Field(2).visible);
    EXPECT_FALSE(sheet.Field(3).visible);
  }
  // Where the fields are read back, the option's line is no field.
  WorksheetConfig.restoreCount = 3;
  program_.Write("Quorvane.txt", "12 2 7      \ndeficits on lower higher\n");
  Worksheet sheet;
  sheet.deficits = {};
  LoadPreviousData(sheet);
  EXPECT_EQ(sheet.Field(1).text, "12");
  EXPECT_EQ(sheet.Field(3).text, "7");
  EXPECT_EQ(sheet.Field(4).text, "");
  EXPECT_TRUE(sheet.deficits.asked);
  WorksheetConfig.restoreCount = 0;
}

TEST_F(SavedInputsTest, UnwritableProgramFolderFallsBackToUserDataFolder) {
  Use(Unwritable(), fallbackFolder_);
  SaveCurrentData(SheetWith("12", "2"));
  std::string content;
  ASSERT_TRUE(ReadFile(InFallback(), content));  // folder created as needed
  EXPECT_EQ(content, kTwelveTwo);
  EXPECT_EQ(SavedInputsFile(), InFallback());
}

TEST_F(SavedInputsTest, UndeletableOldFileFallsBackToUserDataFolder) {
  // A folder in place of the old file cannot be replaced by a file.
  fs::create_directory(InProgram());
  program_.Write("Quorvane.txt/inside", "x");
  SaveCurrentData(SheetWith("12", "2"));
  std::string content;
  ASSERT_TRUE(ReadFile(InFallback(), content));
  EXPECT_EQ(content, kTwelveTwo);
  EXPECT_EQ(SavedInputsFile(), InFallback());
}

// Runs save as a user whom the folders' permissions bind: this process's user,
// or, where that is root (whom they do not bind), the user "nobody" in a child
// process, to whom the fallback folder's parent is given. Returns whether save
// ran to its end.
bool SaveAsAnOrdinaryUser(const std::function<void()>& save, const fs::path& fallbackParent) {
  if (geteuid() != 0) {
    save();
    return true;
  }
  const passwd* nobody = getpwnam("nobody");
  const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
  const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
  if (chown(fallbackParent.c_str(), uid, gid) != 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
    save();
    _exit(0);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(SavedInputsTest, ReadOnlyProgramFolderFallsBack) {
  // Read and search for everyone, written by no one.
  fs::permissions(program_.Path(), fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(fallback_.Path(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  EXPECT_TRUE(
      SaveAsAnOrdinaryUser([] { SaveCurrentData(SheetWith("12", "2")); }, fallback_.Path()));
  fs::permissions(program_.Path(), fs::perms::owner_all);
  EXPECT_FALSE(fs::exists(InProgram()));
  std::string content;
  ASSERT_TRUE(ReadFile(InFallback(), content));
  EXPECT_EQ(content, kTwelveTwo);
}

TEST_F(SavedInputsTest, GivesUpSilentlyWhenNoFolderCanBeWritten) {
  const std::string nowhere = Unwritable();
  Use(nowhere, nowhere + "/deeper");
  EXPECT_NO_THROW(SaveCurrentData(SheetWith("12", "2")));
  EXPECT_FALSE(fs::exists(InProgram()));
  EXPECT_FALSE(fs::exists(InFallback()));
  Use("", "");
  EXPECT_NO_THROW(SaveCurrentData(SheetWith("12", "2")));
}

TEST_F(SavedInputsTest, LoadNotesWhereTheFileIs) {
  Worksheet sheet;
  LoadPreviousData(sheet);
  EXPECT_FALSE(WorksheetConfig.savedInputsFound);

  fs::create_directories(fallbackFolder_);
  { std::ofstream(InFallback()) << kTwelveTwo; }
  LoadPreviousData(sheet);
  EXPECT_TRUE(WorksheetConfig.savedInputsFound);

  fs::remove(InFallback());
  program_.Write("Quorvane.txt", kTwelveTwo);
  LoadPreviousData(sheet);
  EXPECT_TRUE(WorksheetConfig.savedInputsFound);
  // Nothing is restored in this program; fields 1 and 2 show.
  EXPECT_EQ(sheet.Field(1).text, "");
  EXPECT_TRUE(sheet.Field(2).visible);
  EXPECT_FALSE(sheet.Field(3).visible);
}

TEST_F(SavedInputsTest, RestoreOfLeadingFieldsWhenConfigured) {
  // Not used by this program (restoreCount 0), but the template's restore
  // reads numbers back in "%1.6g" and stops at a value it cannot read.
  struct Case {
    std::string file;
    std::string f1, f2, f3;
  };
  const std::vector<Case> cases = {
      {"12 2       ", "12", "2", "0"},  // the end of the file reads as 0
      {"1234567 2.50 -3 ", "1.23457e+06", "2.5", "-3"},
      {"12 x 4 ", "12", "", ""},
  };
  for (const Case& c : cases) {
    program_.Write("Quorvane.txt", c.file);
    Worksheet sheet;
    FormCreate(sheet);
    WorksheetConfig.restoreCount = 3;
    LoadPreviousData(sheet);
    EXPECT_EQ(sheet.Field(1).text, c.f1) << c.file;
    EXPECT_EQ(sheet.Field(2).text, c.f2) << c.file;
    EXPECT_EQ(sheet.Field(3).text, c.f3) << c.file;
  }
  WorksheetConfig.restoreCount = 0;
}

TEST_F(SavedInputsTest, ClearDataEmptiesWorksheetAndDeletesFile) {
  Worksheet sheet = SheetWith("12", "2");
  sheet.priorIndex = 1;
  sheet.limitIndex = 2;
  sheet.notes = {"first line", "second"};
  sheet.Field(5).text = "7";
  CorrelationMatrixStore[0][19] = 0.25;
  SaveCurrentData(sheet);
  ASSERT_TRUE(fs::exists(InProgram()));
  fs::create_directories(fallbackFolder_);
  { std::ofstream(InFallback()) << kTwelveTwo; }

  ScriptedHost host;
  btnclearDataClick(sheet, host);
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(sheet.Field(k).text, "") << k;
  EXPECT_TRUE(sheet.notes.empty());
  EXPECT_FALSE(fs::exists(InProgram()));
  EXPECT_FALSE(fs::exists(InFallback()));
  EXPECT_EQ(CorrelationMatrixStore[0][19], 0.0);
  EXPECT_EQ(host.focus, std::vector<int>{1});
  EXPECT_EQ(sheet.priorIndex, 1);
  EXPECT_EQ(sheet.limitIndex, 2);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SavedInputsTest, ClearDataWithoutFileOnlyEmptiesWorksheet) {
  Worksheet sheet = SheetWith("12", "2");
  ScriptedHost host;
  EXPECT_NO_THROW(btnclearDataClick(sheet, host));
  EXPECT_EQ(sheet.Field(1).text, "");
  EXPECT_FALSE(fs::exists(InProgram()));
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace quorvane
