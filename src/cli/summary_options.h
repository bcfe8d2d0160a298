// quorvane-cli's summary statistics: --summary FILE (an analysis from a
// summary file) and --write-summary FILE (a raw data file's statistics saved
// as a summary file instead of an analysis).
#pragma once

#include <optional>
#include <string>

#include "TemplateForm/analysis.h"

namespace quorvane::cli {

struct SummaryArguments {
  std::string summaryFile;   // --summary, or empty
  std::string writeSummary;  // --write-summary, or empty
  std::string dataFile;      // DATAFILE, or empty
  bool controlsGiven = false;
  bool covariatesGiven = false;
};

// What went wrong: kind empty when the summary file could not be written.
struct SummaryFailure {
  std::optional<ErrorKind> kind;
  std::string message;
};

// The text for a command line that names the wrong inputs (exit code 2), or
// std::nullopt. Without --summary, --controls, --covariates and DATAFILE are
// required; with it DATAFILE and --write-summary are refused.
std::optional<std::string> SummaryArgumentProblem(const SummaryArguments& arguments);

// Sets request.data, and with --summary the counts, from the arguments.
// --summary: the file is read and checked; --controls and --covariates, when
// given, are checked as the worksheet checks them and must agree with the
// file's N and number of covariates (else BadFieldValue).
std::optional<SummaryFailure> SetRequestData(const SummaryArguments& arguments,
                                             AnalysisRequest& request);

// --write-summary: the statistics an analysis of the request would start
// from, written to the file.
std::optional<SummaryFailure> WriteSummaryOfData(const AnalysisRequest& request,
                                                 const std::string& path);

}  // namespace quorvane::cli
