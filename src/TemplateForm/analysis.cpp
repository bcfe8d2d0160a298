#include "TemplateForm/analysis.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "Bayes_Engines/conditioning.h"
#include "TemplateForm/control_statistics.h"
#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/summary_file.h"
#include "distrib/extended_precision.h"
#include "input_checks/input_validation.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"
#include "matrix_handling/standardize.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

using RangeCheck = std::optional<Refusal> (*)(const std::string&, double);

// The worksheet's field 1 or 2: its length, its parse and its range check.
Checked<int> CheckField(const std::string& text, const char* label, int field,
                        RangeCheck rangeCheck) {
  const auto atField = [field](Refusal refusal) {
    refusal.field = field;
    return refusal;
  };
  // A text longer than the field lets anyone type comes from a caller that
  // skipped the key-release check (the command line): it is refused as that
  // check would have refused it, before it is parsed.
  if (auto limited = LimitInputLength(text); limited.refusal) return atField(*limited.refusal);
  const Checked<double> parsed = ParseFieldValue(text, label);
  if (!parsed.ok()) return atField(parsed.refusal());
  if (auto refusal = rangeCheck(label, parsed.value())) return atField(*refusal);
  return static_cast<int>(parsed.value());  // checked: a whole number of at most 6 digits
}

const std::string kMissingDataMessage =
    "Missing data were detected when attempting to load the raw data file: make sure that you "
    "have the correct number of rows (controls plus the case) and columns (Y1, Y2, and "
    "covariate[s]) of data in the text file and that there are no blank entries. ";

AnalysisError Error(ErrorKind kind, Reason reason, std::string message, int field = 0) {
  return AnalysisError(kind, reason, std::move(message), field);
}

AnalysisError FromRawDataError(const RawDataError& e) {
  switch (e.problem()) {
    case RawDataError::Problem::Unreadable:
      return Error(ErrorKind::DataFileUnreadable, Reason::DataFileUnreadable, e.what());
    case RawDataError::Problem::Cancelled:
      return Error(ErrorKind::Cancelled, Reason::Cancelled, "The analysis was cancelled.");
    case RawDataError::Problem::NotText:
      return Error(ErrorKind::DataFileContent, Reason::NotText, e.what());
    case RawDataError::Problem::Content:
      break;
  }
  return Error(ErrorKind::DataFileContent, Reason::InvalidNumber, e.what());
}

// Where a raw data file falls short of its rows: the first line short of
// numbers, an empty line, or the end of the data.
std::string ShortLine(const RawDataShape& shape, int K) {
  const int line = shape.firstShortLine;
  if (line == 0) return {};
  if (line > shape.lines) {
    return shape.lines == 0 ? " The file holds no data."
                            : FormatText(" The data end after line %d.", shape.lines);
  }
  if (shape.numbersOnShortLine == 0) {
    return FormatText(" Line %d is empty: the rows must follow one another without empty lines.",
                      line);
  }
  return FormatText(" Line %d holds %d number%s; each row needs %d.", line,
                    shape.numbersOnShortLine, shape.numbersOnShortLine == 1 ? "" : "s", K);
}

