#include "TemplateForm/series_output.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "TemplateForm/multiplicity.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

constexpr const char* kProbabilityFormat = "%.5Lf";  // as the report prints p values

// An analysis of the batch's shape (K variables, the deficit tests asked for
// or not), for the names of its CSV columns before any result has come.
Analysis ShapeOf(int K, const DeficitChoice& deficits) {
  Analysis a;
  a.K = K;
  a.k = K - 2;
  a.deficits = deficits;
  for (int task = 1; task <= 2; ++task) {
    DeficitResult& r = a.deficit[static_cast<std::size_t>(task - 1)];
    r.problem = DeficitProblem::None;
    r.task = task;
    r.poorer = deficits.poorer[static_cast<std::size_t>(task - 1)];
  }
  return a;
}

void AddErrorColumns(std::vector<std::string>& columns) {
  for (const char* name : {"error.kind", "error.message"}) {
    if (std::find(columns.begin(), columns.end(), name) == columns.end()) {
      columns.emplace_back(name);
    }
  }
}

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadFieldValue:
      return "bad input value";
    case ErrorKind::DataFileUnreadable:
      return "data file unreadable";
    case ErrorKind::DataFileContent:
      return "data content";
    case ErrorKind::NotAnalysable:
      return "not analysable";
    case ErrorKind::Cancelled:
      return "cancelled";
    case ErrorKind::OutOfMemory:
      return "out of memory";
    case ErrorKind::Internal:
      break;
  }
  return "internal";
}

Json BatchEntryJson(const CaseRow& row, const AnalysisOutcome* outcome,
                    const std::string& version) {
  if (outcome != nullptr && outcome->ok())
    return AnalysisJson(outcome->result(), version, &row.origin);
  if (outcome == nullptr) return CaseErrorJson(row.origin, "case row", row.error, version);
  return CaseErrorJson(row.origin, ErrorKindName(outcome->error().kind),
                       WithLineFeeds(outcome->error().message), version);
}

RecordFields CsvRecordFields(const Json& entry) {
  RecordFields fields = FlattenJson(entry);
  std::erase_if(fields, [](const auto& field) { return field.first.rfind("warnings.", 0) == 0; });
  return fields;
}

std::vector<std::string> CsvColumns(const std::vector<RecordFields>& records) {
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const RecordFields& record : records) {
    for (const auto& [name, value] : record) {
      if (seen.insert(name).second) columns.push_back(name);
    }
  }
  return columns;
}

std::vector<std::string> BatchCsvColumns(int K, const DeficitChoice& deficits,
                                         const std::string& version,
                                         const RecordFields& firstResult, bool holm) {
  const CaseOrigin origin;
  Json shape = AnalysisJson(ShapeOf(K, deficits), version, &origin);
  if (holm) AddHolmAdjusted(shape, 0);
  std::vector<std::string> columns = CsvColumns({CsvRecordFields(shape), firstResult});
  AddErrorColumns(columns);
  return columns;
}

std::vector<std::string> ErrorCsvColumns(const std::vector<RecordFields>& entries) {
  std::vector<std::string> columns = CsvColumns(entries);
  AddErrorColumns(columns);
  return columns;
}

void AddHolmAdjusted(Json& entry, long double adjusted) {
  const auto results = entry.find("results");
  if (results == entry.end() || !results->is_object()) return;
  Json with = Json::object();
  for (const auto& [key, value] : results->items()) {
    with[key] = value;
    if (key == "twoTailedP") with["twoTailedPHolm"] = NumberPair(adjusted, kProbabilityFormat);
  }
  *results = std::move(with);
}

std::vector<long double> SeriesHolmAdjusted(const std::vector<SeriesCase>& cases) {
  std::vector<long double> p;
  p.reserve(cases.size());
  for (const SeriesCase& c : cases) {
    p.push_back(c.HasResult() ? c.outcome->result().results.twoTailedP
                              : std::numeric_limits<long double>::quiet_NaN());
  }
  return HolmAdjusted(p);
}

std::vector<std::string> SeriesCsv(const std::vector<SeriesCase>& cases, int K,
                                   const DeficitChoice& deficits, const std::string& version,
                                   const std::vector<long double>* holm, bool holmColumns) {
  std::vector<RecordFields> records;
  records.reserve(cases.size());
  std::optional<std::size_t> firstResult;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const SeriesCase& c = cases[i];
    Json entry = BatchEntryJson(c.row, c.Outcome(), version);
    if (c.HasResult()) {
      if (holm != nullptr) AddHolmAdjusted(entry, (*holm)[i]);
      if (!firstResult) firstResult = i;
    }
    records.push_back(CsvRecordFields(entry));
  }
  const std::vector<std::string> columns =
      firstResult ? BatchCsvColumns(K, deficits, version, records[*firstResult],
                                    holm != nullptr || holmColumns)
                  : ErrorCsvColumns(records);
  return CsvTable(columns, records);
}

}  // namespace quorvane
