#include "TemplateForm/result_formats.h"

#include <cmath>

#include "TemplateForm/deficit_report.h"
#include "TemplateForm/dissociation.h"
#include "TemplateForm/summary_file.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

// The report's formats without their widths (the text is trimmed anyway).
constexpr const char* kStatistic = "%.3Lf";    // means, SDs, scores, z scores, conditional values
constexpr const char* kCorrelation = "%.5Lf";  // the correlation matrix
constexpr const char* kProbability = "%.5Lf";  // p values
constexpr const char* kEstimate = "%.3Lf";     // Z-DCCC, percentages and their limits

Json Pairs(const Vector& v, int from, int to, const char* format) {
  Json list = Json::array();
  for (int i = from; i <= to; ++i) list.push_back(NumberPair(v[i], format));
  return list;
}

Json ProgramJson(const std::string& version) {
  return Json{{"name", "quorvane-cli"}, {"version", version}};
}

Json CaseJson(const CaseOrigin& origin) {
  return Json{{"line", origin.line}, {"id", origin.id}};
}

void Flatten(const Json& node, const std::string& name,
             std::vector<std::pair<std::string, std::string>>& out) {
  if (node.is_object()) {
    for (const auto& [key, value] : node.items()) {
      Flatten(value, name.empty() ? key : name + "." + key, out);
    }
  } else if (node.is_array()) {
    for (std::size_t i = 0; i < node.size(); ++i) {
      Flatten(node[i], name + "." + std::to_string(i + 1), out);
    }
  } else if (node.is_string()) {
    out.emplace_back(name, node.get<std::string>());
  } else {
    out.emplace_back(name, node.dump());
  }
}

}  // namespace

Json NumberPair(long double value, const char* format) {
  return Json{{"value", FullPrecision(value)}, {"text", TrimBlanks(FormatText(format, value))}};
}

long double OneTailedStandardError(const Analysis& a) {
  const long double D = static_cast<long double>(a.drawCount);
  if (a.drawCount < 2) return 0;
  const long double mean = a.phiSums.sum / D;
  long double variance = (a.phiSums.squares - D * mean * mean) / (D - 1);
  if (variance < 0) variance = 0;  // rounding when every Phi is (nearly) the same
  return std::sqrt(variance / D);
}

namespace {

// A number the deficit tests may lack (a limit not found): null then.
Json OptionalPair(long double value, const char* format) {
  return std::isfinite(value) ? NumberPair(value, format) : Json(nullptr);
}

Json DeficitTaskJson(const DeficitResult& r, int task) {
  Json j{{"task", SummaryVariableName(task)},
         {"poorer", PoorerKeyword(r.poorer)},
         {"problem", DeficitProblemMessage(r.problem)}};
  if (!r.HasTest()) return j;
  j["df"] = r.df;
  j["predicted"] = NumberPair(r.predicted, kStatistic);
  j["residualSD"] = NumberPair(r.residualSD, kStatistic);
  j["leverage"] = NumberPair(r.leverage, kStatistic);
  j["t"] = NumberPair(r.t, kEstimate);
  j["oneTailedP"] = NumberPair(r.oneTailedP, kProbability);
  j["twoTailedP"] = NumberPair(r.twoTailedP, kProbability);
  j["effectSize"] = NumberPair(r.effectSize, kEstimate);
  j["effectSizeLower"] = OptionalPair(r.effectSizeLower, kEstimate);
  j["effectSizeUpper"] = OptionalPair(r.effectSizeUpper, kEstimate);
  j["percentBeyond"] = NumberPair(r.percentBeyond, kEstimate);
  j["percentLower"] = OptionalPair(r.percentLower, kEstimate);
  j["percentUpper"] = OptionalPair(r.percentUpper, kEstimate);
  return j;
}

Json DeficitsJson(const Analysis& a) {
  Json j{
      {"tasks", Json::array({DeficitTaskJson(a.deficit[0], 1), DeficitTaskJson(a.deficit[1], 2)})}};
  const std::optional<DissociationVerdict> verdict =
      ClassifyDissociation(a.deficit[0], a.deficit[1], a.results.twoTailedP, a.names);
  if (verdict) {
    j["verdict"] =
        Json{{"pattern", PatternName(verdict->pattern)},
             {"task", verdict->task == 0 ? std::string() : SummaryVariableName(verdict->task)},
             {"text", verdict->verdict},
             {"note", verdict->note},
             {"rule", verdict->rule}};
  } else {
    j["verdict"] = nullptr;
  }
  return j;
}

}  // namespace