// What the user should know of a raw data file that loaded: rows and numbers
// it holds that the analysis does not use (often a wrong N or number of
// covariates), and numbers that lost digits on reading.
std::vector<std::string> RawDataWarnings(const RawDataShape& shape, int N, int K, bool withCase) {
  std::vector<std::string> warnings;
  const char* atLeast = shape.completeRowsAtLeast ? "at least " : "";
  if (shape.completeRows > N + 1 && withCase) {
    warnings.push_back(FormatText(
        "The case is taken from row %d; the file holds %s%d rows. Only the first %d rows (%d "
        "controls and the case) are analysed: check the number of control participants.",
        N + 1, atLeast, shape.completeRows, N + 1, N));
  } else if (shape.completeRows > N + 1) {
    warnings.push_back(FormatText(
        "The controls are rows 1 to %d of the data file, which holds %s%d rows: the rows after "
        "row %d are not used. Check the number of control participants.",
        N, atLeast, shape.completeRows, N + 1));
  }
  if (shape.widerLines > 0) {
    const std::string others =
        shape.widerLines > 1
            ? FormatText(" (and %d more rows hold more than %d)", shape.widerLines - 1, K)
            : std::string();
    warnings.push_back(FormatText(
        "Row %d holds %d numbers%s; only the first %d of each row (Task Y1, Task Y2 and %d "
        "covariate%s) are analysed: check the number of covariates.",
        shape.firstWiderLine, shape.itemsOnFirstWiderLine, others.c_str(), K, K - 2,
        K == 3 ? "" : "s"));
  }
  if (!shape.impreciseLines.empty()) {
    std::string lines;
    for (const int line : shape.impreciseLines) {
      lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    }
    warnings.push_back(
        "Line" + std::string(shape.impreciseLines.size() > 1 ? "s " : " ") + lines +
        " of the raw data file hold" + (shape.impreciseLines.size() > 1 ? "" : "s") +
        " a number with more significant digits than are kept at its size (about 19): it "
        "was read with fewer, so no result can be trusted to the places printed. Subtract a "
        "constant from that column (or change its unit) and analyse again.");
  }
  return warnings;
}

std::string WithWarnings(std::string notice, const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) notice += "\r\r" + warning;
  return notice;
}

AnalysisError MissingData(int complete, int N, int K, bool withCase, const RawDataShape& shape) {
  return Error(ErrorKind::DataFileContent, Reason::MissingData,
               kMissingDataMessage +
                   (withCase ? FormatText("(%d complete rows of %d numbers were found; %d are "
                                          "needed: %d controls and the case.)",
                                          complete, K, N + 1, N)
                             : FormatText("(%d complete rows of %d numbers were found; %d are "
                                          "needed: the %d controls.)",
                                          complete, K, N, N)) +
                   ShortLine(shape, K));
}

std::string LoadedNotice(int N, int K, const std::vector<std::string>& warnings) {
  return WithWarnings(FormatText("Data file consisting of %2d controls plus a case (rows) and %2d "
                                 "variables (columns) was loaded successfully ",
                                 N, K),
                      warnings);
}

// The standard-theory prior's type I error at .05, measured by the validation
// study (scripts/validate, 1,000 data sets from one population for each N and
// k, 5,000 draws each; N = 4 and 5 with 20,000 draws; seed 20240601; the
// README's table): where it exceeds .10 the user is told, and pointed to the
// calibrated prior, whose rate stays near .05.
struct MeasuredRate {
  int N, k;
  double typeI;
};
constexpr MeasuredRate kStandardPriorTypeI[] = {
    {4, 1, 0.262},  {5, 1, 0.167},  {5, 2, 0.240},  {6, 1, 0.116},  {6, 2, 0.188},  {6, 3, 0.238},
    {7, 1, 0.105},  {7, 2, 0.106},  {7, 3, 0.165},  {8, 1, 0.093},  {8, 2, 0.108},  {8, 3, 0.132},
    {9, 1, 0.081},  {9, 2, 0.085},  {9, 3, 0.102},  {10, 1, 0.091}, {10, 2, 0.091}, {10, 3, 0.116},
    {12, 1, 0.076}, {12, 2, 0.070}, {12, 3, 0.079}, {15, 1, 0.070}, {15, 2, 0.062}, {15, 3, 0.068},
    {20, 1, 0.055}, {20, 2, 0.075}, {20, 3, 0.058}, {30, 1, 0.063}, {30, 2, 0.059}, {30, 3, 0.051},
    {50, 1, 0.065}, {50, 2, 0.063}, {50, 3, 0.052},
};
constexpr double kTypeIWarningRate = 0.10;

}  // namespace

std::optional<double> StandardPriorTypeIError(int N, int k) {
  // The measurement at N itself, or else at the largest N measured below it
  // (the rate falls as N grows).
  const MeasuredRate* found = nullptr;
  for (const MeasuredRate& m : kStandardPriorTypeI) {
    if (m.k == k && m.N <= N && (found == nullptr || m.N > found->N)) found = &m;
  }
  if (found == nullptr) return std::nullopt;
  return found->typeI;
}

