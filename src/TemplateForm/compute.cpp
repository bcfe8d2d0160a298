#include "TemplateForm/compute.h"

#include <filesystem>
#include <system_error>

#include "TemplateForm/report.h"
#include "TemplateForm/saved_inputs.h"
#include "TemplateForm/saved_summary.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

// The request's inputs from the sheet, N and k checked (a refusal: its box
// and focus, std::nullopt).
std::optional<AnalysisRequest> CheckedRequest(const Worksheet& sheet, ComputeHost& host,
                                              int drawCount, int& N, int& k) {
  AnalysisRequest request;
  request.controls = sheet.Field(1).text;
  request.covariates = sheet.Field(2).text;
  request.prior = sheet.Prior();
  request.limit = sheet.CredibleLimit();
  request.notes = sheet.notes;
  request.drawCount = drawCount;
  if (const auto error = CheckCounts(request.controls, request.covariates, request.prior, N, k)) {
    if (error->beep) host.Beep();
    host.ShowMessage(error->box, error->message);
    host.FocusField(error->field);
    return std::nullopt;
  }
  return request;
}

}  // namespace

std::optional<AnalysisRequest> BeginCompute(const Worksheet& sheet, ComputeHost& host,
                                            int drawCount) {
  int N = 0, k = 0;
  std::optional<AnalysisRequest> checked = CheckedRequest(sheet, host, drawCount, N, k);
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
  int N = 0, k = 0;
  std::optional<AnalysisRequest> request = CheckedRequest(sheet, host, drawCount, N, k);
  if (!request) return std::nullopt;
  std::optional<SummaryInput> input = statistics(N, k);
  if (!input) return std::nullopt;
  SaveCurrentData(sheet);
  SaveLastSummary(input->statistics, DataKind::SummaryStatistics);
  host.SetBusyCursor(true);
  request->data = std::move(*input);
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
  if (error.beep) host.Beep();
  host.ShowMessage(error.box, error.message);
  if (error.field != 0) host.FocusField(error.field);
}

void cmdComputeClick(const Worksheet& sheet, ComputeHost& host, int drawCount) {
  std::optional<AnalysisRequest> request = BeginCompute(sheet, host, drawCount);
  if (!request) return;
  request->progress = [&host](std::int64_t done, std::int64_t total) {
    return host.ReportProgress(done, total);
  };
  request->notice = [&host](const std::string& text) { host.ShowNotice(text); };
  PresentOutcome(RunAnalysis(*request), host);
}

}  // namespace quorvane
