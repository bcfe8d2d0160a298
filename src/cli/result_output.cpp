#include "cli/result_output.h"

#include <sstream>
#include <utility>

#include "TemplateForm/multiplicity.h"
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

std::vector<std::string> BatchOutput::Add(const CaseRow& row, const AnalysisOutcome* outcome,
                                          std::vector<std::string>& errorLines) {
  const CaseOrigin& origin = row.origin;
  const bool result = outcome != nullptr && outcome->ok();
  if (!result) {
    const Json entry = BatchEntryJson(row, outcome, version_);
    errorLines.push_back("Case at line " + std::to_string(origin.line) +
                         (origin.id.empty() ? "" : " (" + origin.id + ")") + ": " +
                         entry.at("error").at("message").get<std::string>());
  }
  if (format_ != OutputFormat::Text) {
    cases_.push_back({row, outcome != nullptr ? std::optional(*outcome) : std::nullopt});
    return {};
  }
  if (!result) return {};
  // The table at the end needs the case's line, ID and p only.
  origins_.push_back(origin);
  p_.push_back(outcome->result().results.twoTailedP);
  CountedLines report(reports_);
  WriteReport(outcome->result(), report);
  reports_ = report.Count();
  return report.lines;
}

std::vector<std::string> BatchOutput::Finish(bool complete) {
  const std::vector<long double> holm = SeriesHolmAdjusted(cases_);
  switch (format_) {
    case OutputFormat::Json: {
      // The array as one dump would indent it: each object's lines two blanks
      // in, a comma after each object but the last.
      if (cases_.empty()) return {"[]"};
      std::vector<std::string> lines = {"["};
      for (std::size_t i = 0; i < cases_.size(); ++i) {
        const SeriesCase& c = cases_[i];
        Json entry = BatchEntryJson(c.row, c.Outcome(), version_);
        if (complete && c.HasResult()) AddHolmAdjusted(entry, holm[i]);
        const std::vector<std::string> own = SplitLines(Dump(entry));
        for (std::size_t l = 0; l < own.size(); ++l) {
          const bool last = l + 1 == own.size() && i + 1 < cases_.size();
          lines.push_back("  " + own[l] + (last ? "," : ""));
        }
      }
      lines.push_back("]");
      return lines;
    }
    case OutputFormat::Csv:
      return SeriesCsv(cases_, K_, deficits_, version_, complete ? &holm : nullptr, true);
    case OutputFormat::Text:
      break;
  }
  return {};
}

std::vector<std::string> BatchOutput::HolmTable(bool complete) const {
  if (format_ != OutputFormat::Text || p_.empty()) return {};
  const std::vector<long double> holm = HolmAdjusted(p_);
  std::vector<std::string> lines;
  if (!complete) {
    lines.push_back(
        "The series was stopped before its end: no probability is adjusted for the number of "
        "cases.");
    return lines;
  }
  lines.push_back(FormatText(
      "Two-tailed probabilities adjusted for the number of cases (Holm's step-down method, %d "
      "cases with results; each report's unadjusted probability is the result of its case's "
      "test):",
      static_cast<int>(p_.size())));
  for (std::size_t i = 0; i < p_.size(); ++i) {
    const CaseOrigin& origin = origins_[i];
    lines.push_back(FormatText("  line %d%s: two-tailed p = %.5Lf, adjusted p = %.5Lf", origin.line,
                               origin.id.empty() ? "" : (" (" + origin.id + ")").c_str(), p_[i],
                               holm[i]));
  }
  return lines;
}

}  // namespace quorvane::cli
