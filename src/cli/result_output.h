// What quorvane-cli writes for its results, in the format asked for: the text
// report, JSON or CSV (see result_formats.h for the fields).
#pragma once

#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "cli/case_batch.h"

namespace quorvane::cli {

enum class OutputFormat { Text, Json, Csv };

// "text", "json" or "csv".
OutputFormat ParseOutputFormat(const std::string& name);

// The name a JSON or CSV error entry gives an error kind.
const char* ErrorKindName(ErrorKind kind);

// The lines for one analysis, without line ends: the report; the JSON object;
// or the CSV header and its one record.
std::vector<std::string> SingleOutput(OutputFormat format, const Analysis& analysis,
                                      const std::string& version);

// The lines for a batch, in input order, of the finished cases only: the
// reports one after the other as the results viewer holds several runs (a
// case's error goes to errorLines, "Case at line L (ID): message"); a JSON
// array with one object per case, results and error entries alike; or a CSV
// header and one record per case, with "case.line", "case.id",
// "error.kind" and "error.message" columns.
std::vector<std::string> BatchOutput(OutputFormat format, const std::vector<CaseRow>& rows,
                                     const std::vector<CaseResult>& results,
                                     const std::string& version,
                                     std::vector<std::string>& errorLines);

// The line end a format's lines take on standard output: CR LF for CSV
// (RFC 4180), a line feed otherwise.
const char* LineEnd(OutputFormat format);

}  // namespace quorvane::cli
