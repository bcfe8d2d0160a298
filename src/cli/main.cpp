// quorvane-cli: one analysis without a window.
//
// The options are the worksheet's inputs, typed as text; the data file is the
// file the open dialog would return. The report goes to standard output, line
// by line, exactly as the results viewer would hold it after one run into an
// empty viewer; what the worksheet would show in boxes goes to standard error.
// The exit code tells the kind of failure (see kExitCodeHelp).

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/plot_data.h"
#include "TemplateForm/report.h"
#include "cli/batch_command.h"
#include "cli/plot_output.h"
#include "cli/report_file.h"
#include "cli/result_output.h"
#include "cli/summary_options.h"
#include "cli/terminal.h"
#include "text/line_sink.h"

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
  kOutputNotWritten = 6,   // --output or --plot file could not be written
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
    "  6  the --output or --plot file could not be written\n"
    "  7  not enough memory\n"
    "  8  interrupted (Ctrl-C)\n";

constexpr std::size_t kMaxNotesLength = 250;  // what the worksheet's notes field holds

struct Options {
  std::string controls;
  std::string covariates;
  std::string prior = "calibrated";
  std::string limit = "two-sided";
  std::string notes;
  std::string output;
  std::string plot;  // --plot: the plots' image file
  std::string dataFile;
  int draws = kDrawCount;
  SummaryArguments summary;  // --summary, --write-summary, which inputs were given
  std::string format = "text";
  std::string cases;
};

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int /*signal*/) {
  interrupted.store(true);
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

// Length of the notes as the field counts it: characters (not bytes of their
// UTF-8 encoding), each line break counting as two (a carriage return and a
// line feed).
std::size_t NotesLength(const std::vector<std::string>& lines) {
  std::size_t length = 0;
  for (const std::string& line : lines) {
    for (const char c : line) {
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++length;  // not a continuation byte
    }
  }
  if (!lines.empty()) length += 2 * (lines.size() - 1);
  return length;
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
  std::string shown = text;
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  std::cerr << shown << '\n' << std::flush;
}

// The lines to standard output and, with --output, to the file.
int WriteOutput(const Options& options, const std::vector<std::string>& lines) {
  const char* end = LineEnd(ParseOutputFormat(options.format));
  for (const std::string& line : lines) std::cout << line << end;
  std::cout.flush();
  if (!options.output.empty()) {
    std::string why;
    if (!SaveReportFile(options.output, lines, why)) {
      std::cerr << "The report could not be written to the file " << options.output << ": " << why
                << '\n';
      return kOutputNotWritten;
    }
  }
  return kSuccess;
}

int RunBatch(const Options& options, const AnalysisRequest& request) {
  ProgressBar bar(StandardErrorIsTerminal());
  const BatchOutcome batch = RunCaseBatch(
      request, options.cases, ParseOutputFormat(options.format), QUORVANE_VERSION,
      [&bar](std::int64_t done, std::int64_t total) { bar.Show(done, total); },
      [] { return interrupted.load(); });
  bar.End();
  for (const std::string& line : batch.errorLines) ShowOnStandardError(line);
  if (!batch.anyRun) {
    ShowOnStandardError(batch.failure->message);
    return ExitCodeFor(batch.failure->kind);
  }
  if (batch.failure && batch.failure->kind == ErrorKind::Cancelled) {
    std::cerr << "Interrupted: " << batch.finished << " of " << batch.cases
              << " cases finished; their results were written\n";
  }
  const int written = WriteOutput(options, batch.lines);
  if (written != kSuccess) return written;
  return batch.failure ? ExitCodeFor(batch.failure->kind) : kSuccess;
}

int Run(const Options& options) {
  const std::string& input =
      options.summary.summaryFile.empty() ? options.dataFile : options.summary.summaryFile;
  for (const std::string& named : {input, options.cases}) {
    if (!options.output.empty() && !named.empty() && SameFile(options.output, named)) {
      std::cerr << "--output names the input file " << named
                << ": the output would replace it; choose another file\n";
      return kBadArguments;
    }
  }
  if (!options.plot.empty() &&
      (SameFile(options.plot, options.dataFile) ||
       (!options.output.empty() && SameFile(options.plot, options.output)))) {
    std::cerr << "--plot names the data file or the --output file; choose another file\n";
    return kBadArguments;
  }

  AnalysisRequest request;
  request.controls = options.controls;
  request.covariates = options.covariates;
  request.prior =
      options.prior == "standard" ? PriorChoice::StandardTheory : PriorChoice::Calibrated;
  request.limit = options.limit == "lower"   ? CredibleLimitChoice::OneSidedLower
                  : options.limit == "upper" ? CredibleLimitChoice::OneSidedUpper
                                             : CredibleLimitChoice::TwoSided;
  request.notes = SplitNotes(options.notes);
  request.drawCount = options.draws;
  if (auto failure = SetRequestData(options.summary, request)) {
    ShowOnStandardError(failure->message);
    return ExitCodeFor(*failure->kind);
  }
  if (!options.cases.empty()) return RunBatch(options, request);
  request.keepDraws = !options.plot.empty();

  ProgressBar bar(StandardErrorIsTerminal());
  request.progress = [&bar](std::int64_t done, std::int64_t total) {
    if (interrupted.load()) return false;
    bar.Show(done, total);
    return true;
  };
  request.notice = [&bar](const std::string& text) {
    bar.End();
    ShowOnStandardError(text);
  };

  if (!options.summary.writeSummary.empty()) {
    auto failure = WriteSummaryOfData(request, options.summary.writeSummary);
    if (failure) ShowOnStandardError(failure->message);
    return !failure ? kSuccess : failure->kind ? ExitCodeFor(*failure->kind) : kOutputNotWritten;
  }

  AnalysisOutcome outcome = RunAnalysis(request);
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

  const int written = WriteOutput(
      options, SingleOutput(ParseOutputFormat(options.format), outcome.result(), QUORVANE_VERSION));
  if (written != kSuccess) return written;
  if (!options.plot.empty()) {
    // The plots need the binned draws only: the draws go before the drawing.
    const PlotData plot = BuildPlotData(outcome.result());
    std::vector<long double>().swap(outcome.result().draws);
    std::string why;
    if (!WritePlotImage(PlotProgram(), options.plot, plot, why)) {
      std::cerr << "The plots could not be written to the file " << options.plot << ": " << why
                << '\n';
      return kOutputNotWritten;
    }
  }
  return kSuccess;
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
      ->check(CLI::IsMember({"calibrated", "standard"}))
      ->capture_default_str();
  app.add_option("--limit", options.limit, "95% credible limit required")
      ->check(CLI::IsMember({"two-sided", "lower", "upper"}))
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
                 "Number of posterior draws (the report says so when it is not 1,000,000)")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  app.add_option("--format", options.format,
                 "Output: the text report, or the results as JSON or CSV (see the README)")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->capture_default_str();
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
  if (auto problem = SummaryArgumentProblem(options.summary)) {
    std::cerr << *problem << "\nRun with --help for more information.\n";
    return kBadArguments;
  }
  if (auto problem =
          CasesArgumentProblem(options.cases, options.plot, options.summary.writeSummary)) {
    std::cerr << *problem << "\nRun with --help for more information.\n";
    return kBadArguments;
  }
  if (NotesLength(SplitNotes(options.notes)) > kMaxNotesLength) {
    std::cerr << "--notes: the notes hold at most " << kMaxNotesLength
              << " characters (a line break counts as two)\n";
    return kBadArguments;
  }

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  try {
    return Run(options);
  } catch (const std::exception& error) {
    std::cerr << "quorvane-cli: " << error.what() << '\n';
    return kInternalError;
  }
}
