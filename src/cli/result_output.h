// What quorvane-cli writes for its results, in the format asked for: the text
// report, JSON or CSV (see result_formats.h for the fields).
#pragma once

#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/case_batch.h"
#include "TemplateForm/series_output.h"

namespace quorvane::cli {

enum class OutputFormat { Text, Json, Csv };

// "text", "json" or "csv".
OutputFormat ParseOutputFormat(const std::string& name);

// The lines for one analysis, without line ends: the report; the JSON object;
// or the CSV header and its one record.
std::vector<std::string> SingleOutput(OutputFormat format, const Analysis& analysis,
                                      const std::string& version);

// The lines for a batch, case by case in input order: the reports one after
// the other as the results viewer holds several runs, as they come (a case's
// error goes to the error lines, "Case at line L (ID): message"; the table of
// each case's two-tailed p adjusted for the number of cases, Holm's step-down
// method, is HolmTable's, for standard error); a JSON array with one object per case, results
// and error entries alike, each result with results.twoTailedPHolm; or a CSV
// header and one record per case, with "case.line", "case.id",
// "error.kind" and "error.message" columns and the adjusted p's two columns
// after "results.twoTailedP.text", as the desktop program's series saves it.
// The adjustment needs every case's p: JSON and CSV are written by Finish,
// the cases held until then. The lines of all the Add calls and of Finish,
// one after the other, are the batch's output.
class BatchOutput {
 public:
  // K: the batch's number of variables; deficits: the deficit tests asked for.
  BatchOutput(OutputFormat format, std::string version, int K, DeficitChoice deficits = {});
  // The lines of this case that are ready (a report; JSON and CSV wait for
  // Finish); a case without a result adds its message to errorLines.
  std::vector<std::string> Add(const CaseRow& row, const AnalysisOutcome* outcome,
                               std::vector<std::string>& errorLines);
  // The remaining lines. complete: every case of the batch was added; else
  // (a stopped batch) no adjusted p is given: over the finished cases alone
  // it would claim more than the test shows (the CSV keeps its columns,
  // empty).
  std::vector<std::string> Finish(bool complete = true);
  // Text: the table of the adjusted p, one line per case with a result (its
  // line, ID, p and adjusted p), or with complete false the line that none is
  // given. Empty for JSON and CSV, and without results.
  std::vector<std::string> HolmTable(bool complete = true) const;

 private:
  OutputFormat format_;
  std::string version_;
  int K_;
  DeficitChoice deficits_;
  int reports_ = 0;                  // text: lines of the reports written
  std::vector<SeriesCase> cases_;    // JSON and CSV: every case
  std::vector<CaseOrigin> origins_;  // text: each case with a result
  std::vector<long double> p_;       // text: its two-tailed p
};

// The line end a format's lines take on standard output: CR LF for CSV
// (RFC 4180), a line feed otherwise.
const char* LineEnd(OutputFormat format);

}  // namespace quorvane::cli
