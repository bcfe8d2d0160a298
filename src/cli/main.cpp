// quorvane-cli: one analysis without a window, or many cases against one
// control sample.
//
// The options are the worksheet's inputs, typed as text; the data file is the
// file the open dialog would return. The report goes to standard output, line
// by line, exactly as the results viewer would hold it after one run into an
// empty viewer; what the worksheet would show in boxes goes to standard error.
// The exit code tells the kind of failure (see kExitCodeHelp).

#include <CLI/CLI.hpp>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/case_batch.h"
#include "TemplateForm/plot_data.h"
#include "cli/output.h"
#include "cli/plot_output.h"
#include "cli/result_output.h"
#include "cli/summary_options.h"
#include "cli/terminal.h"
#include "file_io/safe_file.h"
#include "text/format_text.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

namespace quorvane::cli {

// Exit codes (also listed in --help and the README).
enum ExitCode : int {
  kSuccess = 0,
  kInternalError = 1,      // an unexpected failure inside the program
  kBadArguments = 2,       // the command line itself is wrong
  kBadInputValue = 3,      // N or the number of covariates refused by the worksheet's checks
  kDataFileProblem = 4,    // data file missing, unreadable, a bad number, or missing data
  kDataNotAnalysable = 5,  // not positive definite, a constant column, or unreliable numerics
  kOutputNotWritten = 6,   // --output or --plot file (or standard output) could not be written
  kOutOfMemory = 7,        // not enough memory for the data or the draws
  kInterrupted = 8,        // stopped by Ctrl-C (SIGINT) or SIGTERM
};

constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  the report was written\n"
    "  1  unexpected internal error\n"
    "  2  bad command-line arguments\n"
    "  3  bad input value (N or the number of covariates refused)\n"
    "  4  data file problem (cannot be opened or read, a number that cannot be\n"
    "     converted, missing data)\n"
    "  5  the data cannot be analysed (the controls' correlation matrix is not\n"
    "     positive definite, a control column is constant, or the computation\n"
    "     cannot be carried out reliably)\n"
    "  6  the --output or --plot file, or standard output, could not be written\n"
    "  7  not enough memory\n"
    "  8  interrupted (Ctrl-C)\n";

struct Options {
  std::string controls;
  std::string covariates;
  std::string prior = PriorKeyword(PriorChoice::Calibrated);
  std::string limit = LimitKeyword(CredibleLimitChoice::TwoSided);
  std::string notes;
  std::string output;
  std::string plot;  // --plot: the plots' image file
  std::string dataFile;
  std::string draws = std::to_string(kDrawCount);
  SummaryArguments summary;  // --summary, --write-summary, which inputs were given
  std::string format = "text";
  std::string cases;
  bool deficits = false;       // --deficits
  std::string higherIsPoorer;  // --higher-is-poorer: y1, y2 or y1,y2
  std::string names;           // --names: the variables' names, comma-separated
};

// --names: one name per variable in the columns' order, comma-separated; an
// empty one keeps the data file's name (or the standard one).
quorvane::VariableNames SplitNames(const std::string& text) {
  quorvane::VariableNames names;
  if (text.empty()) return names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    names.names.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) return names;
    start = comma + 1;
  }
}

// --higher-is-poorer's tasks: "y1", "y2" or both, comma-separated (in either
// order, each once); std::nullopt for anything else.
std::optional<std::array<PoorerScores, 2>> ParseHigherIsPoorer(const std::string& text) {
  std::array<PoorerScores, 2> poorer = {PoorerScores::Lower, PoorerScores::Lower};
  if (text.empty()) return poorer;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string task = text.substr(start, comma == std::string::npos ? comma : comma - start);
    const int index = task == "y1" ? 0 : task == "y2" ? 1 : -1;
    if (index < 0 || poorer[static_cast<std::size_t>(index)] == PoorerScores::Higher) {
      return std::nullopt;
    }
    poorer[static_cast<std::size_t>(index)] = PoorerScores::Higher;
    if (comma == std::string::npos) return poorer;
    start = comma + 1;
  }
}

