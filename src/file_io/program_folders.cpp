#include "file_io/program_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>

#include <vector>
#endif

namespace quorvane {

namespace {

std::filesystem::path ExecutablePath() {
#if defined(_WIN32)
  std::wstring buf(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return {};
  buf.resize(n);
  return std::filesystem::path(buf);
#elif defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buf(size + 1, '\0');
  if (_NSGetExecutablePath(buf.data(), &size) != 0) return {};
  std::error_code ec;
  auto p = std::filesystem::canonical(std::filesystem::path(buf.data()), ec);
  return ec ? std::filesystem::path(buf.data()) : p;
#else
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
#endif
}

}  // namespace

std::string GetProgramDirectory() {
  const std::filesystem::path exe = ExecutablePath();
  if (exe.empty() || !exe.has_parent_path()) return {};
  return exe.parent_path().string();
}

std::string UserDataDirectory() {
  namespace fs = std::filesystem;
#if defined(_WIN32)
  const char* appData = std::getenv("APPDATA");
  if (appData != nullptr && *appData != '\0') return (fs::path(appData) / "Quorvane").string();
  return {};
#else
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute()) return (fs::path(xdg) / "Quorvane").string();
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return (fs::path(home) / ".local" / "share" / "Quorvane").string();
  }
  return {};
#endif
}

}  // namespace quorvane
