// A case series' results as data: each case's JSON entry, the CSV columns and
// records of a whole batch (the same for the command-line program and the
// desktop program), and the two-tailed probabilities adjusted for the number
// of cases.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/case_batch.h"
#include "TemplateForm/result_formats.h"

namespace quorvane {

// A record's fields as (name, text), in order.
using RecordFields = std::vector<std::pair<std::string, std::string>>;

// The name a JSON or CSV error entry gives an error kind ("data content", ...).
const char* ErrorKindName(ErrorKind kind);

// One case of a batch as RunBatch hands it on: its row and, when it was
// analysed, its outcome (none for a bad row).
struct SeriesCase {
  CaseRow row;
  std::optional<AnalysisOutcome> outcome;
  const AnalysisOutcome* Outcome() const { return outcome ? &*outcome : nullptr; }
  bool HasResult() const { return outcome && outcome->ok(); }
};

// The case's entry: its analysis with the "case" member; or, for a bad row,
// the error entry of kind "case row" with the row's message, and for an
// analysis that failed, that of the error's kind with its message (carriage
// returns as line feeds).
Json BatchEntryJson(const CaseRow& row, const AnalysisOutcome* outcome, const std::string& version);

// The entry's fields for CSV: its leaves, without its warnings (a varying
// number of columns would not make a table).
RecordFields CsvRecordFields(const Json& entry);

// The names of the records' fields, in the order they first appear.
std::vector<std::string> CsvColumns(const std::vector<RecordFields>& records);

// The CSV columns of a batch of K variables with the deficit tests as chosen:
// those of any result (firstResult: the fields of the first, which every
// other result shares), then "error.kind" and "error.message". With holm the
// columns of the adjusted p follow "results.twoTailedP.text".
std::vector<std::string> BatchCsvColumns(int K, const DeficitChoice& deficits,
                                         const std::string& version,
                                         const RecordFields& firstResult, bool holm = false);

// The columns of a batch without any result: those of its error entries,
// then "error.kind" and "error.message" if they are not among them.
std::vector<std::string> ErrorCsvColumns(const std::vector<RecordFields>& entries);

// Adds the two-tailed p adjusted for the number of cases (Holm's step-down
// method) to a result's entry, as results.twoTailedPHolm right after
// results.twoTailedP, in the p's format. An entry without results is left as
// it is.
void AddHolmAdjusted(Json& entry, long double adjusted);

// Each case's two-tailed p adjusted by Holm's method over the cases with a
// result (m is their number); NaN for a case without one.
std::vector<long double> SeriesHolmAdjusted(const std::vector<SeriesCase>& cases);

// The whole series as CSV records (header first; no line ends): what
// quorvane-cli --cases --format csv writes for these cases. With holm (one
// value per case, NaN for none) the adjusted p columns are added; with
// holmColumns and no values, the columns are there and empty (a series that
// was stopped before its end: adjusted over the finished cases, the values
// would claim more than the test shows).
std::vector<std::string> SeriesCsv(const std::vector<SeriesCase>& cases, int K,
                                   const DeficitChoice& deficits, const std::string& version,
                                   const std::vector<long double>* holm, bool holmColumns = true);

}  // namespace quorvane
