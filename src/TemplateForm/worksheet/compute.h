// The worksheet's Compute command: the adapter between the worksheet (its
// fields, its boxes, its focus, the saved inputs, the open dialog, the results
// viewer) and the one analysis call of analysis.h.
//
// BeginCompute runs on the window thread up to the choice of the data file,
// RunAnalysis may then run on any thread (the desktop program runs it on a
// worker thread), and PresentOutcome turns its outcome into the results
// viewer's report or the box and focus of its error.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "TemplateForm/analysis.h"
#include "TemplateForm/worksheet/compute_host.h"
#include "TemplateForm/worksheet/worksheet.h"

namespace quorvane {

// How the worksheet shows a refusal: a beep where the refusal asks for one,
// its box, then the focus in the field at fault (if any). The one place where
// checks' refusals become boxes and focus.
void ShowRefusal(const Refusal& refusal, ComputeHost& host);

// Reads and checks N and k (a refusal: shown, std::nullopt), saves the inputs,
// sets the busy cursor and asks for the raw data file (cancelled: "Loading of
// data has been cancelled", the cursor restored, std::nullopt). Returns the
// request for the chosen file, with the sheet's choices and notes and
// drawCount draws; its progress, notice and stop functions are left for the
// caller to set.
std::optional<AnalysisRequest> BeginCompute(const Worksheet& sheet, ComputeHost& host,
                                            int drawCount = kDrawCount);

// Compute from summary statistics: N and k read and checked as BeginCompute
// checks them; then statistics(N, k) gives the checked statistics or the
// refusal of the entry at fault. A refusal is shown and std::nullopt
// returned. The inputs are saved, the statistics kept as the last ones
// (saved_summary.h), the busy cursor set, and no file is asked for: the
// request's data is the statistics.
using SummarySupplier = std::function<Checked<SummaryInput>(int N, int k)>;
std::optional<AnalysisRequest> BeginSummaryCompute(const Worksheet& sheet, ComputeHost& host,
                                                   const SummarySupplier& statistics,
                                                   int drawCount = kDrawCount);

// The end of a Compute: restores the cursor; for a result shows the results
// viewer and appends the report; for an error shows its refusal (a cancelled
// run shows nothing).
void PresentOutcome(const AnalysisOutcome& outcome, ComputeHost& host);

inline constexpr const char* kLoadCancelledMessage = "Loading of data has been cancelled";
inline constexpr const char* kResultsViewerCaptionPrefix = "Results viewer: ";

}  // namespace quorvane
