#include "TemplateForm/analysis.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "Bayes_Engines/regression_from_summary.h"
#include "TemplateForm/control_statistics.h"
#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/summary_file.h"
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
  // Statistics from a caller that skipped the entry checks are refused as
  // those checks would refuse them.
  if (auto problem = CheckSummaryStatistics(s)) {
    return Error(ErrorKind::DataFileContent, problem->message);
  }
  a.fromSummary = true;
  a.dataFileName = input.fileName;
  a.R = s.R;
  a.means = s.means;
  a.sds = s.sds;
  a.caseScores = s.caseScores;
  return std::nullopt;
}

// --- Scores on any scale and at any origin.
//
// The analysis does not depend on the unit or the origin of any variable, but
// the engines rebuild the regression from uncentred cross-products
// (Y'Y - 2 B'X'Y + B'X'X B), which cancel catastrophically when a variable's
// mean is large against its SD, and their pivot thresholds are absolute. So:
//
// 1. Every variable is rescaled by the power of two that brings its SD into
//    [1, 2) before the engine sees it, and the conditional means and SDs are
//    scaled back. Multiplying by a power of two is exact, and so is every
//    operation of the engines on such rescaled values: for ordinary data the
//    results are the very bits of the unscaled run, and any unit (1e-12 or
//    1e12 times the scores) gives the same report.
// 2. The engine's regression is then measured against the same regression
//    worked from centred cross-products, which cannot cancel (Residuals). Where
//    they differ by more than kRegressionTolerance, the engine runs on centred
//    scores (every mean 0, the case's scores as deviations from the means) and
//    the conditional means are shifted back. A shift moves which posterior
//    draw each random number makes, so such a run agrees with the unshifted
//    one within Monte Carlo error, not to the last digit.

// Largest relative discrepancy accepted between the two regressions (the
// entries of the residual covariance relative to the SDs it implies, the
// case's fitted values relative to the residual SDs, the case's leverage).
// Ordinary data differ by about 1e-17; a report is moved by 1e-6 or more.
constexpr long double kRegressionTolerance = 1e-11L;

// What the draws are built from: the residual covariance, the case's fitted
// values and its leverage score' (X'X)^-1 score.
struct Residuals {
  long double sigma[2][2] = {};
  long double fitted[2] = {};
  long double leverage = 0;
};

// As the engines compute them (uncentred cross-products).
Residuals EngineResiduals(const SummaryStatistics& s) {
  Matrix betas, sigmaHat, xtxInv;
  Regression_From_Summary(s.R, s.sds, s.means, 2, s.k, s.N, betas, sigmaHat, xtxInv);
  Vector score;
  score[1] = 1;
  for (int i = 2; i <= s.k + 1; ++i) score[i] = s.caseScores[i + 1];
  Residuals r;
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) r.sigma[a][b] = sigmaHat(a + 1, b + 1);
  }
  for (int i = 1; i <= s.k + 1; ++i) {
    r.fitted[0] += betas(i, 1) * score[i];
    r.fitted[1] += betas(i, 2) * score[i];
    for (int j = 1; j <= s.k + 1; ++j) r.leverage += score[i] * xtxInv(i, j) * score[j];
  }
  return r;
}

// From centred cross-products: C = (n - 1) diag(sd) R diag(sd),
// Sigma = (C_YY - C_YX C_XX^-1 C_XY) / (n - k - 1), fitted = ybar + C_YX C_XX^-1 d
// and leverage = 1 / n + d' C_XX^-1 d with d the case's deviations from the
// covariates' means.
Residuals CentredResiduals(const SummaryStatistics& s) {
  const int k = s.k;
  const long double n1 = s.N - 1;
  Matrix C;
  for (int i = 1; i <= k + 2; ++i) {
    for (int j = 1; j <= k + 2; ++j) C(i, j) = n1 * s.sds[i] * s.R(i, j) * s.sds[j];
  }
  Matrix Cxx, CxxInv;
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) Cxx(i, j) = C(i + 2, j + 2);
  }
  Mat_Inverse(Cxx, k, CxxInv);
  Vector d;
  for (int i = 1; i <= k; ++i) d[i] = s.caseScores[i + 2] - s.means[i + 2];
  Residuals r;
  long double slopes[2][kMaxOrder + 1] = {};  // C_XX^-1 C_XY, column by column
  for (int a = 0; a < 2; ++a) {
    for (int i = 1; i <= k; ++i) {
      for (int j = 1; j <= k; ++j) slopes[a][i] += CxxInv(i, j) * C(j + 2, a + 1);
    }
  }
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      long double explained = 0;
      for (int i = 1; i <= k; ++i) explained += C(a + 1, i + 2) * slopes[b][i];
      r.sigma[a][b] = (C(a + 1, b + 1) - explained) / (s.N - k - 1);
    }
    r.fitted[a] = s.means[a + 1];
    for (int i = 1; i <= k; ++i) r.fitted[a] += slopes[a][i] * d[i];
  }
  r.leverage = 1.0L / s.N;
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) r.leverage += d[i] * CxxInv(i, j) * d[j];
  }
  return r;
}

