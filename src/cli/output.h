// Where quorvane-cli's results go: standard output and, with --output, a file
// written through the program's safe writer (the existing file is replaced
// only once the whole of the new one is written). Each line ends as its
// format says on standard output and with CR LF in the file, as the results
// viewer's Save Output writes it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "file_io/safe_file.h"

namespace quorvane::cli {

class ResultsOut {
 public:
  // lineEnd: what follows each line on standard output.
  explicit ResultsOut(const char* lineEnd) : lineEnd_(lineEnd) {}

  // Starts the --output file; the reason when it cannot be.
  std::optional<std::string> OpenFile(const std::string& path);
  void Write(const std::vector<std::string>& lines);
  // Ends the file (renamed into place) and flushes standard output. The
  // reason for each that failed, as a line for standard error.
  std::vector<std::string> Finish();

 private:
  const char* lineEnd_;
  std::string path_;
  SafeFileWriter file_;
  bool fileOpen_ = false;
  int stdoutError_ = 0;  // errno of the first failed write to standard output
};

// True when path names the same file as other (both existing), or the same
// path once made absolute and normal.
bool SameFile(const std::string& path, const std::string& other);

}  // namespace quorvane::cli
