#include "cli/report_file.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace quorvane::cli {

namespace fs = std::filesystem;

namespace {

// A name beside target that no other writer uses.
fs::path TemporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return folder / ("." + target.filename().string() + "." + std::to_string(stamp) + "-" +
                   std::to_string(counter++) + ".tmp");
}

}  // namespace

bool SaveReportFile(const std::string& path, const std::vector<std::string>& lines,
                    std::string& error) {
  const fs::path target(path);
  const fs::path temporary = TemporaryBeside(target);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "the folder cannot be written";
      return false;
    }
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    out.close();
    if (out.fail()) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      error = "writing it failed (is the disk full?)";
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    error = ec.message();
    return false;
  }
  return true;
}

bool SameFile(const std::string& path, const std::string& other) {
  std::error_code ec;
  if (fs::equivalent(path, other, ec) && !ec) return true;
  const fs::path a = fs::weakly_canonical(fs::absolute(path, ec), ec);
  const fs::path b = fs::weakly_canonical(fs::absolute(other, ec), ec);
  return !a.empty() && a == b;
}

}  // namespace quorvane::cli
