#include "TemplateForm/saved_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "TemplateForm/number_text.h"
#include "input_checks/program_directory.h"
#include "text/format_text.h"

namespace quorvane {

namespace fs = std::filesystem;

namespace {

struct Folders {
  std::string program;
  std::string fallback;
};

std::optional<Folders> g_override;
// Where this process last wrote the file (empty: not yet).
std::string g_lastWritten;

Folders CurrentFolders() {
  if (g_override) return *g_override;
  return {GetProgramDirectory(), UserDataDirectory()};
}

std::string PathIn(const std::string& folder) {
  if (folder.empty()) return {};
  return (fs::path(folder) / SavedInputsFileName).string();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

// Deletes any old file at path and writes content anew; false on any failure.
bool WriteAnew(const std::string& path, const std::string& content) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::remove(path, ec);
  if (ec) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  return !out.fail();
}

}  // namespace

std::string UserDataDirectory() {
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

void SetSavedInputsFolders(const std::string& programFolder, const std::string& fallbackFolder) {
  g_override = Folders{programFolder, fallbackFolder};
  g_lastWritten.clear();
}

void ResetSavedInputsFolders() {
  g_override.reset();
  g_lastWritten.clear();
}

std::string SavedInputsUserFolder() {
  return CurrentFolders().fallback;
}

std::string SavedInputsFile() {
  if (Exists(g_lastWritten)) return g_lastWritten;
  const Folders folders = CurrentFolders();
  const std::string inProgram = PathIn(folders.program);
  const std::string inFallback = PathIn(folders.fallback);
  if (Exists(inProgram)) return inProgram;
  if (Exists(inFallback)) return inFallback;
  return inProgram.empty() ? inFallback : inProgram;
}

void SaveCurrentData(const Worksheet& sheet) {
  try {
    std::string content;
    for (int k = 1; k <= 8; ++k) content += sheet.Field(k).text + " ";
    const Folders folders = CurrentFolders();
    const std::string inProgram = PathIn(folders.program);
    if (WriteAnew(inProgram, content)) {
      g_lastWritten = inProgram;
      return;
    }
    if (folders.fallback.empty()) return;
    std::error_code ec;
    fs::create_directories(folders.fallback, ec);
    if (ec) return;
    const std::string inFallback = PathIn(folders.fallback);
    if (WriteAnew(inFallback, content)) g_lastWritten = inFallback;
  } catch (...) {
    // Keeping the inputs is a convenience; it never stops an analysis.
  }
}

void LoadPreviousData(Worksheet& sheet) {
  try {
    const Folders folders = CurrentFolders();
    std::string path = PathIn(folders.program);
    if (!Exists(path)) path = PathIn(folders.fallback);
    WorksheetConfig.savedInputsFound = Exists(path);
    if (WorksheetConfig.savedInputsFound) {
      std::ifstream in(path, std::ios::binary);
      for (int k = 1; k <= WorksheetConfig.restoreCount && k <= 8; ++k) {
        const std::optional<long double> value = ReadSavedNumber(in);
        if (!value) break;
        sheet.Field(k).text = FormatText("%1.6g", static_cast<double>(*value));
      }
    }
  } catch (...) {
    // A damaged file restores nothing more.
  }
  for (int k = 1; k <= 8; ++k) sheet.Field(k).visible = k <= WorksheetConfig.visibleFieldCount;
}

void btnclearDataClick(Worksheet& sheet, ComputeHost& host) {
  for (int k = 1; k <= 8; ++k) sheet.Field(k).text.clear();
  sheet.notes.clear();
  const Folders folders = CurrentFolders();
  for (const std::string& path :
       {PathIn(folders.program), PathIn(folders.fallback), g_lastWritten}) {
    std::error_code ec;
    if (!path.empty()) fs::remove(path, ec);
  }
  g_lastWritten.clear();
  for (auto& row : CorrelationMatrixStore) row.fill(0.0);
  host.FocusField(1);
}

}  // namespace quorvane
