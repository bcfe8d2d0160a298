// The worksheet's Compute command: the adapter between the worksheet (its
// fields, its boxes, its focus, the saved inputs, the open dialog, the results
// viewer) and the one analysis call of analysis.h.
//
// BeginCompute runs on the window thread up to the choice of the data file,
// RunAnalysis may then run on any thread, and PresentOutcome turns its outcome
// into the results viewer's report or the box and focus of its error.
// cmdComputeClick runs the three in order on the calling thread; the desktop
// program runs the middle one on a worker thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "TemplateForm/analysis.h"
#include "TemplateForm/compute_host.h"
#include "TemplateForm/worksheet.h"

namespace quorvane {

// Reads and checks N and k (a refusal: its box, the focus in the field at
// fault, std::nullopt), saves the inputs, sets the busy cursor and asks for the
// raw data file (cancelled: "Loading of data has been cancelled", the cursor
// restored, std::nullopt). Returns the request for the chosen file, with the
// sheet's choices and notes and drawCount draws; its progress and notice
// functions are left for the caller to set.
std::optional<AnalysisRequest> BeginCompute(const Worksheet& sheet, ComputeHost& host,
                                            int drawCount = kDrawCount);

// Compute from summary statistics: N and k read and checked as BeginCompute
// checks them (a refusal: its box and focus, std::nullopt); then statistics(N,
// k) gives the checked statistics, or std::nullopt once it has shown its own
// refusal. The inputs are saved, the statistics kept as the last ones
// (saved_summary.h), the busy cursor set, and no file is asked for: the
// request's data is the statistics.
using SummarySupplier = std::function<std::optional<SummaryInput>(int N, int k)>;
std::optional<AnalysisRequest> BeginSummaryCompute(const Worksheet& sheet, ComputeHost& host,
                                                   const SummarySupplier& statistics,
                                                   int drawCount = kDrawCount);

// The end of a Compute: restores the cursor; for a result shows the results
// viewer and appends the report; for an error shows its box (a cancelled run
// shows nothing) and puts the focus in the field at fault.
void PresentOutcome(const AnalysisOutcome& outcome, ComputeHost& host);

// The handler of "Compute": BeginCompute, RunAnalysis with progress and
// notices routed to the host, PresentOutcome. drawCount is the number of
// posterior draws; only tests use fewer than kDrawCount.
void cmdComputeClick(const Worksheet& sheet, ComputeHost& host, int drawCount = kDrawCount);

inline constexpr const char* kLoadCancelledMessage = "Loading of data has been cancelled";
inline constexpr const char* kResultsViewerCaptionPrefix = "Results viewer: ";

}  // namespace quorvane
