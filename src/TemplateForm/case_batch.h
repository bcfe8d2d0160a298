// Many cases against one control sample, as one call: the cases file read
// with the program's text reader, the cases analysed on shared posterior
// draws (shared_draws.h: 8 cases on one set of draws, then 16, up to 64, which
// the threads evaluate together), each case's outcome handed on in input
// order. Each outcome is that of the case's single run, bit for bit: cases
// whose engines run on other statistics (the centred fallback, decided per
// case) share draws only with cases like them, and a case the shared draws
// cannot promise that for runs alone.
//
// Cases file: one case per line, Y1, Y2 and the k covariates (k + 2 numbers,
// written as in a raw data file and separated by blanks or tabs). A line may
// begin with an ID: when its first item is not a number, that item is the
// case's ID (so an ID never looks like a number). Empty lines are skipped; a
// line is numbered as it stands in the file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "file_io/text_reader.h"

namespace quorvane {

// Where a batch's case came from: its line in the cases file and its ID
// (empty when the row has none).
struct CaseOrigin {
  int line = 0;
  std::string id;
};

struct CaseRow {
  CaseOrigin origin;                // line number and ID
  std::vector<long double> scores;  // Y1, Y2, covariates (k + 2 values) when usable
  std::string error;                // why the row cannot be analysed (empty when usable)
  std::vector<std::string> warnings;
};

// The case rows of a cases file for K = k + 2 numbers per case.
// @throws TextFileError as the reader refuses the file.
std::vector<CaseRow> ReadCaseRows(TextReader& in, int K);

struct BatchRequest {
  // The inputs every case shares (counts, prior, limit, draws, notes); its
  // data are the controls: a raw data file, whose first N rows are the
  // controls (further rows are not used), or summary statistics, whose case
  // scores each case's replace. Its stop function is asked while the files
  // keep the reader waiting.
  AnalysisRequest base;
  std::string casesFile;
  int workers = 0;  // threads evaluating the shared draws (0: one per core)
  // Called on the calling thread now and then with the draws done over all
  // cases and their total.
  std::function<void(std::int64_t done, std::int64_t total)> progress;
  // Asked often (on the calling thread): once it returns true no case starts, the
  // running ones are cancelled.
  std::function<bool()> stop;
  // Each case that ended (a result, an error, or a bad row: outcome null),
  // in input order, on the calling thread, as soon as every case before it
  // has ended too; once the batch stops, the cases that ended after one that
  // did not follow in their order.
  std::function<void(const CaseRow& row, const AnalysisOutcome* outcome)> onCase;
};

struct BatchSummary {
  // A failure before any case ran (N or k refused, the data file or the
  // cases file unreadable, too few complete control rows): onCase was not
  // called.
  std::optional<AnalysisError> failure;
  // The first failed case's error in input order (a bad case row counts as
  // DataFileContent), or Cancelled when stopped; std::nullopt when every case
  // has its result.
  std::optional<AnalysisError> caseFailure;
  int cases = 0;     // case rows read
  int finished = 0;  // cases handed to onCase
  // What the user should know of the controls (rows of the data file not
  // used, digits lost on reading).
  std::vector<std::string> warnings;
};

BatchSummary RunBatch(const BatchRequest& request);

}  // namespace quorvane
