#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/terminal.h"

namespace quorvane::cli {

namespace fs = std::filesystem;

std::optional<std::string> ResultsOut::OpenFile(const std::string& path) {
  path_ = path;
  if (auto problem = file_.Open(path)) return problem;
  fileOpen_ = true;
  return std::nullopt;
}

void ResultsOut::Write(const std::vector<std::string>& lines) {
  std::string text, withCrLf;
  for (const std::string& line : lines) {
    text += line;
    text += lineEnd_;
    if (fileOpen_) {
      withCrLf += line;
      withCrLf += "\r\n";
    }
  }
  // The file first: a standard output that cannot be written (a closed
  // pipe) must not keep the file from being written.
  if (fileOpen_) file_.Write(withCrLf);
  if (stdoutError_ == 0 && !text.empty()) {
    const BlockingWrite writing;  // an interrupt now ends the program at once
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
      stdoutError_ = errno != 0 ? errno : EIO;
    }
  }
}

std::vector<std::string> ResultsOut::Finish() {
  std::vector<std::string> problems;
  if (fileOpen_) {
    fileOpen_ = false;
    if (auto problem = file_.Commit()) {
      problems.push_back("The report could not be written to the file " + path_ + ": " + *problem);
    }
  }
  {
    const BlockingWrite writing;
    errno = 0;
    if (stdoutError_ == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
      stdoutError_ = errno != 0 ? errno : EIO;
    }
  }
  if (stdoutError_ != 0) {
    problems.push_back(std::string("The results could not be written to standard output: ") +
                       std::strerror(stdoutError_));
  }
  return problems;
}

bool SameFile(const std::string& path, const std::string& other) {
  std::error_code ec;
  if (fs::equivalent(path, other, ec) && !ec) return true;
  const fs::path a = fs::weakly_canonical(fs::absolute(path, ec), ec);
  const fs::path b = fs::weakly_canonical(fs::absolute(other, ec), ec);
  return !a.empty() && a == b;
}

}  // namespace quorvane::cli
