#include "TemplateForm/analysis.h"

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "TemplateForm/control_statistics.h"
#include "TemplateForm/raw_data_loader.h"
#include "input_checks/input_validation.h"
#include "input_checks/standardize.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

// Keeps the first message a check shows (the checks stop at the first).
class FirstMessage : public MessageSink {
 public:
  MessageButton ShowMessage(MessageKind boxKind, const std::string& boxText) override {
    if (!shown) {
      shown = true;
      kind = boxKind;
      text = boxText;
    }
    return MessageButton::Ok;
  }
  void Beep() override {
    if (!shown) beep = true;
  }
  AnalysisError Error(int field) const {
    return {ErrorKind::BadFieldValue, field, kind, text, beep};
  }
  bool shown = false;
  bool beep = false;
  MessageKind kind = MessageKind::Warning;
  std::string text;
};

// The worksheet's field 1 or 2: its length, its parse and its range check.
std::optional<AnalysisError> CheckField(const std::string& text, const char* label, int field,
                                        bool (*rangeCheck)(const std::string&, double,
                                                           MessageSink&),
                                        int& value) {
  FirstMessage messages;
  // A text longer than the field lets anyone type comes from a caller that
  // skipped the key-release check (the command line): it is refused as that
  // check would have refused it, before it is parsed.
  if (ExceedsInputLength(text)) {
    LimitInputLength(text, messages);
    return messages.Error(field);
  }
  bool invalid = false;
  const double parsed = ParseFieldValue(text, label, messages, invalid);
  if (invalid || !rangeCheck(label, parsed, messages)) return messages.Error(field);
  value = static_cast<int>(parsed);  // checked: a whole number of at most 6 digits
  return std::nullopt;
}

const std::string kMissingDataMessage =
    "Missing data were detected when attempting to load the raw data file: make sure that you "
    "have the correct number of rows (controls plus the case) and columns (Y1, Y2, and "
    "covariate[s]) of data in the text file and that there are no blank entries. ";

AnalysisError Error(ErrorKind kind, std::string message, int field = 0) {
  return {kind, field, MessageKind::Error, std::move(message), false};
}

// The raw data of the request, read and checked: rows 1..N + 1, columns 1..K.
std::optional<AnalysisError> LoadRawData(const AnalysisRequest& request, Analysis& a) {
  if (const auto* file = std::get_if<RawDataFile>(&request.data)) {
    try {
      ReadRawDataFile(file->path, a.N + 1, a.K, a.rawData);
    } catch (const RawDataError& e) {
      return Error(e.problem() == RawDataError::Problem::Unreadable ? ErrorKind::DataFileUnreadable
                                                                    : ErrorKind::DataFileContent,
                   e.what());
    } catch (const std::bad_alloc&) {
      return Error(ErrorKind::OutOfMemory,
                   FormatText("Not enough memory to hold the raw data of %d controls", a.N));
    }
    a.dataFileName = file->path;
  } else {
    const auto& table = std::get<RawDataTable>(request.data);
    a.rawData = table.rows;
    a.dataFileName = table.name;
  }
  const int rows = a.N + 1;
  if (a.rawData.Rows() < rows || a.rawData.Cols() < a.K || Data_Has_Missing(rows, a.K, a.rawData)) {
    const int complete = a.rawData.Cols() < a.K ? 0 : CompleteRows(a.rawData, rows, a.K);
    return Error(ErrorKind::DataFileContent,
                 kMissingDataMessage +
                     FormatText("(%d complete rows of %d numbers were found; %d are needed: %d "
                                "controls and the case.)",
                                complete, a.K, rows, a.N));
  }
  if (request.notice) {
    request.notice(FormatText(
        "Data file consisting of %2d controls plus a case (rows) and %2d variables (columns) was "
        "loaded successfully ",
        a.N, a.K));
  }
  Data_Summary(a.rawData, a.N, a.K, a.R, a.means, a.sds);
  Data_Get_Row(a.rawData, a.N + 1, a.K, a.caseScores);
  return std::nullopt;
}

std::optional<AnalysisError> TakeSummary(const SummaryInput& input, Analysis& a) {
  const SummaryStatistics& s = input.statistics;
  if (s.N != a.N || s.k != a.k) {
    return Error(ErrorKind::DataFileContent,
                 FormatText("The summary statistics are for %d controls and %d covariates, not "
                            "for %d controls and %d covariates.",
                            s.N, s.k, a.N, a.k),
                 s.N != a.N ? 1 : 2);
  }
  a.fromSummary = true;
  a.dataFileName = input.fileName;
  a.R = s.R;
  a.means = s.means;
  a.sds = s.sds;
  a.caseScores = s.caseScores;
  return std::nullopt;
}

