// The worksheet's last summary statistics: kept in a summary file
// (SavedSummaryFileName) in the user's data folder each time Compute runs
// from summary statistics, with the kind of data chosen, and given back when
// the program starts. The file is an ordinary summary file (summary_file.h):
// the kind of data is a comment line, so either program can read it.
#pragma once

#include <optional>
#include <string>

#include "TemplateForm/analysis.h"
#include "TemplateForm/summary_file.h"

namespace quorvane {

// The worksheet's choice of the kind of data (DataKind_Radio).
enum class DataKind { RawDataFile = 0, SummaryStatistics = 1 };

inline constexpr const char* SavedSummaryFileName = "Quorvane-summary.txt";

// Its path in SavedInputsUserFolder(); empty when there is no such folder.
std::string SavedSummaryFile();

// Writes the file anew (the folder created as needed). Never throws; a
// failure is ignored, as for the saved inputs.
void SaveLastSummary(const SummaryStatistics& statistics, DataKind kind);

// Records the kind of data of the last Compute in the file, when there is
// one (the statistics kept). Never throws.
void SaveLastDataKind(DataKind kind);

struct LastSummary {
  SummaryStatistics statistics;
  DataKind kind = DataKind::RawDataFile;
};
// The file's statistics and kind; std::nullopt when there is no file or it
// cannot be read (a damaged file restores nothing).
std::optional<LastSummary> LoadLastSummary();

// Deletes the file (Clear Data); a failure is ignored.
void DeleteLastSummary();

// The statistics as the shortest decimal texts that read back to the same
// 80-bit values ("0.55" rather than 21 digits), to fill the worksheet's grids.
SummaryTexts ShortestSummaryTexts(const SummaryStatistics& statistics);

}  // namespace quorvane
