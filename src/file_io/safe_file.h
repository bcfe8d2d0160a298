// The one way the program writes a file: the report, the saved inputs and
// summary statistics, summary files, plots. The new content goes to a
// temporary file beside the target, is flushed to the disk, and only then
// takes the target's name, so a failed or full-disk write never destroys an
// existing file.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// Why path cannot be written, or std::nullopt when it can (as far as can be
// told before writing): a folder, a device, a FIFO or a socket is never
// written to, nor an existing file the user may not write (for the
// administrator: one without any write permission). A symbolic link is
// followed: the file it points to is the one written. The reason is a
// phrase to follow "... could not be written to the file F: ".
std::optional<std::string> OutputFileProblem(const std::string& path);

// Writes bytes as the whole new content of path: refused as OutputFileProblem
// says, otherwise through a temporary file in the target's folder, renamed
// over the target once every byte is on the disk. An existing file keeps its
// permissions. Returns std::nullopt on success, else the reason (as above),
// the target untouched and no temporary file left.
std::optional<std::string> WriteFileSafely(const std::string& path, std::string_view bytes);

// The same, written piece by piece: Open makes the temporary file (or says
// why it cannot), Write appends, Commit renames it over the target once all
// of it is on the disk. A writer destroyed before Commit removes its
// temporary file and leaves the target as it was.
class SafeFileWriter {
 public:
  SafeFileWriter() = default;
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  std::optional<std::string> Open(const std::string& path);
  // False once a write has failed (Commit then gives the reason).
  bool Write(std::string_view bytes);
  std::optional<std::string> Commit();

 private:
  void Discard();
  std::string target_, temporary_;
  int fd_ = -1;           // POSIX
  void* file_ = nullptr;  // elsewhere: a std::FILE*
  int mode_ = 0;          // the replaced file's permissions (0: a new file)
  int error_ = 0;         // the first write's failure (errno)
};

// The lines, each followed by CR LF and nothing after the last, as the
// results viewer's Save Output writes its text.
std::string WithCrLf(std::span<const std::string> lines);

}  // namespace quorvane
