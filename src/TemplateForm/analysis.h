// One analysis as one call: an AnalysisRequest in, an AnalysisOutcome out (the
// result, or a typed error with the text the worksheet shows for it).
//
// The call shows nothing, writes no file and keeps no state between calls; it
// may run on any thread, and several may run at once. What a user is told
// along the way (the loaded-data notice, a Cholesky message) goes to the
// request's notice function; progress goes to its progress function, which can
// cancel the run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Bayes_Engines/engines.h"
#include "matrix_handling/matrix_types.h"
#include "text/messages.h"

namespace quorvane {

inline constexpr int kDrawCount = 1000000;
inline constexpr int kCrediblePercent = 95;

enum class PriorChoice { Calibrated = 0, StandardTheory = 1 };  // Prior_Radio
enum class CredibleLimitChoice {
  TwoSided = 0,
  OneSidedLower = 1,
  OneSidedUpper = 2
};  // RadioGroup1

// Captions of the worksheet's two fields; the checks' messages and the
// report's input lines name them.
inline constexpr const char* kControlsLabel = "Number of control participants (N) :";
inline constexpr const char* kCovariatesLabel = "Number of covariates :";

// The controls' summary statistics and the case's scores, as the engines take
// them: variables Task Y1, Task Y2, covariate 1..k (K = k + 2); SDs with
// divisor N - 1; R the K x K correlation matrix.
struct SummaryStatistics {
  int N = 0;
  int k = 0;
  Vector means, sds, caseScores;
  Matrix R;
};

// A raw data file to read: N control rows, then the case (see raw_data_loader.h).
struct RawDataFile {
  std::string path;  // opened as given; the report names it as given
};
// Raw data already read: rows 1..N the controls, row N + 1 the case.
struct RawDataTable {
  DataMatrix rows{0};
  std::string name;  // what the report names as the data file
};
// Published summary statistics instead of raw data.
struct SummaryInput {
  SummaryStatistics statistics;
  std::string fileName;  // the summary file it came from, or empty when typed
};
using DataSource = std::variant<RawDataFile, RawDataTable, SummaryInput>;

struct AnalysisRequest {
  // N and the number of covariates as typed into the worksheet's fields: they
  // go through the worksheet's parse and checks, and the report echoes them.
  std::string controls;
  std::string covariates;
  PriorChoice prior = PriorChoice::Calibrated;
  CredibleLimitChoice limit = CredibleLimitChoice::TwoSided;
  int drawCount = kDrawCount;
  std::vector<std::string> notes;  // the user's notes, one entry per line
  DataSource data;
  bool keepDraws = false;  // return every draw's z* (Analysis::draws)
  int threads = 0;         // as EngineOptions::threads

  // Optional. Called on the thread that runs the analysis.
  EngineProgressFn progress;                       // returning false cancels
  std::function<void(const std::string&)> notice;  // information for the user