// Whether the engines' uncentred regression holds for these statistics.
bool EngineRegressionAccurate(const SummaryStatistics& s) {
  const PivotFailureCounts before = ThreadPivotFailures();
  const Residuals engine = EngineResiduals(s);
  const Residuals centred = CentredResiduals(s);
  if (ThreadPivotFailures().inversions != before.inversions) return false;
  long double worst = 0;
  const long double sd[2] = {std::sqrt(centred.sigma[0][0]), std::sqrt(centred.sigma[1][1])};
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      worst =
          std::max(worst, std::fabs(engine.sigma[a][b] - centred.sigma[a][b]) / (sd[a] * sd[b]));
    }
    worst = std::max(worst, std::fabs(engine.fitted[a] - centred.fitted[a]) / sd[a]);
  }
  worst = std::max(worst, std::fabs(engine.leverage - centred.leverage) / centred.leverage);
  return worst <= kRegressionTolerance;  // false for NaN too
}

// The engine's view of the statistics: every variable in units that bring its
// SD into [1, 2), and, when the uncentred regression would not hold, centred.
struct EngineInputs {
  SummaryStatistics statistics;
  int exponent[kMaxOrder + 1] = {};  // variable j was divided by 2^exponent[j]
  bool centred = false;
};

EngineInputs PrepareEngineInputs(const Analysis& a) {
  EngineInputs in;
  SummaryStatistics& s = in.statistics;
  s.N = a.N;
  s.k = a.k;
  s.R = a.R;
  for (int j = 1; j <= a.K; ++j) {
    const int e = std::ilogb(a.sds[j]);
    in.exponent[j] = e;
    s.sds[j] = std::ldexp(a.sds[j], -e);
    s.means[j] = std::ldexp(a.means[j], -e);
    s.caseScores[j] = std::ldexp(a.caseScores[j], -e);
  }
  if (!EngineRegressionAccurate(s)) {
    in.centred = true;
    for (int j = 1; j <= a.K; ++j) {
      s.means[j] = 0;
      s.caseScores[j] = std::ldexp(a.caseScores[j] - a.means[j], -in.exponent[j]);
    }
  }
  return in;
}

// The engine the prior selects on the statistics in a.
std::optional<AnalysisError> RunEngineFor(const AnalysisRequest& request, Analysis& a) {
  const EngineInputs in = PrepareEngineInputs(a);
  const SummaryStatistics& s = in.statistics;
  a.centred = in.centred;
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
      run(a.k, a.N, a.drawCount, twoSided, kCrediblePercent, s.sds, s.means, s.caseScores, s.R,
          a.condMeans, a.condSDs, a.partialR, a.condZ1, a.condZ2, a.results, options);
  // Back to the variables' own units (and origins).
  for (int j = 1; j <= 2; ++j) {
    a.condMeans[j] = std::ldexp(a.condMeans[j], in.exponent[j]);
    if (in.centred) a.condMeans[j] = a.means[j] + a.condMeans[j];
    a.condSDs[j] = std::ldexp(a.condSDs[j], in.exponent[j]);
  }
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

// A constant control column, a value that is not finite, or a correlation
// matrix that is not positive definite cannot enter an analysis. Entered
// statistics are not adjusted: the user is asked to check them.
std::optional<AnalysisError> CheckAnalysable(const Analysis& a) {
  if (!ControlStatisticsUsable(a.R, a.means, a.sds, a.caseScores, a.K) || !Is_Pos_Def(a.K, a.R)) {
    return Error(ErrorKind::NotAnalysable,
                 a.fromSummary
                     ? std::string(kNotPositiveDefiniteMessage) + kSummaryNotPositiveDefiniteAdvice
                     : std::string(kNotPositiveDefiniteMessage),
                 1);
  }
  return std::nullopt;
}

// The request's inputs, counts and statistics in a (no engine run yet).
std::optional<AnalysisError> Prepare(const AnalysisRequest& request, Analysis& a) {
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
  return CheckAnalysable(a);
}

AnalysisOutcome Analyse(const AnalysisRequest& request) {
  Analysis a;
  if (auto error = Prepare(request, a)) return *error;
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

std::variant<SummaryStatistics, AnalysisError> SummariseData(const AnalysisRequest& request) {
  try {
    Analysis a;
    if (auto error = Prepare(request, a)) return *error;
    SummaryStatistics s;
    s.N = a.N;
    s.k = a.k;
    s.means = a.means;
    s.sds = a.sds;
    s.caseScores = a.caseScores;
    s.R = a.R;
    return s;
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::OutOfMemory, kOutOfMemoryMessage);
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, e.what());
  }
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
