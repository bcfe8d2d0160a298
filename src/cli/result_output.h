// What quorvane-cli writes for its results, in the format asked for: the text
// report, JSON or CSV (see result_formats.h for the fields).
#pragma once

#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/case_batch.h"

namespace quorvane::cli {

enum class OutputFormat { Text, Json, Csv };

// "text", "json" or "csv".
OutputFormat ParseOutputFormat(const std::string& name);

// The lines for one analysis, without line ends: the report; the JSON object;
// or the CSV header and its one record.
std::vector<std::string> SingleOutput(OutputFormat format, const Analysis& analysis,
                                      const std::string& version);

// The lines for a batch, case by case in input order, as they come: the
// reports one after the other as the results viewer holds several runs (a
// case's error goes to the error lines, "Case at line L (ID): message"); a
// JSON array with one object per case, results and error entries alike; or a
// CSV header and one record per case, with "case.line", "case.id",
// "error.kind" and "error.message" columns. The lines of all the Add calls
// and of Finish, one after the other, are the batch's output.
class BatchOutput {
 public:
  // K: the batch's number of variables; deficits: the deficit tests asked for.
  BatchOutput(OutputFormat format, std::string version, int K, DeficitChoice deficits = {});
  // The lines of this case that are ready (some wait for a later case or for
  // Finish); a case without a result adds its message to errorLines.
  std::vector<std::string> Add(const CaseRow& row, const AnalysisOutcome* outcome,
                               std::vector<std::string>& errorLines);
  std::vector<std::string> Finish();

 private:
  std::vector<std::string> CsvRecords(const std::vector<std::pair<std::string, std::string>>& row);

  OutputFormat format_;
  std::string version_;
  int K_;
  DeficitChoice deficits_;
  int reports_ = 0;                      // text: reports written
  std::string heldJsonLine_;             // JSON: the last object's closing line
  bool jsonOpen_ = false;                // JSON: "[" written
  std::vector<std::string> csvColumns_;  // CSV: once known (the first result)
  std::vector<std::vector<std::pair<std::string, std::string>>> heldCsv_;  // before it
};

// The line end a format's lines take on standard output: CR LF for CSV
// (RFC 4180), a line feed otherwise.
const char* LineEnd(OutputFormat format);

}  // namespace quorvane::cli
