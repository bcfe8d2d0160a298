#include "cli/summary_options.h"

#include "TemplateForm/summary_file.h"
#include "cli/output.h"
#include "text/format_text.h"

namespace quorvane::cli {

std::optional<std::string> SummaryArgumentProblem(const SummaryArguments& arguments) {
  if (!arguments.summaryFile.empty()) {
    if (!arguments.dataFile.empty()) {
      return "--summary and DATAFILE exclude each other: give the statistics or the raw data";
    }
    if (!arguments.writeSummary.empty()) {
      return "--write-summary needs a raw data file, not --summary";
    }
    return std::nullopt;
  }
  if (!arguments.controlsGiven) return "--controls is required (unless --summary is given)";
  if (!arguments.covariatesGiven) return "--covariates is required (unless --summary is given)";
  if (arguments.dataFile.empty()) return "DATAFILE is required (unless --summary is given)";
  return std::nullopt;
}

std::optional<SummaryFailure> SetRequestData(const SummaryArguments& arguments,
                                             AnalysisRequest& request) {
  if (arguments.summaryFile.empty()) {
    request.data = RawDataFile{arguments.dataFile};
    return std::nullopt;
  }
  SummaryStatistics statistics;
  std::vector<std::string> warnings;
  if (auto problem = ReadSummaryFile(arguments.summaryFile, statistics, request.stop, request.prior,
                                     &warnings)) {
    const ErrorKind kind = problem->cancelled        ? ErrorKind::Cancelled
                           : problem->countProblem() ? ErrorKind::BadFieldValue
                           : problem->unreadable     ? ErrorKind::DataFileUnreadable
                                                     : ErrorKind::DataFileContent;
    return SummaryFailure{kind, problem->message};
  }
  if (arguments.controlsGiven || arguments.covariatesGiven) {
    const std::string controls =
        arguments.controlsGiven ? request.controls : std::to_string(statistics.N);
    const std::string covariates =
        arguments.covariatesGiven ? request.covariates : std::to_string(statistics.k);
    const Checked<Counts> counts = CheckCounts(controls, covariates, request.prior);
    if (!counts.ok()) return SummaryFailure{ErrorKind::BadFieldValue, counts.refusal().message};
    if (counts.value().N != statistics.N || counts.value().k != statistics.k) {
      return SummaryFailure{
          ErrorKind::BadFieldValue,
          FormatText("The summary file %s is for %d controls and %d covariate%s; --controls and "
                     "--covariates must agree with it (or be left out).",
                     arguments.summaryFile.c_str(), statistics.N, statistics.k,
                     statistics.k == 1 ? "" : "s")};
    }
  }
  request.SetCounts(statistics.N, statistics.k);
  request.data = SummaryInput{statistics, arguments.summaryFile, std::move(warnings)};
  return std::nullopt;
}

std::optional<SummaryFailure> WriteSummaryOfData(const AnalysisRequest& request,
                                                 const std::string& path) {
  const auto summary = SummariseData(request);
  if (const auto* error = std::get_if<AnalysisError>(&summary)) {
    return SummaryFailure{error->kind, error->message};
  }
  if (auto why = WriteSummaryFile(path, std::get<SummaryStatistics>(summary))) {
    return SummaryFailure{std::nullopt, "The summary statistics could not be written to the file " +
                                            path + ": " + *why};
  }
  return std::nullopt;
}

}  // namespace quorvane::cli
