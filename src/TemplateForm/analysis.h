// One analysis as one call: an AnalysisRequest in, an AnalysisOutcome out (the
// result, or a typed error with its reason and the text the worksheet shows
// for it).
//
// The call shows nothing, writes no file and keeps no state between calls; it
// may run on any thread, and several may run at once. What a user is told
// along the way (the loaded-data notice with any warnings, a Cholesky
// message) goes to the request's notice function; progress goes to its
// progress function, which can cancel the run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Bayes_Engines/conditioning.h"
#include "Bayes_Engines/deficit_test.h"
#include "Bayes_Engines/engines.h"
#include "Bayes_Engines/summary_statistics.h"
#include "TemplateForm/plot_data.h"
#include "TemplateForm/variable_names.h"
#include "matrix_handling/matrix_types.h"
#include "text/refusal.h"

namespace quorvane {

inline constexpr int kDrawCount = 1000000;
inline constexpr int kCrediblePercent = 95;

enum class PriorChoice { Calibrated = 0, StandardTheory = 1 };  // Prior_Radio
enum class CredibleLimitChoice {
  TwoSided = 0,
  OneSidedLower = 1,
  OneSidedUpper = 2
};  // RadioGroup1

// The one-word names scripts use for the choices ("calibrated", "standard";
// "two-sided", "lower", "upper"), and back (std::nullopt for any other word).
const char* PriorKeyword(PriorChoice prior);
const char* LimitKeyword(CredibleLimitChoice limit);
std::optional<PriorChoice> ParsePriorKeyword(const std::string& word);
std::optional<CredibleLimitChoice> ParseLimitKeyword(const std::string& word);

// Captions of the worksheet's two fields; the checks' messages and the
// report's input lines name them.
inline constexpr const char* kControlsLabel = "Number of control participants (N) :";
inline constexpr const char* kCovariatesLabel = "Number of covariates :";

// The user's notes hold at most this many characters (as the worksheet
// shows them: a character is a Unicode character, whatever its encoding),
// each line break counting as two (a carriage return and a line feed).
inline constexpr std::size_t kMaxNotesLength = 250;
// The length of notes held as lines of UTF-8 text, counted so.
std::size_t NotesLength(const std::vector<std::string>& lines);

// A raw data file to read: N control rows, then the case (see raw_data_loader.h).
struct RawDataFile {
  std::string path;  // opened as given; the report names it as given
};
// Raw data already read: rows 1..N the controls, row N + 1 the case, or the
// case's scores given apart (a batch's controls are shared by its cases).
struct RawDataTable {
  std::shared_ptr<const DataMatrix> rows;
  std::string name;                     // what the report names as the data file
  std::vector<long double> caseScores;  // when not empty: the case's K scores, not row N + 1
  VariableNames names;                  // the names the table's file gave its columns
  RawDataTable() = default;
  RawDataTable(DataMatrix table, std::string fileName)
      : rows(std::make_shared<const DataMatrix>(std::move(table))), name(std::move(fileName)) {}
  RawDataTable(std::shared_ptr<const DataMatrix> controls, std::string fileName,
               std::vector<long double> scores)
      : rows(std::move(controls)), name(std::move(fileName)), caseScores(std::move(scores)) {}
};
// Published summary statistics instead of raw data.
struct SummaryInput {
  SummaryStatistics statistics;
  std::string fileName;  // the summary file it came from, or empty when typed
  // What its reader warned of (entries that lost digits), for the analysis's
  // warnings.
  std::vector<std::string> warnings;
};
using DataSource = std::variant<RawDataFile, RawDataTable, SummaryInput>;

// Whether each task is also tested for a deficit (Task Y1 and Task Y2 against
// the controls' prediction at the case's covariate values), and which scores
// are poorer on each (index 0: Task Y1, 1: Task Y2). Off by default: the
// report, JSON and CSV are then as without the tests.
struct DeficitChoice {
  bool asked = false;
  std::array<PoorerScores, 2> poorer = {PoorerScores::Lower, PoorerScores::Lower};
  friend bool operator==(const DeficitChoice&, const DeficitChoice&) = default;
};

// "lower" or "higher" (for scripts), and back.
const char* PoorerKeyword(PoorerScores poorer);

struct AnalysisRequest {
  // N and the number of covariates as typed into the worksheet's fields: they
  // go through the worksheet's parse and checks, and the report echoes them.
  std::string controls;
  std::string covariates;
  PriorChoice prior = PriorChoice::Calibrated;
  CredibleLimitChoice limit = CredibleLimitChoice::TwoSided;
  int drawCount = kDrawCount;
  std::vector<std::string> notes;  // the user's notes, one entry per line
  DeficitChoice deficits;
  // The names typed for the variables; a name left empty is the data file's
  // (from its line of names) or the standard one.
  VariableNames names;
  DataSource data;
  bool plots = false;      // bin the draws for the plots (Analysis::plot); the draws are freed
  bool keepDraws = false;  // return every draw's z* (Analysis::draws)
  int threads = 0;         // as EngineOptions::threads

