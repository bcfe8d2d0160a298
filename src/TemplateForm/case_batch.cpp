#include "TemplateForm/case_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "file_io/number_text.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

std::optional<long double> Number(const std::string& item) {
  return ParsePlainDecimal(item);
}

CaseRow ParseCaseRow(const TextLine& line, int K) {
  CaseRow row;
  row.origin.line = line.number;
  const std::vector<std::string>& items = line.items;
  std::size_t first = 0;
  if (!Number(items[0])) {
    row.origin.id = items[0];
    first = 1;
  }
  const int count = static_cast<int>(items.size() - first);
  if (count != K) {
    row.error = FormatText(
        "%d numbers were found; a case needs %d: Y1, Y2 and the %d covariate score(s)%s", count, K,
        K - 2, first == 1 ? " (the first item, not a number, is taken as the case's ID)" : "");
    return row;
  }
  bool imprecise = false;
  for (std::size_t i = first; i < items.size(); ++i) {
    const std::optional<long double> value = Number(items[i]);
    if (!value) {
      row.error = FormatText("Invalid numeric input in column %d: \"%s\"",
                             static_cast<int>(i - first + 1), ShowableItem(items[i]).c_str());
      row.scores.clear();
      return row;
    }
    imprecise = imprecise || !KeepsItsDigits(items[i], *value);
    row.scores.push_back(*value);
  }
  if (imprecise) {
    row.warnings.push_back(FormatText(
        "Line %d of the cases file holds a number with more significant digits than are kept at "
        "its size (about 19): it was read with fewer, so no result can be trusted to the places "
        "printed.",
        line.number));
  }
  return row;
}

AnalysisError Failure(ErrorKind kind, Reason reason, std::string message) {
  return AnalysisError(kind, reason, std::move(message));
}

AnalysisError FromTextFileError(const TextFileError& e, const std::string& file) {
  switch (e.problem()) {
    case TextFileError::Problem::CannotOpen:
      return Failure(ErrorKind::DataFileUnreadable, Reason::DataFileUnreadable,
                     "The cases file " + file + " cannot be opened.");
    case TextFileError::Problem::Unreadable:
      return Failure(ErrorKind::DataFileUnreadable, Reason::DataFileUnreadable,
                     "The cases file " + file + " cannot be read.");
    case TextFileError::Problem::Folder:
      return Failure(ErrorKind::DataFileUnreadable, Reason::DataFileUnreadable, e.what());
    case TextFileError::Problem::Cancelled:
      return Failure(ErrorKind::Cancelled, Reason::Cancelled, "Interrupted.");
    case TextFileError::Problem::Utf16:
    case TextFileError::Problem::NotText:
      break;
  }
  if (e.line() > 0) {
    return Failure(ErrorKind::DataFileContent, Reason::NotText,
                   FormatText("Invalid numeric input at line %d, column %d of the cases file %s: "
                              "\"%s\" holds a control character: the file does not look like "
                              "plain text",
                              e.line(), e.column(), file.c_str(), e.item().c_str()));
  }
  return Failure(ErrorKind::DataFileContent, Reason::NotText, e.what());
}

// The controls every case is analysed against: rows 1..N of a raw data
// table, or summary statistics (whose case scores are not used), and the name
// the report gives the data or summary file.
struct Controls {
  std::shared_ptr<const DataMatrix> rows;
  std::optional<SummaryInput> summary;  // set: the controls are these statistics
  int N = 0;
  int K = 0;
  std::string name;
  std::vector<std::string> warnings;
  VariableNames names;  // from the data file's line of names
};

std::optional<AnalysisError> LoadControls(const AnalysisRequest& base, Controls& controls) {
  const Checked<Counts> counts = CheckCounts(base.controls, base.covariates, base.prior);
  if (!counts.ok()) return AnalysisError(ErrorKind::BadFieldValue, counts.refusal());
  controls.N = counts.value().N;
  controls.K = counts.value().k + 2;
  if (const auto* summary = std::get_if<SummaryInput>(&base.data)) {
    controls.summary = *summary;
    controls.warnings = summary->warnings;
    controls.name = summary->fileName;
    return std::nullopt;
  }
  const auto* file = std::get_if<RawDataFile>(&base.data);
  if (file == nullptr) {
    return Failure(ErrorKind::Internal, Reason::Internal,
                   "Cases can be analysed against a raw data file or summary statistics only.");
  }
  auto loaded = LoadRawDataFile(file->path, controls.N, controls.K, false, base.stop);
  if (auto* error = std::get_if<AnalysisError>(&loaded)) return std::move(*error);
  auto& data = std::get<LoadedRawData>(loaded);
  controls.rows = std::move(data.table);
  controls.warnings = std::move(data.warnings);
  controls.name = file->path;
  controls.names = std::move(data.names);
  return std::nullopt;
}

// The request for one case, run on one thread: the shared inputs, the
// controls, and the case's scores in the place of the case.
AnalysisRequest CaseRequest(const AnalysisRequest& base, const Controls& controls,
                            const CaseRow& row) {
  AnalysisRequest request;
  request.controls = base.controls;
  request.covariates = base.covariates;
  request.prior = base.prior;
  request.limit = base.limit;
  request.drawCount = base.drawCount;
  request.notes = base.notes;
  request.deficits = base.deficits;
  request.names = base.names;
  request.threads = 1;
  if (controls.summary) {
    SummaryInput input = *controls.summary;
    for (int j = 1; j <= controls.K; ++j) {
      input.statistics.caseScores[j] = row.scores[static_cast<std::size_t>(j - 1)];
    }
    request.data = std::move(input);
  } else {
    RawDataTable table(controls.rows, controls.name, row.scores);
    table.names = controls.names;
    request.data = std::move(table);
  }
  return request;
}

