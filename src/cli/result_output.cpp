#include "cli/result_output.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

#include "TemplateForm/report.h"
#include "TemplateForm/result_formats.h"
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

// The columns of the rows, in the order they first appear: the results' first,
// so that error columns come last.
std::vector<std::string> Columns(const std::vector<Fields>& results,
                                 const std::vector<Fields>& errors) {
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const auto* group : {&results, &errors}) {
    for (const Fields& row : *group) {
      for (const auto& [name, value] : row) {
        if (seen.insert(name).second) columns.push_back(name);
      }
    }
  }
  return columns;
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
      const Fields fields = FlattenJson(AnalysisJson(analysis, version));
      return CsvTable(Columns({fields}, {}), {fields});
    }
    case OutputFormat::Text:
      break;
  }
  LineList report;
  WriteReport(analysis, report);
  return report.Lines();
}

std::vector<std::string> BatchOutput(OutputFormat format, const std::vector<CaseRow>& rows,
                                     const std::vector<CaseResult>& results,
                                     const std::string& version,
                                     std::vector<std::string>& errorLines) {
  LineList reports;
  Json array = Json::array();
  std::vector<Fields> all, resultFields, errorFields;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!results[i].finished) continue;
    const CaseOrigin& origin = rows[i].origin;
    const AnalysisOutcome* outcome =
        results[i].outcome.has_value() ? &*results[i].outcome : nullptr;
    if (outcome != nullptr && outcome->ok()) {
      if (format == OutputFormat::Text) WriteReport(outcome->result(), reports);
      Json object = AnalysisJson(outcome->result(), version, &origin);
      if (format == OutputFormat::Csv) {
        all.push_back(FlattenJson(object));
        resultFields.push_back(all.back());
      }
      array.push_back(std::move(object));
      continue;
    }
    std::string kind = "case row";
    std::string message = rows[i].error;
    if (outcome != nullptr) {
      kind = ErrorKindName(outcome->error().kind);
      message = outcome->error().message;
      for (char& c : message) {
        if (c == '\r') c = '\n';
      }
    }
    errorLines.push_back("Case at line " + std::to_string(origin.line) +
                         (origin.id.empty() ? "" : " (" + origin.id + ")") + ": " + message);
    Json object = CaseErrorJson(origin, kind, message, version);
    if (format == OutputFormat::Csv) {
      all.push_back(FlattenJson(object));
      errorFields.push_back(all.back());
    }
    array.push_back(std::move(object));
  }
  switch (format) {
    case OutputFormat::Json:
      return SplitLines(Dump(array));
    case OutputFormat::Csv: {
      std::vector<std::string> columns = Columns(resultFields, errorFields);
      for (const char* name : {"error.kind", "error.message"}) {
        if (std::find(columns.begin(), columns.end(), name) == columns.end()) {
          columns.emplace_back(name);
        }
      }
      return CsvTable(columns, all);
    }
    case OutputFormat::Text:
      break;
  }
  return reports.Lines();
}

}  // namespace quorvane::cli
