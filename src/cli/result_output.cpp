#include "cli/result_output.h"

#include <sstream>
#include <utility>

#include "TemplateForm/report.h"
#include "TemplateForm/result_formats.h"
#include "TemplateForm/series_output.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane::cli {

namespace {

using Fields = RecordFields;

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

}  // namespace

OutputFormat ParseOutputFormat(const std::string& name) {
  if (name == "json") return OutputFormat::Json;
  if (name == "csv") return OutputFormat::Csv;
  return OutputFormat::Text;
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
      const Fields fields = CsvRecordFields(AnalysisJson(analysis, version));
      return CsvTable(CsvColumns({fields}), {fields});
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
  const bool result = outcome != nullptr && outcome->ok();
  if (result && format_ == OutputFormat::Text) {
    CountedLines report(reports_);
    WriteReport(outcome->result(), report);
    reports_ = report.Count();
    return report.lines;
  }
  const Json entry = BatchEntryJson(row, outcome, version_);
  if (!result) {
    errorLines.push_back("Case at line " + std::to_string(origin.line) +
                         (origin.id.empty() ? "" : " (" + origin.id + ")") + ": " +
                         entry.at("error").at("message").get<std::string>());
    if (format_ == OutputFormat::Text) return {};
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
    std::vector<std::string> own = SplitLines(Dump(entry));
    for (std::size_t i = 0; i + 1 < own.size(); ++i) lines.push_back("  " + own[i]);
    heldJsonLine_ = "  " + own.back();
    return lines;
  }
  const Fields fields = CsvRecordFields(entry);
  if (csvColumns_.empty() && !result) {
    heldCsv_.push_back(fields);  // the columns are known once a result has come
    return {};
  }
  if (csvColumns_.empty()) {
    // Every result of the batch has the columns of this one.
    csvColumns_ = BatchCsvColumns(K_, deficits_, version_, fields);
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
        const std::vector<std::string> columns = ErrorCsvColumns(heldCsv_);
        return CsvTable(columns, heldCsv_);
      }
      return {};
    case OutputFormat::Text:
      break;
  }
  return {};
}

}  // namespace quorvane::cli
