// The one safe writer: what it writes, what it never writes to, and that an
// existing file survives a write that fails. The full-disk cases run on a
// small file system of their own (tests/small_disk.sh mounts one and names it
// in QUORVANE_SMALL_DISK); CTest runs them there.
#include "file_io/safe_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TemplateForm/temp_dir.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

std::string Content(const std::string& path) {
  std::string content;
  EXPECT_TRUE(ReadFile(path, content)) << path;
  return content;
}

// No temporary file is left beside the target.
void ExpectOnlyFiles(const fs::path& folder, std::size_t count) {
  std::size_t found = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++found;
  EXPECT_EQ(found, count) << folder;
}

TEST(WriteFileSafely, WritesANewFileAndReplacesAnOldOneKeepingItsPermissions) {
  TempDir dir;
  const std::string path = dir / "report.txt";
  ASSERT_EQ(WriteFileSafely(path, "first\r\n"), std::nullopt);
  EXPECT_EQ(Content(path), "first\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(WriteFileSafely(path, "second"), std::nullopt);
  EXPECT_EQ(Content(path), "second");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(WriteFileSafely(path, ""), std::nullopt);  // an empty viewer saves an empty file
  EXPECT_EQ(Content(path), "");
  ExpectOnlyFiles(dir.Path(), 1);
}

TEST(WriteFileSafely, FollowsASymbolicLinkToItsTarget) {
  TempDir dir;
  const std::string target = dir.Write("target.txt", "old");
  const std::string link = dir / "link.txt";
  fs::create_symlink("target.txt", link);
  ASSERT_EQ(WriteFileSafely(link, "new"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(Content(target), "new");
  // A link to a file not there yet makes that file.
  const std::string dangling = dir / "dangling.txt";
  fs::create_symlink("made.txt", dangling);
  ASSERT_EQ(WriteFileSafely(dangling, "made"), std::nullopt);
  EXPECT_EQ(Content(dir / "made.txt"), "made");
}

// Only a regular file is ever written: a folder, a FIFO, a socket, a device
// and a read-only file (for the administrator too) are refused, left as they
// were, and no temporary file stays behind.
TEST(WriteFileSafely, RefusesWhatIsNoWritableRegularFile) {
  TempDir dir;
  const std::string folder = dir / "folder";
  fs::create_directory(folder);
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string socketPath = dir / "socket";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string readOnly = dir.Write("read-only.txt", "keep me");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  struct Case {
    std::string path;
    const char* reason;
  };
  std::vector<Case> cases = {{folder, "it is a folder"},
                             {fifo, "it is a FIFO (named pipe), not a regular file"},
                             {socketPath, "it is a socket, not a regular file"},
                             {readOnly, "the file is read-only"}};
  // A device node of our own (the system's are never pointed at): a null
  // device, which only the administrator may make.
  const std::string device = dir / "device";
  if (::geteuid() == 0) {
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    cases.push_back({device, "it is a device, not a regular file"});
  }
  for (const Case& c : cases) {
    EXPECT_EQ(OutputFileProblem(c.path), std::optional<std::string>(c.reason)) << c.path;
    EXPECT_EQ(WriteFileSafely(c.path, "data"), std::optional<std::string>(c.reason)) << c.path;
  }
  ::close(fd);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_socket(socketPath));
  EXPECT_EQ(Content(readOnly), "keep me");
  struct stat st {};
  ASSERT_EQ(::stat(readOnly.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  if (::geteuid() == 0) {
    EXPECT_TRUE(fs::is_character_file(device));
  }
  ExpectOnlyFiles(dir.Path(), cases.size());
}

TEST(WriteFileSafely, AFolderThatCannotBeWrittenIsNamed) {
  TempDir dir;
  const std::string path = (dir.Path() / "no-such-folder" / "report.txt").string();
  const std::optional<std::string> why = WriteFileSafely(path, "x");
  ASSERT_TRUE(why.has_value());
  EXPECT_NE(why->find("the folder " + (dir / "no-such-folder") + " cannot be written"),
            std::string::npos)
      << *why;
}

TEST(SafeFileWriter, ADiscardedWriterLeavesTheTargetAsItWas) {
  TempDir dir;
  const std::string path = dir.Write("report.txt", "earlier");
  {
    SafeFileWriter writer;
    ASSERT_EQ(writer.Open(path), std::nullopt);
    EXPECT_TRUE(writer.Write("half of a new"));
  }  // never committed
  EXPECT_EQ(Content(path), "earlier");
  ExpectOnlyFiles(dir.Path(), 1);
}

// --- on a full disk

std::string SmallDisk() {
  const char* disk = std::getenv("QUORVANE_SMALL_DISK");
  return disk != nullptr ? disk : "";
}

TEST(SmallDisk, AnExistingFileSurvivesAWriteThatFillsTheDisk) {
  const std::string disk = SmallDisk();
  ASSERT_FALSE(disk.empty()) << "run by CTest in tests/small_disk.sh";
  const std::string path = disk + "/report.txt";
  ASSERT_EQ(WriteFileSafely(path, "the earlier report\r\n"), std::nullopt);
  const std::string huge(4 << 20, 'x');  // more than the disk holds
  const std::optional<std::string> why = WriteFileSafely(path, huge);
  ASSERT_TRUE(why.has_value());
  EXPECT_NE(why->find("No space left on device"), std::string::npos) << *why;
  EXPECT_EQ(Content(path), "the earlier report\r\n");
  ExpectOnlyFiles(disk, 1);
  fs::remove(path);
}

}  // namespace
}  // namespace quorvane
