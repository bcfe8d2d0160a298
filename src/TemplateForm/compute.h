// The Compute command: one whole analysis from the worksheet's inputs to the
// report, talking to the outside world only through a ComputeHost.
//
// It runs in three phases so that a desktop program can run the costly middle
// one off its window thread: PrepareAnalysis (checks, saved inputs, the raw
// data file, control statistics), RunAnalysisEngine (the Monte Carlo engine)
// and FinishAnalysis (the results viewer and the report). cmdComputeClick runs
// all three in order on the calling thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Bayes_Engines/engines.h"
#include "TemplateForm/compute_host.h"
#include "TemplateForm/worksheet.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane {

inline constexpr int kDrawCount = 1000000;
inline constexpr int kCrediblePercent = 95;

// Everything one analysis carries from phase to phase.
struct Analysis {
  int N = 0;  // controls
  int k = 0;  // covariates
  int K = 0;  // variables, k + 2
  PriorChoice prior = PriorChoice::Calibrated;
  CredibleLimitChoice limit = CredibleLimitChoice::TwoSided;
  int drawCount = kDrawCount;  // PrepareAnalysis leaves kDrawCount; tests may lower it
  std::string dataFileName;
  DataMatrix rawData{0};
  Matrix R;
  Vector means, sds, caseScores, caseRawZ;
  // engine outputs
  Vector condMeans, condSDs;
  long double partialR = 0, condZ1 = 0, condZ2 = 0;
  EngineResults results;
  long double sdDiff = 0;
  EngineDiagnostics diagnostics;  // pivot failures met by the engine run
};

// Steps up to the engine: reads and checks N and k, saves the inputs, loads
// the raw data (busy cursor on), summarises the controls and checks the
// correlation matrix. On any failure the host has been told (message, focus,
// cursor restored) and std::nullopt is returned.
std::optional<Analysis> PrepareAnalysis(const Worksheet& sheet, ComputeHost& host);

// Runs the engine the prior selects. May run on any thread; progress and the
// Cholesky message go to the given functions (empty: none / the host's
// process-wide handler). Returns false when progress cancelled the run.
bool RunAnalysisEngine(Analysis& analysis, const EngineOptions& options);

// Restores the cursor, shows the results viewer, and appends the report. When
// the engine run met a pivot below its threshold (its numbers would rest on a
// partial factorisation or inversion), it shows kUnreliableResultsMessage in
// an error box instead, puts the focus in field 1 and adds nothing.
void FinishAnalysis(const Worksheet& sheet, const Analysis& analysis, ComputeHost& host);

// The handler of "Compute": the three phases in order, with progress and the
// Cholesky message routed to the host. A cancelled run restores the cursor and
// adds nothing. drawCount is the number of posterior draws; only tests use
// fewer than kDrawCount.
void cmdComputeClick(const Worksheet& sheet, ComputeHost& host, int drawCount = kDrawCount);

// Texts of the boxes Compute shows itself.
inline constexpr const char* kLoadCancelledMessage = "Loading of data has been cancelled";
inline constexpr const char* kNotPositiveDefiniteMessage =
    "Analysis cannot proceed as the correlation matrix is not positive definite: check that you "
    "entered the correct values for the correlations (alternatively it may be that one variable "
    "is linearly dependent on other variables and should be dropped)";
inline constexpr const char* kResultsViewerCaptionPrefix = "Results viewer: ";
inline constexpr const char* kUnreliableResultsMessage =
    "Analysis cannot be completed reliably: during the Monte Carlo computation a matrix could "
    "not be factorised or inverted at the precision in use, so the results would not be "
    "trustworthy. This happens when the control sample is as small as the number of covariates "
    "allows, or when scores are on a very large or very small scale: try fewer covariates, or "
    "rescale the scores (for example, to values between 0.01 and 10000).";

// The covariate-limit message for N controls and the largest admissible number
// of covariates: " For this problem, and with a control sample size of %2d,
// the maximum number of covariates is %2d ".
std::string CovariateLimitMessage(int N, int limit);

}  // namespace quorvane
