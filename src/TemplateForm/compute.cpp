#include "TemplateForm/compute.h"

#include <exception>
#include <new>

#include "TemplateForm/control_statistics.h"
#include "TemplateForm/format_text.h"
#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/report.h"
#include "TemplateForm/saved_inputs.h"
#include "input_checks/input_validation.h"
#include "input_checks/standardize.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {

namespace {

// A field text longer than the worksheet lets anyone type can only come from
// a caller that skipped the key-release check (the command-line program
// passes its arguments as typed text). It is refused as that check would have
// refused it, before it is parsed: beyond 6 characters the parse could
// overflow and N could ask for any amount of storage.
bool FieldLengthAccepted(const Worksheet& sheet, int k, ComputeHost& host) {
  const std::string& text = sheet.Field(k).text;
  if (!ExceedsInputLength(text)) return true;
  LimitInputLength(text, host);
  host.FocusField(k);
  return false;
}

// The prior's covariate limit (k at most N - 4 calibrated, N - 2 standard
// theory): true, with the limit to report, when k is beyond it.
bool CovariateLimitExceeded(PriorChoice prior, int N, int k, int& limit) {
  if (prior == PriorChoice::Calibrated && k >= N - 3) {
    limit = N - 4;
    return true;
  }
  if (prior == PriorChoice::StandardTheory && k >= N - 1) {
    limit = N - 2;
    return true;
  }
  return false;
}

void StopWithError(ComputeHost& host, const std::string& text) {
  host.SetBusyCursor(false);
  host.ShowMessage(MessageKind::Error, text);
}

}  // namespace

std::string CovariateLimitMessage(int N, int limit) {
  return FormatText(
      " For this problem, and with a control sample size of %2d, the maximum number of "
      "covariates is %2d ",
      N, limit);
}

std::optional<Analysis> PrepareAnalysis(const Worksheet& sheet, ComputeHost& host) {
  Analysis a;
  a.prior = sheet.Prior();
  a.limit = sheet.CredibleLimit();

  // 1. N
  if (WorksheetConfig.visibleFieldCount >= 1) {
    if (!FieldLengthAccepted(sheet, 1, host)) return std::nullopt;
    const InputField& field = sheet.Field(1);
    const double value = ParseFieldValue(field.text, field.label, host);
    bool refused = false;
    if (a.prior == PriorChoice::Calibrated) {
      refused = InvalidEntryFlag || !CheckSampleSizeAbove4(field.label, value, host);
    } else if (a.prior == PriorChoice::StandardTheory) {
      refused = InvalidEntryFlag || !CheckSampleSizeAbove2(field.label, value, host);
    }
    if (refused) {
      host.FocusField(1);
      return std::nullopt;
    }
    a.N = static_cast<int>(value);  // checked: a whole number of at most 6 digits
  }

  // 2. k
  if (WorksheetConfig.visibleFieldCount >= 2) {
    if (!FieldLengthAccepted(sheet, 2, host)) return std::nullopt;
    const InputField& field = sheet.Field(2);
    const double value = ParseFieldValue(field.text, field.label, host);
    if (InvalidEntryFlag || !CheckCovariateCount(field.label, value, host)) {
      host.FocusField(2);
      return std::nullopt;
    }
    a.k = static_cast<int>(value);
  }
  a.K = a.k + 2;

  // 3. The prior's limit on the number of covariates.
  int limit = 0;
  if (CovariateLimitExceeded(a.prior, a.N, a.k, limit)) {
    host.ShowMessage(MessageKind::Error, CovariateLimitMessage(a.N, limit));
    host.FocusField(2);
    return std::nullopt;
  }

  // 4. Matrix entry is never enabled in this program.

  // 5-7. Save the inputs, then load the raw data under the busy cursor.
  SaveCurrentData(sheet);
  host.SetBusyCursor(true);
  bool loadOk = false;
  try {
    LoadRawDataFile(a.N + 1, a.K, a.rawData, loadOk, a.dataFileName, host);
  } catch (const std::bad_alloc&) {
    StopWithError(host, FormatText("Not enough memory to hold the raw data of %d controls", a.N));
    return std::nullopt;
  } catch (const std::exception& error) {
    StopWithError(host, error.what());
    return std::nullopt;
  }
  if (!loadOk) {
    host.ShowMessage(MessageKind::Information, kLoadCancelledMessage);
    host.SetBusyCursor(false);
    return std::nullopt;
  }

  // 8-10. Control statistics, the case's row, and the check that they can
  // enter an analysis at all (a constant control column or a value that is
  // not finite) and that R is positive definite.
  Data_Summary(a.rawData, a.N, a.K, a.R, a.means, a.sds);
  Data_Get_Row(a.rawData, a.N + 1, a.K, a.caseScores);
  if (!ControlStatisticsUsable(a.R, a.means, a.sds, a.caseScores, a.K) || !Is_Pos_Def(a.K, a.R)) {
    StopWithError(host, kNotPositiveDefiniteMessage);
    host.FocusField(1);
    return std::nullopt;
  }

  // 11. The case's z scores.
  StandardizeScores(a.caseScores, a.means, a.sds, a.K, 0.0L, 1.0L, a.caseRawZ);
  return a;
}

bool RunAnalysisEngine(Analysis& a, const EngineOptions& engineOptions) {
  const bool twoSided = a.limit == CredibleLimitChoice::TwoSided;
  EngineOptions options = engineOptions;
  a.diagnostics = {};
  options.diagnostics = &a.diagnostics;
  bool completed = false;
  if (a.prior == PriorChoice::StandardTheory) {
    completed = Run_Standard_Theory_Engine(a.k, a.N, a.drawCount, twoSided, kCrediblePercent, a.sds,
                                           a.means, a.caseScores, a.R, a.condMeans, a.condSDs,
                                           a.partialR, a.condZ1, a.condZ2, a.results, options);
  } else if (a.prior == PriorChoice::Calibrated) {
    completed = Run_Calibrated_Engine(a.k, a.N, a.drawCount, twoSided, kCrediblePercent, a.sds,
                                      a.means, a.caseScores, a.R, a.condMeans, a.condSDs,
                                      a.partialR, a.condZ1, a.condZ2, a.results, options);
  }
  if (!completed) return false;
  a.sdDiff = SdDiff(a.partialR);
  return true;
}

void FinishAnalysis(const Worksheet& sheet, const Analysis& analysis, ComputeHost& host) {
  if (!analysis.diagnostics.Reliable()) {
    StopWithError(host, kUnreliableResultsMessage);
    host.FocusField(1);
    return;
  }
  host.SetBusyCursor(false);
  host.ShowResultsViewer(kResultsViewerCaptionPrefix + ProgramTitle);
  WriteReport(sheet, analysis, host.Results());
}

void cmdComputeClick(const Worksheet& sheet, ComputeHost& host, int drawCount) {
  std::optional<Analysis> analysis = PrepareAnalysis(sheet, host);
  if (!analysis) return;
  analysis->drawCount = drawCount;

  EngineOptions options;
  options.progress = [&host](std::int64_t done, std::int64_t total) {
    return host.ReportProgress(done, total);
  };
  options.cholMessage = [&host](const std::string& text) { host.ShowCholMessage(text); };
  bool completed = false;
  try {
    completed = RunAnalysisEngine(*analysis, options);
  } catch (const std::exception& error) {
    StopWithError(host, error.what());
    return;
  }
  if (!completed) {
    host.SetBusyCursor(false);
    return;
  }
  FinishAnalysis(sheet, *analysis, host);
}

}  // namespace quorvane
