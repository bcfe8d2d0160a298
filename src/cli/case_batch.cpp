#include "cli/case_batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "TemplateForm/raw_data_loader.h"
#include "text/format_text.h"

namespace quorvane::cli {

namespace {

// The items of a line: runs of characters other than blanks and control characters.
std::vector<std::string> Items(const std::string& line) {
  std::vector<std::string> items;
  std::string item;
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) {
      if (!item.empty()) items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(item);
  return items;
}

// The item read as a raw data file's number is read; false when it is not one.
bool ReadNumber(const std::string& item, long double& value) {
  std::istringstream in(item);
  DataMatrix one(1);
  try {
    ReadRawData(in, 1, 1, one);
  } catch (const RawDataError&) {
    return false;
  }
  value = one(1, 1);
  return true;
}

CaseRow ParseCaseRow(const std::vector<std::string>& items, int line, int K) {
  CaseRow row;
  row.origin.line = line;
  std::size_t first = 0;
  long double value = 0;
  if (!ReadNumber(items[0], value)) {
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
  for (std::size_t i = first; i < items.size(); ++i) {
    if (!ReadNumber(items[i], value)) {
      row.error = FormatText("Invalid numeric input in column %d: \"%s\"",
                             static_cast<int>(i - first + 1), items[i].c_str());
      row.scores.clear();
      return row;
    }
    row.scores.push_back(value);
  }
  return row;
}

}  // namespace

std::vector<CaseRow> ReadCaseRows(std::istream& in, int K) {
  std::vector<CaseRow> rows;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int line = 1;
  std::string current;
  auto endLine = [&] {
    const std::vector<std::string> items = Items(current);
    if (!items.empty()) rows.push_back(ParseCaseRow(items, line, K));
    current.clear();
    ++line;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endLine();
    } else {
      current += text[i];
    }
  }
  if (!current.empty()) endLine();
  return rows;
}

AnalysisRequest CaseRequest(const AnalysisRequest& base, const BatchControls& controls,
                            const CaseRow& row) {
  AnalysisRequest request = base;
  request.threads = 1;
  request.keepDraws = false;
  request.notice = nullptr;
  if (controls.summary) {
    SummaryInput input = *controls.summary;
    for (int j = 1; j <= controls.K && j <= static_cast<int>(row.scores.size()); ++j) {
      input.statistics.caseScores[j] = row.scores[static_cast<std::size_t>(j - 1)];
    }
    request.data = std::move(input);
    return request;
  }
  const int N = controls.N;
  RawDataTable table;
  table.rows = DataMatrix(std::max(N + 1, controls.rows.Rows()));
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= controls.K; ++j) table.rows(i, j) = controls.rows(i, j);
  }
  for (int j = 1; j <= controls.K && j <= static_cast<int>(row.scores.size()); ++j) {
    table.rows(N + 1, j) = row.scores[static_cast<std::size_t>(j - 1)];
  }
  table.name = controls.name;
  request.data = std::move(table);
  return request;
}

std::vector<CaseResult> RunCases(const AnalysisRequest& base, const BatchControls& controls,
                                 const std::vector<CaseRow>& rows, int workers,
                                 const std::function<void(std::int64_t, std::int64_t)>& progress,
                                 const std::function<bool()>& stop) {
  const std::size_t n = rows.size();
  std::vector<CaseResult> results(n);
  std::vector<std::size_t> usable;
  for (std::size_t i = 0; i < n; ++i) {
    if (rows[i].error.empty()) {
      usable.push_back(i);
    } else {
      results[i].finished = true;
    }
  }
  const std::int64_t total = static_cast<std::int64_t>(usable.size()) * base.drawCount;
  auto done = std::make_unique<std::atomic<std::int64_t>[]>(usable.size());
  for (std::size_t u = 0; u < usable.size(); ++u) done[u].store(0);

  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable allDone;
  std::size_t running = 0;

  auto work = [&] {
    for (;;) {
      if (stop()) break;
      const std::size_t u = next.fetch_add(1);
      if (u >= usable.size()) break;
      const std::size_t i = usable[u];
      AnalysisRequest request = CaseRequest(base, controls, rows[i]);
      request.progress = [&, u](std::int64_t draws, std::int64_t) {
        done[u].store(draws, std::memory_order_relaxed);
        return !stop();
      };
      AnalysisOutcome outcome = RunAnalysis(request);
      if (!outcome.ok() && outcome.error().kind == ErrorKind::Cancelled) break;
      done[u].store(base.drawCount, std::memory_order_relaxed);
      results[i].outcome = std::move(outcome);
      results[i].finished = true;
    }
    std::lock_guard lock(mutex);
    --running;
    allDone.notify_all();
  };

  int threads = workers > 0 ? workers : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, std::max(1, static_cast<int>(usable.size())));
  std::vector<std::thread> pool;
  running = static_cast<std::size_t>(threads);
  for (int t = 0; t < threads; ++t) pool.emplace_back(work);
  for (;;) {
    std::int64_t sum = 0;
    for (std::size_t u = 0; u < usable.size(); ++u) sum += done[u].load(std::memory_order_relaxed);
    if (progress) progress(sum, total);
    std::unique_lock lock(mutex);
    if (allDone.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
      break;
    }
  }
  for (std::thread& thread : pool) thread.join();
  return results;
}

}  // namespace quorvane::cli