// The cases' slots, shared between the workers and the calling thread.
struct Slots {
  explicit Slots(std::size_t n) : outcome(n), ended(n, false) {}
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<AnalysisOutcome>> outcome;
  std::vector<bool> ended;
  std::size_t delivered = 0;  // cases handed on so far (a prefix of the rows)
  int running = 0;            // workers still working
};

}  // namespace

std::vector<CaseRow> ReadCaseRows(TextReader& in, int K) {
  std::vector<CaseRow> rows;
  TextLine line;
  while (in.NextLine(line)) {
    if (!line.items.empty()) rows.push_back(ParseCaseRow(line, K));
  }
  return rows;
}

BatchSummary RunBatch(const BatchRequest& request) {
  BatchSummary summary;
  Controls controls;
  if (auto error = LoadControls(request.base, controls)) {
    summary.failure = std::move(error);
    return summary;
  }
  summary.warnings = controls.warnings;
  std::vector<CaseRow> rows;
  try {
    TextReader in(request.casesFile, TextReadOptions{"cases file", 0, request.base.stop});
    rows = ReadCaseRows(in, controls.K);
  } catch (const TextFileError& e) {
    summary.failure = FromTextFileError(e, request.casesFile);
    return summary;
  }
  summary.cases = static_cast<int>(rows.size());
  const std::size_t n = rows.size();

  std::vector<std::size_t> usable;
  for (std::size_t i = 0; i < n; ++i) {
    if (rows[i].error.empty()) usable.push_back(i);
  }
  const std::int64_t total = static_cast<std::int64_t>(usable.size()) * request.base.drawCount;
  auto done = std::make_unique<std::atomic<std::int64_t>[]>(usable.size());
  for (std::size_t u = 0; u < usable.size(); ++u) done[u].store(0);

  int threads =
      request.workers > 0 ? request.workers : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, std::max(1, static_cast<int>(usable.size())));
  // A case waits to start while the cases before it have not been handed on
  // and this many others have ended meanwhile, so the outcomes held stay few.
  const std::size_t window = static_cast<std::size_t>(4 * threads + 4);

  Slots slots(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!rows[i].error.empty()) slots.ended[i] = true;  // a bad row ends at once
  }
  const auto stopped = [&request] { return request.stop && request.stop(); };
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (;;) {
      if (stopped()) break;
      const std::size_t u = next.fetch_add(1);
      if (u >= usable.size()) break;
      const std::size_t i = usable[u];
      {
        std::unique_lock lock(slots.mutex);
        slots.changed.wait(lock, [&] { return i < slots.delivered + window || stopped(); });
      }
      if (stopped()) break;
      AnalysisRequest one = CaseRequest(request.base, controls, rows[i]);
      one.progress = [&, u](std::int64_t draws, std::int64_t) {
        done[u].store(draws, std::memory_order_relaxed);
        return !stopped();
      };
      AnalysisOutcome outcome = RunAnalysis(one);
      if (!outcome.ok() && outcome.error().kind == ErrorKind::Cancelled) break;
      done[u].store(request.base.drawCount, std::memory_order_relaxed);
      std::lock_guard lock(slots.mutex);
      slots.outcome[i] = std::move(outcome);
      slots.ended[i] = true;
      slots.changed.notify_all();
    }
    std::lock_guard lock(slots.mutex);
    --slots.running;
    slots.changed.notify_all();
  };

  // Hands on the cases that have ended, in order, from the first not yet
  // handed on; with all set, also those after a case that did not end.
  const auto deliver = [&](bool all) {
    for (;;) {
      std::optional<AnalysisOutcome> outcome;
      std::size_t i = 0;
      {
        std::lock_guard lock(slots.mutex);
        while (all && slots.delivered < n && !slots.ended[slots.delivered]) ++slots.delivered;
        if (slots.delivered >= n || !slots.ended[slots.delivered]) return;
        i = slots.delivered++;
        outcome = std::move(slots.outcome[i]);
        slots.outcome[i].reset();
        slots.changed.notify_all();
      }
      ++summary.finished;
      const AnalysisOutcome* shown = outcome ? &*outcome : nullptr;
      if (!summary.caseFailure) {
        if (!rows[i].error.empty()) {
          summary.caseFailure =
              Failure(ErrorKind::DataFileContent, Reason::InvalidNumber, rows[i].error);
        } else if (!shown->ok()) {
          summary.caseFailure = shown->error();
        }
      }
      if (request.onCase) request.onCase(rows[i], shown);
    }
  };

  std::vector<std::thread> pool;
  slots.running = threads;
  for (int t = 0; t < threads; ++t) pool.emplace_back(work);
  for (;;) {
    std::int64_t sum = 0;
    for (std::size_t u = 0; u < usable.size(); ++u) sum += done[u].load(std::memory_order_relaxed);
    if (request.progress) request.progress(sum, total);
    deliver(false);
    std::unique_lock lock(slots.mutex);
    if (slots.changed.wait_for(lock, std::chrono::milliseconds(100),
                               [&] { return slots.running == 0; })) {
      break;
    }
  }
  for (std::thread& thread : pool) thread.join();
  const bool complete =
      std::all_of(slots.ended.begin(), slots.ended.end(), [](bool e) { return e; });
  deliver(true);
  if (!complete) {
    if (!summary.caseFailure || summary.caseFailure->kind != ErrorKind::Cancelled) {
      summary.caseFailure = Failure(ErrorKind::Cancelled, Reason::Cancelled, "Interrupted.");
    }
  }
  return summary;
}

}  // namespace quorvane
