#include "file_io/safe_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvane {

namespace fs = std::filesystem;

namespace {

// The file a path names once symbolic links are followed (a link to a file
// that does not exist yet names that file). Links are followed at most 40
// deep, as the system does.
fs::path FinalTarget(const fs::path& path) {
  fs::path target = path;
  std::error_code ec;
  for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++depth) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

// A name beside target that no other writer uses.
fs::path TemporaryBeside(const fs::path& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return folder / ("." + target.filename().string() + "." + std::to_string(stamp) + "-" +
                   std::to_string(counter++) + "-" + std::to_string(attempt) + ".tmp");
}

std::string FolderOf(const fs::path& target) {
  return target.has_parent_path() ? target.parent_path().string() : std::string(".");
}

std::string SystemReason(int error) {
  return std::strerror(error);
}

#if !defined(_WIN32)

// The whole of bytes to the file descriptor; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::string> ProblemOf(const fs::path& target, struct stat* existing) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::nullopt;  // a new file
    return SystemReason(errno);
  }
  if (S_ISDIR(st.st_mode)) return std::string("it is a folder");
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
    return std::string("it is a device, not a regular file");
  }
  if (S_ISFIFO(st.st_mode)) return std::string("it is a FIFO (named pipe), not a regular file");
  if (S_ISSOCK(st.st_mode)) return std::string("it is a socket, not a regular file");
  if (!S_ISREG(st.st_mode)) return std::string("it is not a regular file");
  // The administrator may write anything: a file that nobody may write is
  // still one its owner meant to keep.
  const bool noWriteBit = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  if (::access(target.c_str(), W_OK) != 0 || noWriteBit) {
    return std::string("the file is read-only");
  }
  if (existing != nullptr) *existing = st;
  return std::nullopt;
}

#endif

}  // namespace

std::optional<std::string> OutputFileProblem(const std::string& path) {
  if (path.empty()) return std::string("no file name was given");
#if defined(_WIN32)
  std::error_code ec;
  const fs::path target = FinalTarget(fs::path(path));
  const fs::file_status status = fs::status(target, ec);
  if (!fs::exists(status)) return std::nullopt;
  if (fs::is_directory(status)) return std::string("it is a folder");
  if (!fs::is_regular_file(status)) return std::string("it is not a regular file");
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return std::string("the file is read-only");
  }
  return std::nullopt;
#else
  return ProblemOf(FinalTarget(fs::path(path)), nullptr);
#endif
}

std::optional<std::string> WriteFileSafely(const std::string& path, std::string_view bytes) {
  SafeFileWriter writer;
  if (auto problem = writer.Open(path)) return problem;
  writer.Write(bytes);
  return writer.Commit();
}

SafeFileWriter::~SafeFileWriter() {
  Discard();
}

void SafeFileWriter::Discard() {
#if defined(_WIN32)
  if (file_ != nullptr) std::fclose(static_cast<std::FILE*>(file_));
  file_ = nullptr;
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
#else
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
#endif
  temporary_.clear();
}

std::optional<std::string> SafeFileWriter::Open(const std::string& path) {
  Discard();
  error_ = 0;
  if (path.empty()) return std::string("no file name was given");
  const fs::path target = FinalTarget(fs::path(path));
  target_ = target.string();
#if defined(_WIN32)
  if (auto problem = OutputFileProblem(target_)) return problem;
  const fs::path temporary = TemporaryBeside(target, 0);
  file_ = std::fopen(temporary.string().c_str(), "wb");
  if (file_ == nullptr) return "the folder " + FolderOf(target) + " cannot be written";
  temporary_ = temporary.string();
  return std::nullopt;
#else
  struct stat existing {};
  existing.st_mode = 0;
  if (auto problem = ProblemOf(target, &existing)) return problem;
  mode_ = static_cast<int>(existing.st_mode & 07777);
  // A new file gets the usual permissions (0666 less the umask, applied by
  // open); a replaced one keeps its own.
  for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    const fs::path temporary = TemporaryBeside(target, attempt);
    fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = temporary.string();
    } else if (errno != EEXIST) {
      return "the folder " + FolderOf(target) + " cannot be written: " + SystemReason(errno);
    }
  }
  if (fd_ < 0) return "no temporary file could be made in the folder " + FolderOf(target);
  if (mode_ != 0 && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) error_ = errno;
  return std::nullopt;
#endif
}

bool SafeFileWriter::Write(std::string_view bytes) {
  if (error_ != 0 || temporary_.empty()) return false;
#if defined(_WIN32)
  if (std::fwrite(bytes.data(), 1, bytes.size(), static_cast<std::FILE*>(file_)) != bytes.size()) {
    error_ = ENOSPC;
  }
#else
  if (!WriteAll(fd_, bytes)) error_ = errno;
#endif
  return error_ == 0;
}

std::optional<std::string> SafeFileWriter::Commit() {
  if (temporary_.empty()) return std::string("the file was not opened");
  const auto fail = [this](const std::string& reason) -> std::optional<std::string> {
    Discard();
    return reason;
  };
  if (error_ != 0) return fail("writing it failed: " + SystemReason(error_));
#if defined(_WIN32)
  auto* file = static_cast<std::FILE*>(file_);
  file_ = nullptr;
  if (std::fflush(file) != 0 || std::fclose(file) != 0) {
    return fail(std::string("writing it failed (is the disk full?)"));
  }
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) return fail(ec.message());
#else
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    return fail("writing it failed: " + SystemReason(errno));
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return fail("writing it failed: " + SystemReason(errno));
  // The target may have changed since it was looked at (a device made in
  // its place): it is looked at again just before the rename.
  if (auto problem = ProblemOf(fs::path(target_), nullptr)) return fail(*problem);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(SystemReason(errno));
#endif
  temporary_.clear();
  return std::nullopt;
}

std::string WithCrLf(std::span<const std::string> lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace quorvane