Json AnalysisJson(const Analysis& a, const std::string& version, const CaseOrigin* origin) {
  Json j;
  j["program"] = ProgramJson(version);
  if (origin != nullptr) j["case"] = CaseJson(*origin);

  Json data{{"kind", a.fromSummary ? "summary statistics" : "raw data"}, {"file", a.dataFileName}};
  j["inputs"] = Json{{"controls", a.N},
                     {"covariates", a.k},
                     {"prior", PriorKeyword(a.prior)},
                     {"limit", LimitKeyword(a.limit)},
                     {"draws", a.drawCount},
                     {"seeds", Json::array({kEngineSeed1, kEngineSeed2})},
                     {"data", data}};

  Json names = Json::array();
  for (int v = 1; v <= a.K; ++v) names.push_back(VariableName(a.names, v));
  Json correlations = Json::array();
  for (int r = 1; r <= a.K; ++r) {
    Json row = Json::array();
    for (int c = 1; c <= a.K; ++c) row.push_back(NumberPair(a.R(r, c), kCorrelation));
    correlations.push_back(row);
  }
  j["statistics"] =
      Json{{"variables", names},
           {"means", Pairs(a.means, 1, a.K, kStatistic)},
           {"sds", Pairs(a.sds, 1, a.K, kStatistic)},
           {"caseScores", Pairs(a.caseScores, 1, a.K, kStatistic)},
           {"caseZ", Pairs(a.caseRawZ, 1, a.K, kStatistic)},
           {"correlations", correlations},
           {"conditionalMeans", Pairs(a.condMeans, 1, 2, kStatistic)},
           {"conditionalSDs", Pairs(a.condSDs, 1, 2, kStatistic)},
           {"partialCorrelation", NumberPair(a.partialR, kStatistic)},
           {"caseConditionalZ",
            Json::array({NumberPair(a.condZ1, kStatistic), NumberPair(a.condZ2, kStatistic)})},
           {"sdDiff", NumberPair(a.sdDiff, kStatistic)}};

  const EngineResults& r = a.results;
  j["results"] = Json{{"twoTailedP", NumberPair(r.twoTailedP, kProbability)},
                      {"oneTailedP", NumberPair(r.oneTailedP, kProbability)},
                      {"oneTailedPStandardError", NumberPair(OneTailedStandardError(a), "%.2Le")},
                      {"effectSize", NumberPair(r.effectSize, kEstimate)},
                      {"effectSizeLower", NumberPair(r.effectSizeLower, kEstimate)},
                      {"effectSizeUpper", NumberPair(r.effectSizeUpper, kEstimate)},
                      {"percentMoreExtreme", NumberPair(r.percentMoreExtreme, kEstimate)},
                      {"percentLower", NumberPair(r.percentLower, kEstimate)},
                      {"percentUpper", NumberPair(r.percentUpper, kEstimate)}};
  if (a.deficits.asked) j["deficits"] = DeficitsJson(a);
  if (!a.warnings.empty()) j["warnings"] = a.warnings;
  return j;
}

Json CaseErrorJson(const CaseOrigin& origin, const std::string& kind, const std::string& message,
                   const std::string& version) {
  Json j;
  j["program"] = ProgramJson(version);
  j["case"] = CaseJson(origin);
  j["error"] = Json{{"kind", kind}, {"message", message}};
  return j;
}

std::vector<std::pair<std::string, std::string>> FlattenJson(const Json& object) {
  std::vector<std::pair<std::string, std::string>> out;
  Flatten(object, "", out);
  return out;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::vector<std::string> CsvTable(
    const std::vector<std::string>& columns,
    const std::vector<std::vector<std::pair<std::string, std::string>>>& rows) {
  std::vector<std::string> records;
  std::string header;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) header += ',';
    header += CsvField(columns[c]);
  }
  records.push_back(header);
  for (const auto& row : rows) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) out += ',';
      for (const auto& [name, value] : row) {
        if (name == columns[c]) {
          out += CsvField(value);
          break;
        }
      }
    }
    records.push_back(out);
  }
  return records;
}

}  // namespace quorvane
