#include "TemplateForm/worksheet/saved_inputs.h"

#include <filesystem>
#include <system_error>

#include "file_io/number_text.h"
#include "file_io/program_folders.h"
#include "file_io/safe_file.h"
#include "file_io/text_reader.h"
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

// Writes content as the file at path; false on any failure.
bool WriteAnew(const std::string& path, const std::string& content) {
  return !path.empty() && !WriteFileSafely(path, content);
}

constexpr const char* kDeficitsKeyword = "deficits";
constexpr const char* kNamesKeyword = "names";

// A name as one item: "%" for an empty one, a blank as %20 and % as %25.
std::string NameItem(const std::string& name) {
  if (name.empty()) return "%";
  std::string item;
  for (const char c : name) {
    if (c == ' ') {
      item += "%20";
    } else if (c == '%') {
      item += "%25";
    } else {
      item += c;
    }
  }
  return item;
}

std::string NameFromItem(const std::string& item) {
  if (item == "%") return {};
  std::string name;
  for (std::size_t i = 0; i < item.size(); ++i) {
    if (item.compare(i, 3, "%20") == 0) {
      name += ' ';
      i += 2;
    } else if (item.compare(i, 3, "%25") == 0) {
      name += '%';
      i += 2;
    } else {
      name += item[i];
    }
  }
  return name;
}

// The deficit option's line (without its line end).
std::string DeficitsLine(const DeficitChoice& d) {
  return std::string(kDeficitsKeyword) + (d.asked ? " on " : " off ") + PoorerKeyword(d.poorer[0]) +
         " " + PoorerKeyword(d.poorer[1]);
}

std::optional<PoorerScores> ParsePoorer(const std::string& word) {
  if (word == PoorerKeyword(PoorerScores::Lower)) return PoorerScores::Lower;
  if (word == PoorerKeyword(PoorerScores::Higher)) return PoorerScores::Higher;
  return std::nullopt;
}

// The option from its line's items; std::nullopt when they are not one.
std::optional<DeficitChoice> ParseDeficitsLine(const std::vector<std::string>& items) {
  if (items.size() != 4 || items[0] != kDeficitsKeyword) return std::nullopt;
  if (items[1] != "on" && items[1] != "off") return std::nullopt;
  const auto y1 = ParsePoorer(items[2]), y2 = ParsePoorer(items[3]);
  if (!y1 || !y2) return std::nullopt;
  DeficitChoice d;
  d.asked = items[1] == "on";
  d.poorer = {*y1, *y2};
  return d;
}

}  // namespace

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
    // The option's line only when it is not the default: a file of the
    // default inputs stays as it always was.
    if (sheet.deficits != DeficitChoice{}) content += "\n" + DeficitsLine(sheet.deficits) + "\n";
    if (sheet.names.Any()) {
      if (content.back() != '\n') content += '\n';
      content += kNamesKeyword;
      for (const std::string& name : sheet.names.names) content += " " + NameItem(name);
      content += '\n';
    }
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
    sheet.deficits = DeficitChoice{};
    sheet.names = VariableNames{};
    if (WorksheetConfig.savedInputsFound) {
      // The field texts, one item each, then perhaps the deficit option's line.
      TextReader in(path, TextReadOptions{"saved inputs file", 0, {}});
      std::vector<std::string> items;
      TextLine line;
      while (in.NextLine(line)) {
        if (!line.items.empty() && line.items[0] == kDeficitsKeyword) {
          if (const auto deficits = ParseDeficitsLine(line.items)) sheet.deficits = *deficits;
          continue;
        }
        if (!line.items.empty() && line.items[0] == kNamesKeyword) {
          VariableNames names;
          for (std::size_t i = 1; i < line.items.size() && i <= 7; ++i) {
            names.names.push_back(NameFromItem(line.items[i]));
          }
          if (!NamesProblem(names, 7)) sheet.names = std::move(names);
          continue;
        }
        items.insert(items.end(), line.items.begin(), line.items.end());
      }
      for (int k = 1; k <= WorksheetConfig.restoreCount && k <= 8; ++k) {
        const std::size_t index = static_cast<std::size_t>(k - 1);
        // A field the file does not hold reads as 0, as an empty one did.
        const std::optional<long double> value =
            index < items.size() ? ParsePlainDecimal(items[index]) : std::optional(0.0L);
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
  sheet.names = VariableNames{};
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
