#include "cli/result_output.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

#include "TemplateForm/report.h"
#include "TemplateForm/result_formats.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane::cli {

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Indented JSON; text that is not valid UTF-8 (a file name, an ID) has its
// bad bytes replaced rather than stopping the output.
std::string Dump(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace);
}

// A record's fields for CSV: the JSON's leaves without its warnings, which
// standard error shows (a varying number of columns would not make a table).
Fields CsvFields(const Json& object) {
  Fields fields = FlattenJson(object);
  std::erase_if(fields, [](const auto& field) { return field.first.rfind("warnings.", 0) == 0; });
  return fields;
}

// The columns of the rows, in the order they first appear: the results' first,
// so that error columns come last.
std::vector<std::string> Columns(const std::vector<Fields>& rows) {
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const Fields& row : rows) {
    for (const auto& [name, value] : row) {
      if (seen.insert(name).second) columns.push_back(name);
    }
  }
  return columns;
}

// A batch's lines go to a sink that counts every line ever added, so that a
// report knows whether it follows another.
class CountedLines : public LineSink {
 public:
  explicit CountedLines(int before) : before_(before) {}
  void Add(const std::string& line) override { lines.push_back(line); }
  int Count() const override { return before_ + static_cast<int>(lines.size()); }
  std::vector<std::string> lines;

 private:
  int before_;
};

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

}  // namespace

OutputFormat ParseOutputFormat(const std::string& name) {
  if (name == "json") return OutputFormat::Json;
  if (name == "csv") return OutputFormat::Csv;
  return OutputFormat::Text;
}

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

const char* LineEnd(OutputFormat format) {
  return format == OutputFormat::Csv ? "\r\n" : "\n";
}

std::vector<std::string> SingleOutput(OutputFormat format, const Analysis& analysis,
                                      const std::string& version) {
  switch (format) {
    case OutputFormat::Json:
      return SplitLines(Dump(AnalysisJson(analysis, version)));
    case OutputFormat::Csv: {
      const Fields fields = CsvFields(AnalysisJson(analysis, version));
      return CsvTable(Columns({fields}), {fields});
    }
    case OutputFormat::Text:
      break;
  }
  LineList report;
  WriteReport(analysis, report);
  return report.Lines();
}

BatchOutput::BatchOutput(OutputFormat format, std::string version, int K, DeficitChoice deficits)
    : format_(format), version_(std::move(version)), K_(K), deficits_(deficits) {}

std::vector<std::string> BatchOutput::CsvRecords(const Fields& row) {
  std::vector<std::string> records = CsvTable(csvColumns_, {row});
  records.erase(records.begin());  // the header, written once
  return records;
}

std::vector<std::string> BatchOutput::Add(const CaseRow& row, const AnalysisOutcome* outcome,
                                          std::vector<std::string>& errorLines) {
  const CaseOrigin& origin = row.origin;
  std::optional<Json> object;
  if (outcome != nullptr && outcome->ok()) {
    if (format_ == OutputFormat::Text) {
      CountedLines report(reports_);
      WriteReport(outcome->result(), report);
      reports_ = report.Count();
      return report.lines;
    }
    object = AnalysisJson(outcome->result(), version_, &origin);
  } else {
    std::string kind = "case row";
    std::string message = row.error;
    if (outcome != nullptr) {
      kind = ErrorKindName(outcome->error().kind);
      message = WithLineFeeds(outcome->error().message);
    }
    errorLines.push_back("Case at line " + std::to_string(origin.line) +
                         (origin.id.empty() ? "" : " (" + origin.id + ")") + ": " + message);
    if (format_ == OutputFormat::Text) return {};
    object = CaseErrorJson(origin, kind, message, version_);
  }
  std::vector<std::string> lines;
  if (format_ == OutputFormat::Json) {
    // The array as one dump would indent it: each object's lines two blanks
    // in, a comma after each object but the last.
    if (!jsonOpen_) {
      lines.push_back("[");
      jsonOpen_ = true;
    } else {
      lines.push_back(heldJsonLine_ + ",");
    }
    std::vector<std::string> own = SplitLines(Dump(*object));
    for (std::size_t i = 0; i + 1 < own.size(); ++i) lines.push_back("  " + own[i]);
    heldJsonLine_ = "  " + own.back();
    return lines;
  }
  const bool result = outcome != nullptr && outcome->ok();
  const Fields fields = CsvFields(*object);
  if (csvColumns_.empty() && !result) {
    heldCsv_.push_back(fields);  // the columns are known once a result has come
    return {};
  }
  if (csvColumns_.empty()) {
    // Every result of the batch has the columns of this one.
    csvColumns_ =
        Columns({CsvFields(AnalysisJson(ShapeOf(K_, deficits_), version_, &origin)), fields});
    for (const char* name : {"error.kind", "error.message"}) {
      if (std::find(csvColumns_.begin(), csvColumns_.end(), name) == csvColumns_.end()) {
        csvColumns_.emplace_back(name);
      }
    }
    lines = CsvTable(csvColumns_, heldCsv_);
    heldCsv_.clear();
  }
  for (std::string& record : CsvRecords(fields)) lines.push_back(std::move(record));
  return lines;
}

std::vector<std::string> BatchOutput::Finish() {
  switch (format_) {
    case OutputFormat::Json:
      if (!jsonOpen_) return {"[]"};
      return {heldJsonLine_, "]"};
    case OutputFormat::Csv:
      if (csvColumns_.empty()) {
        // No result at all: the error entries' own columns.
        std::vector<std::string> columns = Columns(heldCsv_);
        for (const char* name : {"error.kind", "error.message"}) {
          if (std::find(columns.begin(), columns.end(), name) == columns.end()) {
            columns.emplace_back(name);
          }
        }
        return CsvTable(columns, heldCsv_);
      }
      return {};
    case OutputFormat::Text:
      break;
  }
  return {};
}

}  // namespace quorvane::cli