// The engine the prior selects on the statistics in a.
std::optional<AnalysisError> RunEngineFor(const AnalysisRequest& request, Analysis& a) {
  EngineOptions options;
  options.progress = request.progress;
  options.cholMessage = request.notice;
  options.threads = request.threads;
  EngineDiagnostics diagnostics;
  options.diagnostics = &diagnostics;
  if (request.keepDraws) options.draws = &a.draws;
  options.phiSums = &a.phiSums;
  const bool twoSided = a.limit == CredibleLimitChoice::TwoSided;
  const auto run =
      a.prior == PriorChoice::StandardTheory ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
  const bool completed =
      run(a.k, a.N, a.drawCount, twoSided, kCrediblePercent, a.sds, a.means, a.caseScores, a.R,
          a.condMeans, a.condSDs, a.partialR, a.condZ1, a.condZ2, a.results, options);
  a.trials = diagnostics.trials;
  if (!diagnostics.Reliable()) {
    return Error(ErrorKind::NotAnalysable,
                 diagnostics.stop == EngineStop::RarelyAccepted ? kRarelyAcceptedMessage
                                                                : kUnreliableResultsMessage,
                 1);
  }
  if (!completed) return Error(ErrorKind::Cancelled, "The analysis was cancelled.");
  a.sdDiff = SdDiff(a.partialR);
  return std::nullopt;
}

AnalysisOutcome Analyse(const AnalysisRequest& request) {
  Analysis a;
  a.controlsText = request.controls;
  a.covariatesText = request.covariates;
  a.notes = request.notes;
  a.prior = request.prior;
  a.limit = request.limit;
  a.drawCount = request.drawCount;
  if (a.drawCount < 1) return Error(ErrorKind::Internal, "The number of draws must be positive.");

  if (auto error = CheckCounts(request.controls, request.covariates, a.prior, a.N, a.k)) {
    return *error;
  }
  a.K = a.k + 2;

  const auto* summary = std::get_if<SummaryInput>(&request.data);
  if (auto error = summary != nullptr ? TakeSummary(*summary, a) : LoadRawData(request, a)) {
    return *error;
  }

  // A constant control column, a value that is not finite, or a correlation
  // matrix that is not positive definite cannot enter an analysis.
  if (!ControlStatisticsUsable(a.R, a.means, a.sds, a.caseScores, a.K) || !Is_Pos_Def(a.K, a.R)) {
    return Error(ErrorKind::NotAnalysable, kNotPositiveDefiniteMessage, 1);
  }
  StandardizeScores(a.caseScores, a.means, a.sds, a.K, 0.0L, 1.0L, a.caseRawZ);

  if (auto error = RunEngineFor(request, a)) return *error;
  return a;
}

}  // namespace

void AnalysisRequest::SetCounts(int N, int k) {
  controls = std::to_string(N);
  covariates = std::to_string(k);
}

int CovariateLimit(PriorChoice prior, int N) {
  return prior == PriorChoice::Calibrated ? N - 4 : N - 3;
}

std::string CovariateLimitMessage(int N, int limit) {
  return FormatText(
      " For this problem, and with a control sample size of %2d, the maximum number of "
      "covariates is %2d ",
      N, limit);
}

std::optional<AnalysisError> CheckCounts(const std::string& controls, const std::string& covariates,
                                         PriorChoice prior, int& N, int& k) {
  const auto sampleCheck =
      prior == PriorChoice::Calibrated ? CheckSampleSizeAbove4 : CheckSampleSizeAbove2;
  if (auto error = CheckField(controls, kControlsLabel, 1, sampleCheck, N)) return error;
  if (auto error = CheckField(covariates, kCovariatesLabel, 2, CheckCovariateCount, k)) {
    return error;
  }
  const int limit = CovariateLimit(prior, N);
  if (k > limit) {
    return AnalysisError{ErrorKind::BadFieldValue, 2, MessageKind::Error,
                         CovariateLimitMessage(N, limit), false};
  }
  return std::nullopt;
}

AnalysisOutcome RunAnalysis(const AnalysisRequest& request) {
  try {
    return Analyse(request);
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::OutOfMemory, kOutOfMemoryMessage);
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, e.what());
  }
}

}  // namespace quorvane
