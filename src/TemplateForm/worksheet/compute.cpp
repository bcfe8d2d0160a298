#include "TemplateForm/worksheet/compute.h"

#include <filesystem>
#include <system_error>

#include "TemplateForm/report.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateForm/worksheet/saved_summary.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

// The request's inputs from the sheet, N and k checked (a refusal: shown,
// std::nullopt).
std::optional<AnalysisRequest> CheckedRequest(const Worksheet& sheet, ComputeHost& host,
                                              int drawCount, Counts& counts) {
  AnalysisRequest request;
  request.controls = sheet.Field(1).text;
  request.covariates = sheet.Field(2).text;
  request.prior = sheet.Prior();
  request.limit = sheet.CredibleLimit();
  request.notes = sheet.notes;
  request.drawCount = drawCount;
  const Checked<Counts> checked = CheckCounts(request.controls, request.covariates, request.prior);
  if (!checked.ok()) {
    ShowRefusal(checked.refusal(), host);
    return std::nullopt;
  }
  counts = checked.value();
  return request;
}

}  // namespace

void ShowRefusal(const Refusal& refusal, ComputeHost& host) {
  if (refusal.beep) host.Beep();
  host.ShowMessage(refusal.box, refusal.message);
  if (refusal.field != 0) host.FocusField(refusal.field);
}

std::optional<AnalysisRequest> BeginCompute(const Worksheet& sheet, ComputeHost& host,
                                            int drawCount) {
  Counts counts;
  std::optional<AnalysisRequest> checked = CheckedRequest(sheet, host, drawCount, counts);
  if (!checked) return std::nullopt;
  AnalysisRequest& request = *checked;

  // The inputs are kept before the file is asked for, so they are kept even
  // when the load is then cancelled.
  SaveCurrentData(sheet);
  host.SetBusyCursor(true);
  OpenFileRequest dialog;
  std::error_code ec;
  dialog.initialFolder = std::filesystem::current_path(ec).string();
  const std::optional<std::string> chosen = host.ChooseOpenFile(dialog);
  if (!chosen || TrimBlanks(*chosen).empty()) {
    host.ShowMessage(MessageKind::Information, kLoadCancelledMessage);
    host.SetBusyCursor(false);
    return std::nullopt;
  }
  request.data = RawDataFile{*chosen};
  SaveLastDataKind(DataKind::RawDataFile);
  return checked;
}

std::optional<AnalysisRequest> BeginSummaryCompute(const Worksheet& sheet, ComputeHost& host,
                                                   const SummarySupplier& statistics,
                                                   int drawCount) {
  Counts counts;
  std::optional<AnalysisRequest> request = CheckedRequest(sheet, host, drawCount, counts);
  if (!request) return std::nullopt;
  Checked<SummaryInput> input = statistics(counts.N, counts.k);
  if (!input.ok()) {
    ShowRefusal(input.refusal(), host);
    return std::nullopt;
  }
  SaveCurrentData(sheet);
  SaveLastSummary(input.value().statistics, DataKind::SummaryStatistics);
  host.SetBusyCursor(true);
  request->data = input.value();
  return request;
}

void PresentOutcome(const AnalysisOutcome& outcome, ComputeHost& host) {
  host.SetBusyCursor(false);
  if (outcome.ok()) {
    host.ShowResultsViewer(kResultsViewerCaptionPrefix + ProgramTitle);
    WriteReport(outcome.result(), host.Results());
    return;
  }
  const AnalysisError& error = outcome.error();
  if (error.kind == ErrorKind::Cancelled) return;  // the worksheet as it was
  ShowRefusal(error, host);
}

}  // namespace quorvane
