// quorvane-cli: the worksheet's Compute command without a window.
//
// The options are the worksheet's inputs, typed as text; the data file is the
// file the open dialog would return. The report goes to standard output, line
// by line, exactly as the results viewer would hold it after one run into an
// empty viewer; the texts of the message boxes go to standard error.

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TemplateForm/compute.h"
#include "TemplateForm/compute_host.h"
#include "TemplateForm/worksheet.h"
#include "cli/terminal.h"
#include "matrix_handling/matrix_print.h"

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
  kOutputNotWritten = 6,   // --output file could not be written
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
    "     cannot be carried out reliably at the scale of the scores)\n"
    "  6  the --output file could not be written\n";

constexpr std::size_t kMaxNotesLength = 250;  // what the worksheet's notes field holds

struct Options {
  std::string controls;
  std::string covariates;
  std::string prior = "calibrated";
  std::string limit = "two-sided";
  std::string notes;
  std::string output;
  std::string dataFile;
  int draws = kDrawCount;
};

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

// Length of the notes as the field counts it: each line break is a carriage
// return and a line feed.
std::size_t NotesLength(const std::vector<std::string>& lines) {
  std::size_t length = 0;
  for (const std::string& line : lines) length += line.size();
  if (!lines.empty()) length += 2 * (lines.size() - 1);
  return length;
}

// 1000000 as "1,000,000".
std::string GroupDigits(std::int64_t value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0 && std::isdigit(digits[i - 1]); i -= 3) {
    digits.insert(static_cast<std::size_t>(i), ",");
  }
  return digits;
}

// The outside world of one Compute run on a terminal.
class CliHost : public ComputeHost {
 public:
  explicit CliHost(std::string dataFile)
      : dataFile_(std::move(dataFile)), progressShown_(StandardErrorIsTerminal()) {}

  MessageButton ShowMessage(MessageKind kind, const std::string& text) override {
    EndProgressLine();
    std::string shown = text;
    for (char& c : shown) {
      if (c == '\r') c = '\n';
    }
    std::cerr << shown << '\n' << std::flush;
    if (kind == MessageKind::Error &&
        (text == kNotPositiveDefiniteMessage || text == kUnreliableResultsMessage)) {
      notAnalysable_ = true;
    }
    return kind == MessageKind::Confirmation ? MessageButton::No : MessageButton::Ok;
  }
  void Beep() override {}
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& /*request*/) override {
    return dataFile_;
  }
  void SetBusyCursor(bool busy) override {
    if (busy) everBusy_ = true;
    if (!busy) EndProgressLine();
  }
  LineSink& Results() override { return results_; }
  void ShowResultsViewer(const std::string& /*caption*/) override { viewerShown_ = true; }
  void FocusField(int /*k*/) override {}
  bool ReportProgress(std::int64_t done, std::int64_t total) override {
    if (!progressShown_ || total <= 0) return true;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == lastPercent_) return true;
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\rRunning %s draws [%s%s] %3d%%", GroupDigits(total).c_str(),
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    barOnScreen_ = true;
    return true;
  }

  const LineList& Report() const { return results_; }
  // The exit code for what the run told this host.
  int Outcome() const {
    if (viewerShown_) return kSuccess;
    if (!everBusy_) return kBadInputValue;
    if (notAnalysable_) return kDataNotAnalysable;
    return kDataFileProblem;
  }

 private:
  void EndProgressLine() {
    if (!barOnScreen_) return;
    std::fputc('\n', stderr);
    barOnScreen_ = false;
  }

  std::string dataFile_;
  bool progressShown_;
  bool barOnScreen_ = false;
  int lastPercent_ = -1;
  bool everBusy_ = false;
  bool notAnalysable_ = false;
  bool viewerShown_ = false;
  LineList results_;
};

// The viewer's Save Output: every line followed by CR LF, nothing after the last.
bool SaveReport(const std::string& path, const LineList& report) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : report.Lines()) out << line << "\r\n";
  out.close();
  return !out.fail();
}

int Run(const Options& options) {
  Worksheet sheet;
  FormCreate(sheet);
  sheet.Field(1).text = options.controls;
  sheet.Field(2).text = options.covariates;
  sheet.priorIndex = options.prior == "standard" ? 1 : 0;
  sheet.limitIndex = options.limit == "lower" ? 1 : options.limit == "upper" ? 2 : 0;
  sheet.notes = SplitNotes(options.notes);

  CliHost host(options.dataFile);
  cmdComputeClick(sheet, host, options.draws);
  const int outcome = host.Outcome();
  if (outcome != kSuccess) return outcome;

  for (const std::string& line : host.Report().Lines()) std::cout << line << '\n';
  std::cout.flush();
  if (!options.output.empty() && !SaveReport(options.output, host.Report())) {
    std::cerr << "The report could not be written to the file " << options.output << '\n';
    return kOutputNotWritten;
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
  app.set_version_flag("--version", std::string("quorvane-cli ") + QUORVANE_VERSION);
  app.add_option("--controls", options.controls,
                 "Number of control participants N, as typed into the worksheet")
      ->required();
  app.add_option("--covariates", options.covariates,
                 "Number of covariates (1 to 5), as typed into the worksheet")
      ->required();
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
                 "line ends)");
  // For tests only: fewer posterior draws than the program's fixed 1,000,000.
  app.add_option("--draws", options.draws)->check(CLI::PositiveNumber)->group("");
  app.add_option("DATAFILE", options.dataFile,
                 "Raw data: N rows of controls then the case; each row Y1 Y2 and the covariates")
      ->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kSuccess : kBadArguments;
  }
  if (NotesLength(SplitNotes(options.notes)) > kMaxNotesLength) {
    std::cerr << "--notes: the notes hold at most " << kMaxNotesLength
              << " characters (a line break counts as two)\n";
    return kBadArguments;
  }

  try {
    return Run(options);
  } catch (const std::exception& error) {
    std::cerr << "quorvane-cli: " << error.what() << '\n';
    return kInternalError;
  }
}
