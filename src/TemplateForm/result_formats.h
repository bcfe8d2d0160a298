// An analysis as data for scripts: a JSON object, or a flat row of named
// fields for CSV. Every number that is computed comes as a pair: "value", the
// full-precision 80-bit number as decimal text with 21 significant digits
// (enough to read back the same long double), and "text", the number as the
// report rounds it. The README lists the fields.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/case_batch.h"
#include "text/format_text.h"

namespace quorvane {

using Json = nlohmann::ordered_json;

// {"value": FullPrecision(value), "text": the value in printf format, blanks trimmed}.
Json NumberPair(long double value, const char* format);

// The Monte Carlo standard error of the one-tailed probability: that of the
// mean of Phi(z*) over the D draws, sqrt(s^2 / D) with s^2 the draws' variance
// of Phi (divisor D - 1). Zero for a single draw.
long double OneTailedStandardError(const Analysis& a);

// The whole analysis (see the README for the fields). version is the
// program's version; origin, when given, adds the "case" member; the
// analysis's warnings, when it has any, come last as "warnings".
Json AnalysisJson(const Analysis& a, const std::string& version,
                  const CaseOrigin* origin = nullptr);

// A case of a batch that gave no result: "program", "case", and "error"
// {"kind", "message"}.
Json CaseErrorJson(const CaseOrigin& origin, const std::string& kind, const std::string& message,
                   const std::string& version);

// The object's leaves as (name, text) in order: nested names joined by ".",
// array elements numbered from 1; strings as they are, other values as JSON
// text.
std::vector<std::pair<std::string, std::string>> FlattenJson(const Json& object);

// One CSV field: quoted (inner quotes doubled) when it holds a comma, a quote,
// a carriage return or a line feed (RFC 4180).
std::string CsvField(const std::string& text);

// Rows as CSV records: a header of the columns, then one record per row with
// each column's value (empty when the row lacks it). The records carry no line
// end (RFC 4180 ends each in CR LF); a quoted field may hold line breaks.
std::vector<std::string> CsvTable(
    const std::vector<std::string>& columns,
    const std::vector<std::vector<std::pair<std::string, std::string>>>& rows);

}  // namespace quorvane