// The notes as the worksheet's notes field would hold them: one line per real
// line break or "\n" escape ("\\" stands for one backslash). A trailing line
// break opens no further line.
std::vector<std::string> SplitNotes(const std::string& text) {
  std::string unescaped;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      unescaped += text[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      unescaped += text[i];
    }
  }
  std::vector<std::string> lines;
  std::string line;
  for (char c : unescaped) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// --draws: decimal digits only, 1 to the largest count an analysis holds.
std::optional<int> ParseDrawCount(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

int ExitCodeFor(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadFieldValue:
      return kBadInputValue;
    case ErrorKind::DataFileUnreadable:
    case ErrorKind::DataFileContent:
      return kDataFileProblem;
    case ErrorKind::NotAnalysable:
      return kDataNotAnalysable;
    case ErrorKind::Cancelled:
      return kInterrupted;
    case ErrorKind::OutOfMemory:
      return kOutOfMemory;
    case ErrorKind::Internal:
      break;
  }
  return kInternalError;
}

// A box's text on standard error: its carriage returns as line breaks.
void ShowOnStandardError(const std::string& text) {
  std::cerr << WithLineFeeds(text) << '\n' << std::flush;
}

// Every file the command line names for output, against every input and
// every other output: no output may replace an input, nor two outputs be one
// file. The reason (exit code 2), or std::nullopt.
std::optional<std::string> SamePathProblem(const Options& options) {
  const std::vector<std::pair<const char*, const std::string*>> inputs = {
      {"the data file", &options.dataFile},
      {"the summary file", &options.summary.summaryFile},
      {"the cases file", &options.cases}};
  const std::vector<std::pair<const char*, const std::string*>> outputs = {
      {"--output", &options.output},
      {"--plot", &options.plot},
      {"--write-summary", &options.summary.writeSummary}};
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    const std::string& out = *outputs[o].second;
    if (out.empty()) continue;
    for (const auto& [name, in] : inputs) {
      if (!in->empty() && SameFile(out, *in)) {
        if (outputs[o].second == &options.summary.writeSummary && in == &options.dataFile) {
          return "--write-summary names the data file " + *in +
                 ": the summary would replace the data; choose another file";
        }
        return std::string(outputs[o].first) + " names the input file " + *in + " (" + name +
               "): the output would replace it; choose another file";
      }
    }
    for (std::size_t p = o + 1; p < outputs.size(); ++p) {
      const std::string& other = *outputs[p].second;
      if (!other.empty() && SameFile(out, other)) {
        return std::string(outputs[o].first) + " and " + outputs[p].first + " name the same file " +
               out + "; choose two files";
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> CasesArgumentProblem(const Options& options) {
  if (options.cases.empty()) return std::nullopt;
  if (!options.plot.empty()) {
    return "--plot draws the plots of one analysis and cannot be used with --cases; run the case "
           "alone to plot it";
  }
  if (!options.summary.writeSummary.empty()) {
    return "--write-summary writes a data file's statistics instead of an analysis and cannot be "
           "used with --cases";
  }
  return std::nullopt;
}

std::optional<std::string> WriteSummaryArgumentProblem(const Options& options) {
  if (options.summary.writeSummary.empty()) return std::nullopt;
  for (const auto& [name, value] :
       {std::pair{"--output", &options.output}, std::pair{"--plot", &options.plot}}) {
    if (!value->empty()) {
      return std::string("--write-summary writes only the summary file and runs no analysis, so ") +
             name + " has nothing to write; leave it out";
    }
  }
  return std::nullopt;
}

// The outcome's warnings on standard error, each on a line of its own.
void ShowWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) ShowOnStandardError("Warning: " + warning);
}

int Finish(ResultsOut& out, int code) {
  const std::vector<std::string> problems = out.Finish();
  for (const std::string& problem : problems) std::cerr << problem << '\n';
  return problems.empty() ? code : code == kSuccess ? kOutputNotWritten : code;
}

int RunBatch(const Options& options, const AnalysisRequest& base) {
  const OutputFormat format = ParseOutputFormat(options.format);
  ResultsOut out(LineEnd(format));
  if (!options.output.empty()) {
    if (auto problem = out.OpenFile(options.output)) {
      std::cerr << "The report could not be written to the file " << options.output << ": "
                << *problem << '\n';
      return kOutputNotWritten;
    }
  }
  ProgressBar bar(StandardErrorIsTerminal());
  const int K = [&] {
    const Checked<Counts> counts = CheckCounts(base.controls, base.covariates, base.prior);
    return counts.ok() ? counts.value().k + 2 : 0;
  }();
  BatchOutput lines(format, QUORVANE_VERSION, K, base.deficits);
  BatchRequest request;
  request.base = base;
  request.casesFile = options.cases;
  request.progress = [&bar](std::int64_t done, std::int64_t total) { bar.Show(done, total); };
  request.stop = [] { return Interrupted(); };
  request.onCase = [&](const CaseRow& row, const AnalysisOutcome* outcome) {
    std::vector<std::string> errors;
    const std::vector<std::string> ready = lines.Add(row, outcome, errors);
    if (!errors.empty() || !row.warnings.empty()) bar.End();
    for (const std::string& line : errors) ShowOnStandardError(line);
    ShowWarnings(row.warnings);
    out.Write(ready);
  };
  const BatchSummary batch = RunBatch(request);
  bar.End();
  if (batch.failure) {
    if (batch.failure->kind == ErrorKind::Cancelled) {
      std::cerr << "Interrupted: no case was analysed\n";
    } else {
      ShowOnStandardError(batch.failure->message);
    }
    return ExitCodeFor(batch.failure->kind);
  }
  ShowWarnings(batch.warnings);
  if (batch.cases == 0) {
    std::cerr << "The cases file " << options.cases
              << " holds no case: each line holds an optional ID, then Y1, Y2 and the "
                 "covariates\n";
    return kDataFileProblem;
  }
  const bool stopped = batch.caseFailure && batch.caseFailure->kind == ErrorKind::Cancelled;
  out.Write(lines.Finish(!stopped));
  // Standard output stays the reports one after the other, as the results
  // viewer holds them; the adjusted p values follow on standard error.
  for (const std::string& line : lines.HolmTable(!stopped)) ShowOnStandardError(line);
  if (stopped) {
    std::cerr << "Interrupted: " << batch.finished << " of " << batch.cases
              << " cases finished; their results were written\n";
  }
  return Finish(out, batch.caseFailure ? ExitCodeFor(batch.caseFailure->kind) : kSuccess);
}

int RunSingle(const Options& options, AnalysisRequest request) {
  const OutputFormat format = ParseOutputFormat(options.format);
  ResultsOut out(LineEnd(format));
  // The output files are looked at before the analysis: a run of a million
  // draws is not spent on a report that cannot be saved.
  if (!options.output.empty()) {
    if (auto problem = out.OpenFile(options.output)) {
      std::cerr << "The report could not be written to the file " << options.output << ": "
                << *problem << '\n';
      return kOutputNotWritten;
    }
  }
  if (!options.plot.empty()) {
    if (auto problem = OutputFileProblem(options.plot)) {
      std::cerr << "The plots could not be written to the file " << options.plot << ": " << *problem
                << '\n';
      return kOutputNotWritten;
    }
  }
  request.plots = !options.plot.empty();
  ProgressBar bar(StandardErrorIsTerminal());
  request.progress = [&bar](std::int64_t done, std::int64_t total) {
    if (Interrupted()) return false;
    bar.Show(done, total);
    return true;
  };
  request.notice = [&bar](const std::string& text) {
    bar.End();
    ShowOnStandardError(text);
  };
  const AnalysisOutcome outcome = RunAnalysis(request);
  bar.End();
  if (!outcome.ok()) {
    const AnalysisError& error = outcome.error();
    if (error.kind == ErrorKind::Cancelled) {
      std::cerr << "Interrupted: no report was written\n";
    } else {
      ShowOnStandardError(error.message);
    }
    return ExitCodeFor(error.kind);
  }
  const Analysis& analysis = outcome.result();
  int code = kSuccess;
  if (analysis.plot) {
    std::string why;
    if (!WritePlotImage(PlotProgram(), options.plot, *analysis.plot, why)) {
      std::cerr << "The plots could not be written to the file " << options.plot << ": " << why
                << '\n';
      code = kOutputNotWritten;
    }
  }
  out.Write(SingleOutput(format, analysis, QUORVANE_VERSION));
  return Finish(out, code);
}

int Run(const Options& options) {
  if (auto problem = SamePathProblem(options)) {
    std::cerr << *problem << '\n';
    return kBadArguments;
  }
  AnalysisRequest request;
  request.controls = options.controls;
  request.covariates = options.covariates;
  request.prior = ParsePriorKeyword(options.prior).value_or(PriorChoice::Calibrated);
  request.limit = ParseLimitKeyword(options.limit).value_or(CredibleLimitChoice::TwoSided);
  request.notes = SplitNotes(options.notes);
  request.drawCount = ParseDrawCount(options.draws).value_or(kDrawCount);
  request.deficits.asked = options.deficits;
  request.deficits.poorer = *ParseHigherIsPoorer(options.higherIsPoorer);
  request.names = SplitNames(options.names);
  request.stop = [] { return Interrupted(); };
  if (auto failure = SetRequestData(options.summary, request)) {
    if (failure->kind == ErrorKind::Cancelled) {
      std::cerr << "Interrupted: no report was written\n";
    } else {
      ShowOnStandardError(failure->message);
    }
    return ExitCodeFor(*failure->kind);
  }
  if (!options.cases.empty()) return RunBatch(options, request);

  if (!options.summary.writeSummary.empty()) {
    request.notice = [](const std::string& text) { ShowOnStandardError(text); };
    auto failure = WriteSummaryOfData(request, options.summary.writeSummary);
    if (failure) ShowOnStandardError(failure->message);
    return !failure ? kSuccess : failure->kind ? ExitCodeFor(*failure->kind) : kOutputNotWritten;
  }
  return RunSingle(options, std::move(request));
}

}  // namespace quorvane::cli

