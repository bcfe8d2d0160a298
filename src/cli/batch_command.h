// quorvane-cli --cases: every case of a cases file analysed against the
// controls, the results in input order.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "cli/result_output.h"

namespace quorvane::cli {

struct BatchOutcome {
  std::vector<std::string> lines;       // what to write (see BatchOutput)
  std::vector<std::string> errorLines;  // for standard error
  // A failure before any case ran (N or k refused, the data file or the cases
  // file unreadable, too few complete control rows), or else the first failed
  // case's (a bad case row counts as DataFileContent) or Cancelled when
  // stopped. std::nullopt: every case has its result.
  std::optional<AnalysisError> failure;
  bool anyRun = false;  // cases were run: lines are to be written
  int finished = 0;
  int cases = 0;
};

// base holds the inputs (counts, prior, limit, draws, notes); its data is the
// controls: the first N rows of a raw data file (any further rows are not
// read), or summary statistics (their case scores are replaced by each
// case's). The cases run on every core.
// The text for --cases given with an option that makes no sense for many
// cases (exit code 2), or std::nullopt: --plot (one image for many cases) and
// --write-summary (it writes statistics instead of running the cases).
std::optional<std::string> CasesArgumentProblem(const std::string& cases, const std::string& plot,
                                                const std::string& writeSummary);

BatchOutcome RunCaseBatch(const AnalysisRequest& base, const std::string& casesFile,
                          OutputFormat format, const std::string& version,
                          const std::function<void(std::int64_t, std::int64_t)>& progress,
                          const std::function<bool()>& stop);

}  // namespace quorvane::cli
