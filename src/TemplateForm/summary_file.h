// Summary statistics as text: typed into the worksheet's grids or kept in a
// summary file, checked entry by entry, and written back with every digit.
//
// Summary file format (plain text; LF, CR LF or CR line ends; blank lines and
// everything from a '#' to the end of its line are ignored; labels in any
// letter case; numbers separated by blanks or tabs):
//
//   N            20
//   covariates   2
//   mean         20.35   26.8   101.2   13.3      (Task Y1, Task Y2, covariates)
//   SD           4.22    3.41   13.9    2.49
//   case         9       27     84      11
//   correlations
//   0.512                                          (Task Y2 with Task Y1)
//   0.61   0.30                                    (Covariate 1 with Y1, Y2)
//   0.25   0.11   0.47                             (Covariate 2 with Y1, Y2, Cov 1)
//
// The rows come in this order; mean, SD and case hold k + 2 numbers each, and
// the k + 1 rows after "correlations" hold the lower triangle of the
// correlation matrix without its diagonal (row i holds i numbers).
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "file_io/text_reader.h"

namespace quorvane {

// Which entry a problem is about. Variables are numbered 1..K (Task Y1, Task
// Y2, Covariate 1..k); a correlation is at row > column of the matrix.
struct SummaryEntry {
  enum class Field { None, Controls, Covariates, Mean, SD, Case, Correlation };
  Field field = Field::None;
  int row = 0;     // the variable (mean, SD, case) or the correlation's row
  int column = 0;  // the correlation's column
  friend bool operator==(const SummaryEntry&, const SummaryEntry&) = default;
};

struct SummaryProblem {
  SummaryEntry entry;
  int line = 0;  // the summary file's line (1-based), 0 for typed statistics
  std::string message;
  bool unreadable = false;  // the file cannot be opened or read
  bool cancelled = false;   // the stop function ended the wait for input
  // True for N or the number of covariates refused as the worksheet's fields
  // would refuse them; false for a problem with the statistics or the file.
  bool countProblem() const {
    return entry.field == SummaryEntry::Field::Controls ||
           entry.field == SummaryEntry::Field::Covariates;
  }
};

// The statistics as texts, e.g. the cells of the worksheet's grids. Vectors
// are 0-based: means[j - 1] is variable j's; correlations[i - 2][l - 1] is the
// correlation of variable i with variable l < i.
struct SummaryTexts {
  int N = 0;
  int k = 0;
  std::vector<std::string> means, sds, caseScores;     // K each
  std::vector<std::vector<std::string>> correlations;  // K - 1 rows of 1..K - 1
  // Empty texts for N controls and k covariates.
  static SummaryTexts Empty(int N, int k);
};

// "Task Y1", "Task Y2", "Covariate 1" ... for variable j of 1..K.
std::string SummaryVariableName(int j);

// Converts and checks the texts (N and k already checked): every entry a
// plain finite decimal, every SD above 0, every correlation within [-1, 1].
// The first problem in reading order (means, SDs, case scores, then the
// correlations row by row) is returned; otherwise statistics holds the
// values, the diagonal of R is 1 and R is symmetric.
std::optional<SummaryProblem> ConvertSummaryTexts(const SummaryTexts& texts,
                                                  SummaryStatistics& statistics);

// Warnings for the entries whose text gives more significant digits than its
// value keeps at its size (see KeepsItsDigits), each naming the entry; none
// when every entry keeps its digits. The texts must convert.
std::vector<std::string> ImpreciseEntryWarnings(const SummaryTexts& texts);

// The same checks on statistics held as numbers (N, k, SDs, correlations,
// finiteness, a unit diagonal and a symmetric R).
std::optional<SummaryProblem> CheckSummaryStatistics(const SummaryStatistics& statistics);

// Reads a summary file (with the program's text reader: its guards apply).
// N and k are checked as the worksheet checks its fields for the prior given
// (by default the standard-theory prior, which admits the most; an analysis
// checks them again for the prior it runs), the problem named by its line.
// stop is asked while the file (a pipe) keeps the reader waiting.
// @returns the problem, the first found, with its line; std::nullopt on success.
std::optional<SummaryProblem> ReadSummary(TextReader& in, SummaryStatistics& statistics,
                                          PriorChoice prior = PriorChoice::StandardTheory,
                                          std::vector<std::string>* warnings = nullptr);
std::optional<SummaryProblem> ReadSummaryText(const std::string& text,
                                              SummaryStatistics& statistics);
// warnings, when given, receives ImpreciseEntryWarnings for the file, each
// beginning with its line ("Summary file, line L: ").
std::optional<SummaryProblem> ReadSummaryFile(const std::string& path,
                                              SummaryStatistics& statistics,
                                              const std::function<bool()>& stop = {},
                                              PriorChoice prior = PriorChoice::StandardTheory,
                                              std::vector<std::string>* warnings = nullptr);
// How the reader reads a summary file: '#' starts a comment.
TextReadOptions SummaryReadOptions(const std::function<bool()>& stop);

// Writes the statistics in the summary file format, every number with 21
// significant digits (enough to read back the same 80-bit value), LF line
// ends.
void WriteSummary(std::ostream& out, const SummaryStatistics& statistics);
// Writes the file through the safe writer; the reason when it cannot be written.
std::optional<std::string> WriteSummaryFile(const std::string& path,
                                            const SummaryStatistics& statistics);

// The texts of the statistics (WriteSummary's numbers), e.g. to fill grids.
SummaryTexts SummaryToTexts(const SummaryStatistics& statistics);

// Added to the not-positive-definite message when the statistics were
// entered rather than computed from raw data.
inline constexpr const char* kSummaryNotPositiveDefiniteAdvice =
    "\r\rThe correlations were entered as summary statistics: check every value typed (or in the "
    "summary file) against its source. Correlations rounded to two decimals can together be "
    "impossible; the matrix is never adjusted.";

}  // namespace quorvane