  // Optional. Called on the thread that runs the analysis.
  EngineProgressFn progress;                       // returning false cancels
  std::function<void(const std::string&)> notice;  // information for the user
  // Asked while the data file keeps the reader waiting (a pipe, a FIFO):
  // returning true cancels the analysis.
  std::function<bool()> stop;

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
  // The raw data read (rows 1..N the controls; null for summary input).
  std::shared_ptr<const DataMatrix> rawData;
  // What the user is warned of: rows or numbers of the file not used, digits
  // a number lost on reading, a prior known to be unreliable at this N. Each
  // warning is also in the loaded-data notice.
  std::vector<std::string> warnings;
  // The variables' names: typed, from the data file, or (entries empty, or
  // none) the standard names.
  VariableNames names;
  // --- the sample statistics
  Matrix R;
  Vector means, sds, caseScores, caseRawZ;
  // --- the deficit tests, when asked for (deficits.asked): Task Y1's, Task Y2's
  DeficitChoice deficits;
  std::array<DeficitResult, 2> deficit;
  // --- the engine's outputs
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  long double sdDiff = 0;
  std::int64_t trials = 0;         // candidates drawn (calibrated prior; else drawCount)
  PhiSums phiSums;                 // sums of Phi(z*) and Phi(z*)^2 over the draws
  bool centred = false;            // run on centred scores (see RunAnalysis)
  std::vector<long double> draws;  // every draw's z*, in draw order, when asked for
  std::optional<PlotData> plot;    // the plots' data, when asked for
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

// Why an analysis gave no result: its kind (which the command-line program's
// exit code follows), and the refusal (reason, text, box, beep, field at
// fault) the worksheet shows for it.
struct AnalysisError : Refusal {
  ErrorKind kind = ErrorKind::Internal;
  AnalysisError() = default;
  AnalysisError(ErrorKind errorKind, Refusal refusal)
      : Refusal(std::move(refusal)), kind(errorKind) {}
  AnalysisError(ErrorKind errorKind, Reason why, std::string text, int atField = 0)
      : Refusal{why, std::move(text), MessageKind::Error, false, atField}, kind(errorKind) {}
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

// RunAnalysis in two steps around its engine run, for a batch that runs the
// engines of many cases on shared draws: PrepareAnalysis does everything
// before the engine (the analysis with its inputs and statistics, and the
// statistics in the engine's units); the caller runs the engine on
// engineInputs.statistics into the analysis's engine outputs (condMeans,
// condSDs, partialR, condZ1, condZ2, results, phiSums) as RunAnalysis would,
// and FinishAnalysis does everything after it (completed and diagnostics as
// the engine gave them). The outcome is RunAnalysis's.
struct PreparedAnalysis {
  Analysis analysis;
  EngineInputs engineInputs;
};
std::variant<PreparedAnalysis, AnalysisError> PrepareAnalysis(const AnalysisRequest& request);
AnalysisOutcome FinishAnalysis(const AnalysisRequest& request, PreparedAnalysis prepared,
                               bool completed, const EngineDiagnostics& diagnostics);

// Everything RunAnalysis does before an engine runs (the checks of N and k,
// the data read, checked and summarised), giving the statistics an analysis
// would start from: to save a raw data file's statistics as a summary.
std::variant<SummaryStatistics, AnalysisError> SummariseData(const AnalysisRequest& request);

// A raw data file read as an analysis reads it: rows rows (the controls, and
// the case when withCase) of K numbers, the missing-data check with its
// message, and the warnings of rows or numbers not used and digits lost.
struct LoadedRawData {
  std::shared_ptr<const DataMatrix> table;
  std::vector<std::string> warnings;
  VariableNames names;  // from the file's line of names, when it has one
};
std::variant<LoadedRawData, AnalysisError> LoadRawDataFile(const std::string& path, int N, int K,
                                                           bool withCase,
                                                           const std::function<bool()>& stop);

// N and k from the fields' texts with the worksheet's rules and messages (in
// order: N, the number of covariates, the prior's covariate limit), or the
// first refusal, with the field at fault.
struct Counts {
  int N = 0;
  int k = 0;
};
Checked<Counts> CheckCounts(const std::string& controls, const std::string& covariates,
                            PriorChoice prior);

// The type I error at .05 of the standard-theory prior for N controls and k
// covariates as the validation study measured it (at N, or at the largest N
// measured below it; std::nullopt where nothing was measured). Where it
// exceeds .10, an analysis with that prior warns of it.
std::optional<double> StandardPriorTypeIError(int N, int k);

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
