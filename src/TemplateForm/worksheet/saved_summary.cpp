#include "TemplateForm/worksheet/saved_summary.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "TemplateForm/worksheet/saved_inputs.h"
#include "file_io/number_text.h"
#include "file_io/safe_file.h"
#include "text/format_text.h"

namespace quorvane {

namespace fs = std::filesystem;

namespace {

// The comment line that records the kind of data; the reader skips it.
constexpr const char* kKindPrefix = "# Worksheet data: ";
constexpr const char* kKindRaw = "raw data file";
constexpr const char* kKindSummary = "summary statistics";

std::string KindLine(DataKind kind) {
  return std::string(kKindPrefix) +
         (kind == DataKind::SummaryStatistics ? kKindSummary : kKindRaw) + "\n";
}

bool WriteAnew(const std::string& path, const std::string& content) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) return false;
  return !WriteFileSafely(path, content);
}

// The file's first line, the kind-of-data comment, and the rest.
std::optional<std::string> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return text;
}

// The fewest significant digits that read back to v, as a plain decimal
// (never with an exponent, which the grids refuse).
std::string Shortest(long double v) {
  const auto same = [v](const std::string& text) {
    const auto back = ParsePlainDecimal(text);
    return back && *back == v;
  };
  for (int digits = 1; digits <= 21; ++digits) {
    const std::string text = FormatText("%.*Lg", digits, v);
    if (text.find('e') == std::string::npos && same(text)) return text;
  }
  for (int decimals = 0; decimals <= 70; ++decimals) {
    const std::string text = FormatText("%.*Lf", decimals, v);
    if (same(text)) return text;
  }
  return FullPrecision(v);
}

}  // namespace

std::string SavedSummaryFile() {
  const std::string folder = SavedInputsUserFolder();
  if (folder.empty()) return {};
  return (fs::path(folder) / SavedSummaryFileName).string();
}

void SaveLastSummary(const SummaryStatistics& statistics, DataKind kind) {
  try {
    const std::string path = SavedSummaryFile();
    if (path.empty()) return;
    std::ostringstream text;
    text << KindLine(kind);
    WriteSummary(text, statistics);
    WriteAnew(path, text.str());
  } catch (...) {
    // Keeping the statistics is a convenience; it never stops an analysis.
  }
}

void SaveLastDataKind(DataKind kind) {
  try {
    const std::string path = SavedSummaryFile();
    if (path.empty()) return;
    std::optional<std::string> text = ReadAll(path);
    if (!text || text->rfind(kKindPrefix, 0) != 0) return;
    const std::size_t end = text->find('\n');
    const std::string line = KindLine(kind);
    if (text->compare(0, end + 1, line) == 0) return;
    WriteAnew(path, line + text->substr(end == std::string::npos ? text->size() : end + 1));
  } catch (...) {
  }
}

std::optional<LastSummary> LoadLastSummary() {
  try {
    const std::string path = SavedSummaryFile();
    if (path.empty()) return std::nullopt;
    const std::optional<std::string> text = ReadAll(path);
    if (!text) return std::nullopt;
    LastSummary last;
    if (ReadSummaryText(*text, last.statistics)) return std::nullopt;
    last.kind = text->rfind(KindLine(DataKind::SummaryStatistics), 0) == 0
                    ? DataKind::SummaryStatistics
                    : DataKind::RawDataFile;
    return last;
  } catch (...) {
    return std::nullopt;
  }
}

void DeleteLastSummary() {
  const std::string path = SavedSummaryFile();
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

SummaryTexts ShortestSummaryTexts(const SummaryStatistics& s) {
  SummaryTexts t = SummaryTexts::Empty(s.N, s.k);
  const int K = s.k + 2;
  for (int j = 1; j <= K; ++j) {
    const auto index = static_cast<std::size_t>(j - 1);
    t.means[index] = Shortest(s.means[j]);
    t.sds[index] = Shortest(s.sds[j]);
    t.caseScores[index] = Shortest(s.caseScores[j]);
  }
  for (int i = 2; i <= K; ++i) {
    for (int l = 1; l < i; ++l) {
      t.correlations[static_cast<std::size_t>(i - 2)][static_cast<std::size_t>(l - 1)] =
          Shortest(s.R(i, l));
    }
  }
  return t;
}

}  // namespace quorvane
