#include "TemplateForm/case_batch.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "Bayes_Engines/shared_draws.h"
#include "distrib/extended_precision.h"
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

// Cases whose engines run on the same statistics (bit for bit) can share the
// draws: the same controls in the same units, and the same centring.
bool SameEngineStatistics(const EngineInputs& a, const EngineInputs& b, int K) {
  const auto same = [](long double x, long double y) { return std::memcmp(&x, &y, 10) == 0; };
  if (a.centred != b.centred) return false;
  for (int i = 1; i <= K; ++i) {
    if (!same(a.statistics.sds[i], b.statistics.sds[i]) ||
        !same(a.statistics.means[i], b.statistics.means[i])) {
      return false;
    }
    for (int j = 1; j <= K; ++j) {
      if (!same(a.statistics.R(i, j), b.statistics.R(i, j))) return false;
    }
  }
  return true;
}

// Cases on one set of draws: the first kFirstSharedCases, so that a series
// shows its first rows (and keeps them when stopped) early, then as many as
// keep at most kKeptDrawsBudget bytes of their draws (and at most
// kMaxSharedCases), so that a long series pays for few sets of draws.
constexpr std::size_t kFirstSharedCases = 8;
constexpr std::size_t kMaxSharedCases = 64;
constexpr std::size_t kKeptDrawsBudget = std::size_t{96} << 20;

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
  [[maybe_unused]] const ExtendedPrecision extended;  // on whatever thread the caller runs it
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
  const std::int64_t D = request.base.drawCount;
  const std::int64_t total = static_cast<std::int64_t>(usable.size()) * D;
  const bool twoSided = request.base.limit == CredibleLimitChoice::TwoSided;
  const std::size_t largest = std::clamp<std::size_t>(
      kKeptDrawsBudget /
          std::max<std::size_t>(1, SharedCaseBytes(std::max<int>(1, request.base.drawCount),
                                                   kCrediblePercent, twoSided)),
      1, kMaxSharedCases);
  std::size_t group = std::min(largest, kFirstSharedCases);

  std::vector<std::optional<AnalysisOutcome>> outcome(n);
  std::vector<bool> ended(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    if (!rows[i].error.empty()) ended[i] = true;  // a bad row ends at once
  }
  std::size_t delivered = 0;
  // Hands on the cases that have ended, in order, from the first not yet
  // handed on; with all set, also those after a case that did not end.
  const auto deliver = [&](bool all) {
    for (;;) {
      while (all && delivered < n && !ended[delivered]) ++delivered;
      if (delivered >= n || !ended[delivered]) return;
      const std::size_t i = delivered++;
      std::optional<AnalysisOutcome> shown = std::move(outcome[i]);
      outcome[i].reset();
      ++summary.finished;
      if (!summary.caseFailure) {
        if (!rows[i].error.empty()) {
          summary.caseFailure =
              Failure(ErrorKind::DataFileContent, Reason::InvalidNumber, rows[i].error);
        } else if (!shown->ok()) {
          summary.caseFailure = shown->error();
        }
      }
      if (request.onCase) request.onCase(rows[i], shown ? &*shown : nullptr);
    }
  };

  const auto stopped = [&request] { return request.stop && request.stop(); };
  // Progress over all cases: those ended, and the draws of the cases running.
  std::int64_t endedDraws = 0;
  auto lastShown = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  const auto showProgress = [&](std::int64_t running, bool force) {
    if (!request.progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastShown < std::chrono::milliseconds(50)) return;
    lastShown = now;
    request.progress(std::min(total, endedDraws + running), total);
  };
  const auto progressOf = [&](std::int64_t cases) {
    return [&, cases](std::int64_t done, std::int64_t) {
      showProgress(done * cases, false);
      return !stopped();
    };
  };
  showProgress(0, true);

  bool cancelled = false;
  for (std::size_t start = 0; start < usable.size() && !cancelled;
       start += group, group = largest) {
    if (stopped()) {
      cancelled = true;
      break;
    }
    // The next cases in input order: each prepared as its single run would be.
    const std::size_t end = std::min(usable.size(), start + group);
    std::vector<AnalysisRequest> requests;
    std::vector<std::optional<PreparedAnalysis>> prepared;
    for (std::size_t u = start; u < end; ++u) {
      const std::size_t i = usable[u];
      requests.push_back(CaseRequest(request.base, controls, rows[i]));
      auto ready = PrepareAnalysis(requests.back());
      if (auto* error = std::get_if<AnalysisError>(&ready)) {
        outcome[i] = std::move(*error);
        ended[i] = true;
        endedDraws += D;
        prepared.emplace_back();
      } else {
        prepared.emplace_back(std::move(std::get<PreparedAnalysis>(ready)));
      }
    }
    // Those on the same engine statistics share one set of draws.
    std::vector<bool> taken(prepared.size(), false);
    for (std::size_t w = 0; w < prepared.size() && !cancelled; ++w) {
      if (!prepared[w] || taken[w]) continue;
      std::vector<std::size_t> members;
      for (std::size_t v = w; v < prepared.size(); ++v) {
        if (prepared[v] && !taken[v] &&
            SameEngineStatistics(prepared[w]->engineInputs, prepared[v]->engineInputs,
                                 controls.K)) {
          taken[v] = true;
          members.push_back(v);
        }
      }
      std::vector<SharedCase> cases(members.size());
      for (std::size_t m = 0; m < members.size(); ++m) {
        cases[m].caseScores = &prepared[members[m]]->engineInputs.statistics.caseScores;
      }
      const EngineInputs& in = prepared[w]->engineInputs;
      SharedRunOptions options;
      options.threads = request.workers;
      options.progress = progressOf(static_cast<std::int64_t>(members.size()));
      bool ran = false;
      try {
        ran = Run_Shared_Draws(request.base.prior == PriorChoice::Calibrated, controls.K - 2,
                               controls.N, request.base.drawCount, twoSided, kCrediblePercent,
                               in.statistics.sds, in.statistics.means, in.statistics.R, cases,
                               options);
      } catch (const std::bad_alloc&) {
        // Not enough memory for the cases' kept draws: each case alone, as
        // its single run (which gives its own answer to the shortage).
        ran = true;
        for (SharedCase& one : cases) one.exact = false;
      }
      if (!ran) {
        cancelled = true;
        break;
      }
      for (std::size_t m = 0; m < members.size(); ++m) {
        const std::size_t v = members[m];
        const std::size_t i = usable[start + v];
        const SharedCase& one = cases[m];
        if (!one.exact) {
          // This case alone, as its single run.
          AnalysisRequest alone = requests[v];
          alone.progress = progressOf(1);
          AnalysisOutcome single = RunAnalysis(alone);
          if (!single.ok() && single.error().kind == ErrorKind::Cancelled) {
            cancelled = true;
            break;
          }
          outcome[i] = std::move(single);
          continue;
        }
        Analysis& a = prepared[v]->analysis;
        a.condMeans = one.condMeans;
        a.condSDs = one.condSDs;
        a.partialR = one.partialR;
        a.condZ1 = one.condZ1;
        a.condZ2 = one.condZ2;
        a.results = one.results;
        a.phiSums = one.phiSums;
        outcome[i] =
            FinishAnalysis(requests[v], std::move(*prepared[v]), one.completed, one.diagnostics);
      }
      if (cancelled) break;
      for (const std::size_t v : members) ended[usable[start + v]] = true;
      endedDraws += static_cast<std::int64_t>(members.size()) * D;
      showProgress(0, true);
      deliver(false);
    }
    deliver(false);
  }

  const bool complete = std::all_of(ended.begin(), ended.end(), [](bool e) { return e; });
  deliver(true);
  if (!complete) {
    if (!summary.caseFailure || summary.caseFailure->kind != ErrorKind::Cancelled) {
      summary.caseFailure = Failure(ErrorKind::Cancelled, Reason::Cancelled, "Interrupted.");
    }
  }
  return summary;
}

}  // namespace quorvane