int main(int argc, char** argv) {
  using namespace quorvane::cli;
  WriteStandardOutputAsIs();
  Options options;
  CLI::App app{
      "Bayesian test for a standardized difference in a single case, controlling for "
      "covariates.\nRuns the worksheet's Compute command on DATAFILE and prints the report.",
      "quorvane-cli"};
  app.footer(kExitCodeHelp);
  // Options are --name only, everywhere: on Windows "/data/x.txt" is a file.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string("quorvane-cli ") + QUORVANE_VERSION);
  app.add_option("--controls", options.controls,
                 "Number of control participants N, as typed into the worksheet");
  app.add_option("--covariates", options.covariates,
                 "Number of covariates (1 to 5), as typed into the worksheet");
  app.add_option("--prior", options.prior, "Form of the prior")
      ->check(CLI::IsMember({quorvane::PriorKeyword(quorvane::PriorChoice::Calibrated),
                             quorvane::PriorKeyword(quorvane::PriorChoice::StandardTheory)}))
      ->capture_default_str();
  app.add_option("--limit", options.limit, "95% credible limit required")
      ->check(CLI::IsMember({quorvane::LimitKeyword(quorvane::CredibleLimitChoice::TwoSided),
                             quorvane::LimitKeyword(quorvane::CredibleLimitChoice::OneSidedLower),
                             quorvane::LimitKeyword(quorvane::CredibleLimitChoice::OneSidedUpper)}))
      ->capture_default_str();
  app.add_option("--notes", options.notes,
                 "User's notes; \"\\n\" or a real line break starts a new line (at most 250 "
                 "characters)");
  app.add_option("--output", options.output,
                 "Also save the report to FILE as the results viewer's Save Output does (CR LF "
                 "line ends); an existing FILE is replaced only once the whole report is written");
  app.add_option("--plot", options.plot,
                 "Also draw the plots of the posterior and of the case among the controls into "
                 "FILE (" +
                     std::string(PlotFileTypes()) + "); needs no display")
      ->check([](const std::string& path) {
        return IsPlotFileName(path) ? std::string()
                                    : "the file name must end in " + std::string(PlotFileTypes());
      });
  app.add_option("--draws", options.draws,
                 "Number of posterior draws, a whole number from 1 to 2147483647 (the report says "
                 "so when it is not 1,000,000)")
      ->check([](const std::string& text) {
        return ParseDrawCount(text)
                   ? std::string()
                   : "the number of draws must be a whole number from 1 to 2147483647, written "
                     "in decimal digits, not \"" +
                         text + "\"";
      })
      ->capture_default_str();
  app.add_option("--format", options.format,
                 "Output: the text report, or the results as JSON or CSV (see the README)")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->capture_default_str();
  app.add_flag("--deficits", options.deficits,
               "Also test each task for a deficit against the controls' prediction at the case's "
               "covariate values, and say which pattern (a dissociation or not) the three tests "
               "add up to");
  app.add_option("--higher-is-poorer", options.higherIsPoorer,
                 "With --deficits: the tasks on which higher scores are poorer (errors, reaction "
                 "times): y1, y2 or y1,y2 (by default lower scores are poorer on both)")
      ->check([](const std::string& text) {
        return ParseHigherIsPoorer(text) ? std::string()
                                         : "give y1, y2 or y1,y2, not \"" + text + "\"";
      });
  app.add_option("--names", options.names,
                 "Names for Task Y1, Task Y2 and the covariates, comma-separated (for the plots, "
                 "JSON, CSV and the deficit section; an empty one keeps the data file's line of "
                 "names or the standard name)");
  app.add_option("--cases", options.cases,
                 "Analyse every case of FILE (one per line: an optional ID, then Y1 Y2 and the "
                 "covariates) against the controls: the first N rows of DATAFILE, or the "
                 "--summary statistics");
  app.add_option("--summary", options.summary.summaryFile,
                 "Analyse the summary statistics in FILE instead of raw data (N and the number "
                 "of covariates come from FILE)");
  app.add_option("--write-summary", options.summary.writeSummary,
                 "Write DATAFILE's control statistics and case scores to FILE as a summary file "
                 "(21 significant digits) instead of running the analysis");
  app.add_option("DATAFILE", options.dataFile,
                 "Raw data: N rows of controls then the case; each row Y1 Y2 and the covariates");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kSuccess : kBadArguments;
  }
  options.summary.dataFile = options.dataFile;
  options.summary.controlsGiven = app.count("--controls") > 0;
  options.summary.covariatesGiven = app.count("--covariates") > 0;
  const std::optional<std::string> deficitsProblem =
      !options.higherIsPoorer.empty() && !options.deficits
          ? std::optional<std::string>(
                "--higher-is-poorer says which scores are poorer for the "
                "deficit tests: give --deficits too")
          : std::nullopt;
  for (const auto& problem :
       {SummaryArgumentProblem(options.summary), CasesArgumentProblem(options),
        WriteSummaryArgumentProblem(options), deficitsProblem}) {
    if (problem) {
      std::cerr << *problem << "\nRun with --help for more information.\n";
      return kBadArguments;
    }
  }
  if (quorvane::NotesLength(SplitNotes(options.notes)) > quorvane::kMaxNotesLength) {
    std::cerr << "--notes: the notes hold at most " << quorvane::kMaxNotesLength
              << " characters (a line break counts as two)\n";
    return kBadArguments;
  }

  InstallInterruptHandlers(kInterrupted);
  try {
    return Run(options);
  } catch (const std::bad_alloc&) {
    std::cerr << quorvane::kOutOfMemoryMessage << '\n';
    return kOutOfMemory;
  } catch (const std::exception& error) {
    std::cerr << "quorvane-cli: " << error.what() << '\n';
    return kInternalError;
  }
}