namespace {

std::optional<std::string> StandardPriorWarning(PriorChoice prior, int N, int k) {
  if (prior != PriorChoice::StandardTheory) return std::nullopt;
  const std::optional<double> rate = StandardPriorTypeIError(N, k);
  if (!rate || *rate <= kTypeIWarningRate) return std::nullopt;
  return FormatText(
      "With the standard-theory prior and %d controls and %d covariate%s, the test rejects a true "
      "null hypothesis far more often than its .05 level says: in a simulation of cases from the "
      "controls' own population it did so in %.1f%% of data sets. Use the calibrated prior, whose "
      "rate stays near 5%%.",
      N, k, k == 1 ? "" : "s", 100 * *rate);
}

// The raw data of the request, read and checked: rows 1..N + 1, columns 1..K
// (or rows 1..N and the case's scores given apart).
std::optional<AnalysisError> LoadRawData(const AnalysisRequest& request, Analysis& a) {
  const std::vector<long double>* caseScores = nullptr;
  if (const auto* file = std::get_if<RawDataFile>(&request.data)) {
    auto loaded = LoadRawDataFile(file->path, a.N, a.K, true, request.stop);
    if (auto* error = std::get_if<AnalysisError>(&loaded)) return std::move(*error);
    auto& data = std::get<LoadedRawData>(loaded);
    a.rawData = std::move(data.table);
    a.warnings.insert(a.warnings.end(), data.warnings.begin(), data.warnings.end());
    a.dataFileName = file->path;
    a.names = ResolvedNames(request.names, data.names, a.K);
  } else {
    const auto& table = std::get<RawDataTable>(request.data);
    a.rawData = table.rows != nullptr ? table.rows : std::make_shared<const DataMatrix>(0);
    a.dataFileName = table.name;
    a.names = ResolvedNames(request.names, table.names, a.K);
    if (!table.caseScores.empty()) caseScores = &table.caseScores;
    const DataMatrix& data = *a.rawData;
    const int rows = caseScores != nullptr ? a.N : a.N + 1;
    const bool caseComplete = caseScores == nullptr || static_cast<int>(caseScores->size()) >= a.K;
    if (data.Rows() < rows || data.Cols() < a.K || Data_Has_Missing(rows, a.K, data) ||
        !caseComplete) {
      const int complete = data.Cols() < a.K ? 0 : CompleteRows(data, rows, a.K);
      return MissingData(complete, a.N, a.K, true, RawDataShape{});
    }
  }
  if (request.notice) request.notice(LoadedNotice(a.N, a.K, a.warnings));
  const DataMatrix& data = *a.rawData;
  Data_Summary(data, a.N, a.K, a.R, a.means, a.sds);
  if (caseScores != nullptr) {
    for (int j = 1; j <= a.K; ++j) a.caseScores[j] = (*caseScores)[static_cast<std::size_t>(j - 1)];
  } else {
    Data_Get_Row(data, a.N + 1, a.K, a.caseScores);
  }
  return std::nullopt;
}

std::optional<AnalysisError> TakeSummary(const SummaryInput& input, const VariableNames& typed,
                                         Analysis& a) {
  const SummaryStatistics& s = input.statistics;
  if (s.N != a.N || s.k != a.k) {
    return Error(ErrorKind::DataFileContent, Reason::SummaryCountsDiffer,
                 FormatText("The summary statistics are for %d controls and %d covariates, not "
                            "for %d controls and %d covariates.",
                            s.N, s.k, a.N, a.k),
                 s.N != a.N ? 1 : 2);
  }
  // Statistics from a caller that skipped the entry checks are refused as
  // those checks would refuse them.
  if (auto problem = CheckSummaryStatistics(s)) {
    return Error(ErrorKind::DataFileContent, Reason::SummaryEntry, problem->message);
  }
  a.fromSummary = true;
  a.dataFileName = input.fileName;
  a.names = ResolvedNames(typed, {}, a.K);
  a.warnings.insert(a.warnings.end(), input.warnings.begin(), input.warnings.end());
  a.R = s.R;
  a.means = s.means;
  a.sds = s.sds;
  a.caseScores = s.caseScores;
  return std::nullopt;
}

SummaryStatistics StatisticsOf(const Analysis& a) {
  SummaryStatistics s;
  s.N = a.N;
  s.k = a.k;
  s.means = a.means;
  s.sds = a.sds;
  s.caseScores = a.caseScores;
  s.R = a.R;
  return s;
}

// Every number the report and the result formats show must be a number: one
// beyond the range of 80-bit reals (a case's covariate score 1e4000 SDs from
// the controls', say) refuses the data rather than print "inf".
std::optional<AnalysisError> CheckShownValuesFinite(const Analysis& a) {
  std::vector<std::pair<std::string, long double>> shown;
  for (int j = 1; j <= 2; ++j) {
    shown.emplace_back("conditional mean of " + SummaryVariableName(j), a.condMeans[j]);
    shown.emplace_back("conditional SD of " + SummaryVariableName(j), a.condSDs[j]);
  }
  shown.emplace_back("partial correlation", a.partialR);
  shown.emplace_back("case's conditional z score for Task Y1", a.condZ1);
  shown.emplace_back("case's conditional z score for Task Y2", a.condZ2);
  shown.emplace_back("SD of the difference", a.sdDiff);
  const EngineResults& r = a.results;
  for (const auto& [name, value] : {std::pair{"effect size", r.effectSize},
                                    {"effect size's lower limit", r.effectSizeLower},
                                    {"effect size's upper limit", r.effectSizeUpper},
                                    {"probability", r.twoTailedP},
                                    {"percentage", r.percentMoreExtreme}}) {
    shown.emplace_back(name, value);
  }
  for (int j = 1; j <= a.K; ++j) shown.emplace_back("case's z score", a.caseRawZ[j]);
  for (const auto& [name, value] : shown) {
    if (std::isfinite(value)) continue;
    int far = 1;
    for (int j = 2; j <= a.K; ++j) {
      if (!(std::fabs(a.caseRawZ[j]) <= std::fabs(a.caseRawZ[far]))) far = j;
    }
    return Error(ErrorKind::NotAnalysable, Reason::OutOfRange,
                 "Analysis cannot be completed: the " + name +
                     " is beyond the range of numbers the program can hold. The case's score on " +
                     SummaryVariableName(far) +
                     FormatText(" lies %.3Lg SDs from the controls' mean", a.caseRawZ[far]) +
                     ": check the data for a mistyped score.",
                 1);
  }
  return std::nullopt;
}

// The statistics in a in the engine's units (in), or why they cannot enter it.
std::optional<AnalysisError> PrepareEngine(Analysis& a, EngineInputs& in) {
  in = PrepareEngineInputs(StatisticsOf(a));
  const SummaryStatistics& s = in.statistics;
  // In units of their SDs the scores must stay within the range of the
  // program's numbers (a mistyped SD of 1e-4940 would take a mean of 100
  // beyond it).
  for (int j = 1; j <= a.K; ++j) {
    if (!std::isfinite(s.means[j]) || !std::isfinite(s.caseScores[j])) {
      return Error(ErrorKind::NotAnalysable, Reason::OutOfRange,
                   "Analysis cannot be completed: the scores on " + SummaryVariableName(j) +
                       FormatText(" (mean %.6Lg, SD %.6Lg, the case's score %.6Lg)", a.means[j],
                                  a.sds[j], a.caseScores[j]) +
                       " lie too many SDs from zero for the program's numbers: check the data "
                       "(and the SD) for a mistyped value.",
                   1);
    }
  }
  a.centred = in.centred;
  return std::nullopt;
}

// The engine the prior selects on the statistics in, its outputs into a.
bool RunEngineFor(const AnalysisRequest& request, const EngineInputs& in, Analysis& a,
                  EngineDiagnostics& diagnostics) {
  const SummaryStatistics& s = in.statistics;
  EngineOptions options;
  options.progress = request.progress;
  options.cholMessage = request.notice;
  options.threads = request.threads;
  options.diagnostics = &diagnostics;
  if (request.keepDraws || request.plots) options.draws = &a.draws;
  options.phiSums = &a.phiSums;
  const bool twoSided = a.limit == CredibleLimitChoice::TwoSided;
  const auto run =
      a.prior == PriorChoice::StandardTheory ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
  return run(a.k, a.N, a.drawCount, twoSided, kCrediblePercent, s.sds, s.means, s.caseScores, s.R,
             a.condMeans, a.condSDs, a.partialR, a.condZ1, a.condZ2, a.results, options);
}

// What follows an engine run: the engine's outputs back in the data's units,
// its stop or the cancel as an error, the numbers shown checked.
std::optional<AnalysisError> TakeEngineOutputs(const EngineInputs& in, bool completed,
                                               const EngineDiagnostics& diagnostics, Analysis& a) {
  RestoreUnits(in, StatisticsOf(a), a.condMeans, a.condSDs);
  a.trials = diagnostics.trials;
  if (!diagnostics.Reliable()) {
    const bool rare = diagnostics.stop == EngineStop::RarelyAccepted;
    return Error(ErrorKind::NotAnalysable,
                 rare ? Reason::RarelyAccepted : Reason::UnreliableNumerics,
                 rare ? kRarelyAcceptedMessage : kUnreliableResultsMessage, 1);
  }
  if (!completed) {
    return Error(ErrorKind::Cancelled, Reason::Cancelled, "The analysis was cancelled.");
  }
  a.sdDiff = SdDiff(a.partialR);
  return CheckShownValuesFinite(a);
}

// A constant control column, a value that is not finite, or a correlation
// matrix that is not positive definite cannot enter an analysis. Entered
// statistics are not adjusted: the user is asked to check them.
std::optional<AnalysisError> CheckAnalysable(const Analysis& a) {
  if (!ControlStatisticsUsable(a.R, a.means, a.sds, a.caseScores, a.K) || !Is_Pos_Def(a.K, a.R)) {
    // Raw data: which column is at fault. Entered statistics: the advice to
    // check them against their source (a matrix of rounded correlations is
    // no one column's fault).
    const std::string detail =
        a.fromSummary
            ? std::string()
            : NotAnalysableDetail(a.R, a.means, a.sds, a.caseScores, a.K, SummaryVariableName);
    return Error(
        ErrorKind::NotAnalysable, Reason::NotPositiveDefinite,
        a.fromSummary
            ? std::string(kNotPositiveDefiniteMessage) + kSummaryNotPositiveDefiniteAdvice
            : std::string(kNotPositiveDefiniteMessage) + (detail.empty() ? "" : "\r\r" + detail),
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
  a.deficits = request.deficits;
  if (a.drawCount < 1) {
    return Error(ErrorKind::Internal, Reason::Internal, "The number of draws must be positive.");
  }

  const Checked<Counts> counts = CheckCounts(request.controls, request.covariates, a.prior);
  if (!counts.ok()) return AnalysisError(ErrorKind::BadFieldValue, counts.refusal());
  a.N = counts.value().N;
  a.k = counts.value().k;
  a.K = a.k + 2;
  if (auto problem = NamesProblem(request.names, a.K)) {
    return Error(ErrorKind::BadFieldValue, Reason::VariableName, *problem);
  }
  if (auto warning = StandardPriorWarning(a.prior, a.N, a.k)) a.warnings.push_back(*warning);

  const auto* summary = std::get_if<SummaryInput>(&request.data);
  if (auto error =
          summary != nullptr ? TakeSummary(*summary, request.names, a) : LoadRawData(request, a)) {
    return *error;
  }
  // Raw data say theirs in the loaded-data notice; summary statistics have none.
  if (summary != nullptr && !a.warnings.empty() && request.notice) {
    std::string text;
    for (const std::string& warning : a.warnings) text += (text.empty() ? "" : "\r\r") + warning;
    request.notice(text);
  }
  return CheckAnalysable(a);
}

// Everything before the engine runs: the inputs, the statistics, the case's
// z scores checked, the engine's units.
std::optional<AnalysisError> BeforeEngine(const AnalysisRequest& request, Analysis& a,
                                          EngineInputs& in) {
  if (auto error = Prepare(request, a)) return *error;
  StandardizeScores(a.caseScores, a.means, a.sds, a.K, 0.0L, 1.0L, a.caseRawZ);
  for (int j = 1; j <= a.K; ++j) {
    if (!std::isfinite(a.caseRawZ[j])) {
      return Error(ErrorKind::NotAnalysable, Reason::OutOfRange,
                   "Analysis cannot be completed: the case's score on " + SummaryVariableName(j) +
                       FormatText(" (%.6Lg, against a mean of %.6Lg and an SD of %.6Lg)",
                                  a.caseScores[j], a.means[j], a.sds[j]) +
                       " lies too many SDs from the controls' mean for the program's numbers: "
                       "check the data (and the SD) for a mistyped value.",
                   1);
    }
  }
  return PrepareEngine(a, in);
}

// Everything after the engine ran: its outputs taken, the deficit tests, the plots.
std::optional<AnalysisError> AfterEngine(const AnalysisRequest& request, const EngineInputs& in,
                                         bool completed, const EngineDiagnostics& diagnostics,
                                         Analysis& a) {
  if (auto error = TakeEngineOutputs(in, completed, diagnostics, a)) return *error;
  if (a.deficits.asked) {
    // Closed forms on the statistics as they are (they depend on no unit or
    // origin), with the limits the credible-limit choice asks for.
    for (int task = 1; task <= 2; ++task) {
      a.deficit[static_cast<std::size_t>(task - 1)] =
          Run_Deficit_Test(task, a.deficits.poorer[static_cast<std::size_t>(task - 1)], a.k, a.N,
                           a.limit == CredibleLimitChoice::TwoSided, kCrediblePercent, a.sds,
                           a.means, a.caseScores, a.R);
    }
  }
  if (request.plots) {
    // The plots need the binned draws only: the draws go once they are binned.
    const bool deficitPlots = a.deficits.asked && a.deficit[0].HasTest() && a.deficit[1].HasTest();
    a.plot =
        deficitPlots ? BuildPlotData(a, a.draws, a.deficit[0], a.deficit[1]) : BuildPlotData(a);
    if (!request.keepDraws) std::vector<long double>().swap(a.draws);
  }
  return std::nullopt;
}

AnalysisOutcome Analyse(const AnalysisRequest& request) {
  Analysis a;
  EngineInputs in;
  if (auto error = BeforeEngine(request, a, in)) return *error;
  EngineDiagnostics diagnostics;
  const bool completed = RunEngineFor(request, in, a, diagnostics);
  if (auto error = AfterEngine(request, in, completed, diagnostics, a)) return *error;
  return a;
}

AnalysisError OutOfMemory() {
  return Error(ErrorKind::OutOfMemory, Reason::OutOfMemory, kOutOfMemoryMessage);
}

}  // namespace

const char* PriorKeyword(PriorChoice prior) {
  return prior == PriorChoice::StandardTheory ? "standard" : "calibrated";
}

const char* PoorerKeyword(PoorerScores poorer) {
  return poorer == PoorerScores::Higher ? "higher" : "lower";
}

const char* LimitKeyword(CredibleLimitChoice limit) {
  switch (limit) {
    case CredibleLimitChoice::OneSidedLower:
      return "lower";
    case CredibleLimitChoice::OneSidedUpper:
      return "upper";
    case CredibleLimitChoice::TwoSided:
      break;
  }
  return "two-sided";
}

std::optional<PriorChoice> ParsePriorKeyword(const std::string& word) {
  for (const PriorChoice prior : {PriorChoice::Calibrated, PriorChoice::StandardTheory}) {
    if (word == PriorKeyword(prior)) return prior;
  }
  return std::nullopt;
}

std::optional<CredibleLimitChoice> ParseLimitKeyword(const std::string& word) {
  for (const CredibleLimitChoice limit :
       {CredibleLimitChoice::TwoSided, CredibleLimitChoice::OneSidedLower,
        CredibleLimitChoice::OneSidedUpper}) {
    if (word == LimitKeyword(limit)) return limit;
  }
  return std::nullopt;
}

std::size_t NotesLength(const std::vector<std::string>& lines) {
  std::size_t length = 0;
  for (const std::string& line : lines) {
    for (const char c : line) {
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++length;  // not a continuation byte
    }
  }
  if (!lines.empty()) length += 2 * (lines.size() - 1);
  return length;
}

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

Checked<Counts> CheckCounts(const std::string& controls, const std::string& covariates,
                            PriorChoice prior) {
  const RangeCheck sampleCheck =
      prior == PriorChoice::Calibrated ? CheckSampleSizeAbove4 : CheckSampleSizeAbove2;
  const Checked<int> N = CheckField(controls, kControlsLabel, 1, sampleCheck);
  if (!N.ok()) return N.refusal();
  const Checked<int> k = CheckField(covariates, kCovariatesLabel, 2, CheckCovariateCount);
  if (!k.ok()) return k.refusal();
  const int limit = CovariateLimit(prior, N.value());
  if (k.value() > limit) {
    return Refusal{Reason::TooManyCovariates, CovariateLimitMessage(N.value(), limit),
                   MessageKind::Error, false, 2};
  }
  return Counts{N.value(), k.value()};
}

std::variant<LoadedRawData, AnalysisError> LoadRawDataFile(const std::string& path, int N, int K,
                                                           bool withCase,
                                                           const std::function<bool()>& stop) {
  const int rows = withCase ? N + 1 : N;
  RawDataShape shape;
  DataMatrix table;
  try {
    ReadRawDataFile(path, rows, K, table, &shape, stop);
  } catch (const RawDataError& e) {
    return FromRawDataError(e);
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::OutOfMemory, Reason::OutOfMemory,
                 FormatText("Not enough memory to hold the raw data of %d controls", N));
  }
  if (table.Rows() < rows || table.Cols() < K || Data_Has_Missing(rows, K, table)) {
    const int complete = table.Cols() < K ? 0 : CompleteRows(table, rows, K);
    return MissingData(complete, N, K, withCase, shape);
  }
  // A batch's file may hold a case after its controls, as any data file does.
  return LoadedRawData{std::make_shared<const DataMatrix>(std::move(table)),
                       RawDataWarnings(shape, N, K, withCase), VariableNames{shape.names}};
}

std::variant<SummaryStatistics, AnalysisError> SummariseData(const AnalysisRequest& request) {
  try {
    Analysis a;
    if (auto error = Prepare(request, a)) return *error;
    return StatisticsOf(a);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, Reason::Internal, e.what());
  }
}

AnalysisOutcome RunAnalysis(const AnalysisRequest& request) {
  [[maybe_unused]] const ExtendedPrecision extended;  // on whatever thread the caller runs it
  try {
    return Analyse(request);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, Reason::Internal, e.what());
  }
}

std::variant<PreparedAnalysis, AnalysisError> PrepareAnalysis(const AnalysisRequest& request) {
  try {
    PreparedAnalysis prepared;
    if (auto error = BeforeEngine(request, prepared.analysis, prepared.engineInputs)) {
      return *error;
    }
    return prepared;
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, Reason::Internal, e.what());
  }
}

AnalysisOutcome FinishAnalysis(const AnalysisRequest& request, PreparedAnalysis prepared,
                               bool completed, const EngineDiagnostics& diagnostics) {
  try {
    Analysis& a = prepared.analysis;
    if (auto error = AfterEngine(request, prepared.engineInputs, completed, diagnostics, a)) {
      return *error;
    }
    return std::move(a);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  } catch (const std::exception& e) {
    return Error(ErrorKind::Internal, Reason::Internal, e.what());
  }
}

}  // namespace quorvane