  // The two fields' texts for whole numbers.
  void SetCounts(int N, int k);
};

// Everything the report prints, and how it came about.
struct Analysis {
  // --- the inputs
  std::string controlsText, covariatesText;  // as typed
  std::vector<std::string> notes;
  int N = 0;  // controls
  int k = 0;  // covariates
  int K = 0;  // variables, k + 2
  PriorChoice prior = PriorChoice::Calibrated;
  CredibleLimitChoice limit = CredibleLimitChoice::TwoSided;
  int drawCount = kDrawCount;
  bool fromSummary = false;  // summary statistics were entered, not raw data
  std::string dataFileName;  // raw data file (or summary file) as named; may be empty
  DataMatrix rawData{0};     // the raw data (empty for summary input)
  // --- the sample statistics
  Matrix R;
  Vector means, sds, caseScores, caseRawZ;
  // --- the engine's outputs
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  long double sdDiff = 0;
  std::int64_t trials = 0;         // candidates drawn (calibrated prior; else drawCount)
  PhiSums phiSums;                 // sums of Phi(z*) and Phi(z*)^2 over the draws
  bool centred = false;            // run on centred scores (see RunAnalysis)
  std::vector<long double> draws;  // every draw's z*, in draw order, when asked for
};

enum class ErrorKind {
  BadFieldValue,       // N or the number of covariates refused
  DataFileUnreadable,  // the data file cannot be opened or read
  DataFileContent,     // a number that cannot be converted, or missing data
  NotAnalysable,       // not positive definite, constant column, unreliable numerics
  Cancelled,           // the progress function cancelled the run
  OutOfMemory,
  Internal,
};

struct AnalysisError {
  ErrorKind kind = ErrorKind::Internal;
  int field = 0;                         // the worksheet field at fault: 1 N, 2 covariates, 0 none
  MessageKind box = MessageKind::Error;  // how the worksheet shows it
  std::string message;                   // the text (carriage returns as line breaks)
  bool beep = false;                     // the worksheet beeps first
};

class AnalysisOutcome {
 public:
  AnalysisOutcome(Analysis result) : value_(std::move(result)) {}     // NOLINT: implicit
  AnalysisOutcome(AnalysisError error) : value_(std::move(error)) {}  // NOLINT: implicit
  bool ok() const { return std::holds_alternative<Analysis>(value_); }
  const Analysis& result() const { return std::get<Analysis>(value_); }
  Analysis& result() { return std::get<Analysis>(value_); }
  const AnalysisError& error() const { return std::get<AnalysisError>(value_); }

 private:
  std::variant<Analysis, AnalysisError> value_;
};

// The whole analysis: the checks of N and k, the data (read, checked,
// summarised), the engine the prior selects, the results.
AnalysisOutcome RunAnalysis(const AnalysisRequest& request);

// Everything RunAnalysis does before an engine runs (the checks of N and k,
// the data read, checked and summarised), giving the statistics an analysis
// would start from: to save a raw data file's statistics as a summary.
std::variant<SummaryStatistics, AnalysisError> SummariseData(const AnalysisRequest& request);

// N and k from the fields' texts with the worksheet's rules and messages (in
// order: N, the number of covariates, the prior's covariate limit). On success
// returns std::nullopt and sets N and k.
std::optional<AnalysisError> CheckCounts(const std::string& controls, const std::string& covariates,
                                         PriorChoice prior, int& N, int& k);

// The largest number of covariates the prior admits for N controls: N - 4
// calibrated, N - 3 standard theory.
int CovariateLimit(PriorChoice prior, int N);

// Texts of the errors RunAnalysis gives itself.
inline constexpr const char* kNotPositiveDefiniteMessage =
    "Analysis cannot proceed as the correlation matrix is not positive definite: check that you "
    "entered the correct values for the correlations (alternatively it may be that one variable "
    "is linearly dependent on other variables and should be dropped)";
inline constexpr const char* kUnreliableResultsMessage =
    "Analysis cannot be completed reliably: a matrix of the computation could not be inverted or "
    "factorised, or a value became infinite, so the results would not be trustworthy. The "
    "controls' scores are then almost exactly linearly related: check the data for a covariate "
    "that (nearly) repeats another or is (nearly) a combination of the others, and drop it; or "
    "use the standard-theory prior.";
inline constexpr const char* kRarelyAcceptedMessage =
    "Analysis cannot be completed with the calibrated prior: once the covariates are taken into "
    "account, Task Y1 and Task Y2 are so closely correlated in the control sample that the "
    "calibrated prior's sampling step would take days. Use the standard-theory prior.";
inline constexpr const char* kOutOfMemoryMessage =
    "Not enough memory for this analysis (the data or the posterior draws).";

// The covariate-limit message for N controls and the largest admissible number
// of covariates: " For this problem, and with a control sample size of %2d,
// the maximum number of covariates is %2d ".
std::string CovariateLimitMessage(int N, int limit);

}  // namespace quorvane
