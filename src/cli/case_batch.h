// Many cases against one control sample: the cases file, and the analyses of
// its cases run in parallel.
//
// Cases file: one case per line, Y1, Y2 and the k covariates (k + 2 numbers,
// written as in a raw data file and separated by blanks or tabs). A line may
// begin with an ID: when its first item is not a number, that item is the
// case's ID (so an ID never looks like a number). Empty lines are skipped; a
// line is numbered as it stands in the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/result_formats.h"

namespace quorvane::cli {

struct CaseRow {
  CaseOrigin origin;                // line number and ID
  std::vector<long double> scores;  // Y1, Y2, covariates (k + 2 values) when usable
  std::string error;                // why the row cannot be analysed (empty when usable)
};

// The case rows of a stream for K = k + 2 numbers per case.
std::vector<CaseRow> ReadCaseRows(std::istream& in, int K);

// The controls every case is analysed against: rows 1..N of a raw data table,
// or summary statistics (whose case scores are not used), and the name the
// report gives the data or summary file.
struct BatchControls {
  DataMatrix rows{0};
  std::optional<SummaryInput> summary;  // set: the controls are these statistics
  int N = 0;
  int K = 0;
  std::string name;
};

// The request for one case, run on one thread: base with its data replaced by
// the controls followed by the case as row N + 1 (what a raw data file with
// that case as its last row gives), or by the summary statistics with the
// case's scores as their case scores (what a summary file with that case's
// scores gives).
AnalysisRequest CaseRequest(const AnalysisRequest& base, const BatchControls& controls,
                            const CaseRow& row);

// One slot per case row, in input order: the outcome, or nothing when the row
// was bad (see CaseRow::error) or the run was stopped before the case ended.
struct CaseResult {
  std::optional<AnalysisOutcome> outcome;
  bool finished = false;  // a result, an error, or a bad row: something to write
};

// Runs every usable row on `workers` threads (0: one per core), each analysis
// on a thread of its own. progress(done, total) is called on the calling
// thread now and then with the draws done over all cases; stop() is asked
// often from every thread: once it returns true no case starts, the running
// ones are cancelled, and their slots stay unfinished.
std::vector<CaseResult> RunCases(const AnalysisRequest& base, const BatchControls& controls,
                                 const std::vector<CaseRow>& rows, int workers,
                                 const std::function<void(std::int64_t, std::int64_t)>& progress,
                                 const std::function<bool()>& stop);

}  // namespace quorvane::cli
