#include "cli/batch_command.h"

#include <fstream>

#include "TemplateForm/raw_data_loader.h"
#include "cli/case_batch.h"
#include "text/format_text.h"

namespace quorvane::cli {

namespace {

AnalysisError Failure(ErrorKind kind, std::string message) {
  return {kind, 0, MessageKind::Error, std::move(message), false};
}

// The controls of the request's data; an error when they cannot be had.
std::optional<AnalysisError> LoadControls(const AnalysisRequest& base, BatchControls& controls) {
  if (auto error =
          CheckCounts(base.controls, base.covariates, base.prior, controls.N, controls.K)) {
    return error;
  }
  controls.K += 2;
  if (const auto* summary = std::get_if<SummaryInput>(&base.data)) {
    // The file's own case scores are replaced by each case's.
    controls.summary = *summary;
    controls.name = summary->fileName;
    return std::nullopt;
  }
  const auto* file = std::get_if<RawDataFile>(&base.data);
  if (file == nullptr) {
    return Failure(ErrorKind::Internal,
                   "Cases can be analysed against a raw data file or summary statistics only.");
  }
  try {
    ReadRawDataFile(file->path, controls.N, controls.K, controls.rows);
  } catch (const RawDataError& e) {
    return Failure(e.problem() == RawDataError::Problem::Unreadable ? ErrorKind::DataFileUnreadable
                                                                    : ErrorKind::DataFileContent,
                   e.what());
  }
  controls.name = file->path;
  const int complete =
      controls.rows.Rows() < controls.N ? 0 : CompleteRows(controls.rows, controls.N, controls.K);
  if (complete < controls.N) {
    return Failure(ErrorKind::DataFileContent,
                   FormatText("The data file holds %d complete rows of %d numbers before a "
                              "missing value; the %d controls are needed.",
                              complete, controls.K, controls.N));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CasesArgumentProblem(const std::string& cases, const std::string& plot,
                                                const std::string& writeSummary) {
  if (cases.empty()) return std::nullopt;
  if (!plot.empty()) {
    return "--plot draws the plots of one analysis and cannot be used with --cases; run the case "
           "alone to plot it";
  }
  if (!writeSummary.empty()) {
    return "--write-summary writes a data file's statistics instead of an analysis and cannot be "
           "used with --cases";
  }
  return std::nullopt;
}

BatchOutcome RunCaseBatch(const AnalysisRequest& base, const std::string& casesFile,
                          OutputFormat format, const std::string& version,
                          const std::function<void(std::int64_t, std::int64_t)>& progress,
                          const std::function<bool()>& stop) {
  BatchOutcome batch;
  BatchControls controls;
  if (auto error = LoadControls(base, controls)) {
    batch.failure = std::move(error);
    return batch;
  }
  std::ifstream in(casesFile, std::ios::binary);
  if (!in) {
    batch.failure = Failure(ErrorKind::DataFileUnreadable,
                            "The cases file " + casesFile + " cannot be opened.");
    return batch;
  }
  const std::vector<CaseRow> rows = ReadCaseRows(in, controls.K);
  if (in.bad()) {
    batch.failure =
        Failure(ErrorKind::DataFileUnreadable, "The cases file " + casesFile + " cannot be read.");
    return batch;
  }
  const std::vector<CaseResult> results = RunCases(base, controls, rows, 0, progress, stop);
  batch.anyRun = true;
  batch.cases = static_cast<int>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!results[i].finished) {
      if (!batch.failure || batch.failure->kind != ErrorKind::Cancelled) {
        batch.failure = Failure(ErrorKind::Cancelled, "Interrupted.");
      }
      continue;
    }
    ++batch.finished;
    if (batch.failure) continue;
    if (!rows[i].error.empty()) {
      batch.failure = Failure(ErrorKind::DataFileContent, rows[i].error);
    } else if (!results[i].outcome->ok()) {
      batch.failure = results[i].outcome->error();
    }
  }
  batch.lines = BatchOutput(format, rows, results, version, batch.errorLines);
  return batch;
}

}  // namespace quorvane::cli
