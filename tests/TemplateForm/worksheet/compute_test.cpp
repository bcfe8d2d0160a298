// The worksheet's Compute command through a scripted host: BeginCompute's
// input checks in their order with their messages, box kinds and focus, the
// saved inputs and the open dialog; PresentOutcome's boxes for the load's
// failures and the checks on the control statistics, and its report for
// whole runs with a small draw count. The window runs the same three steps,
// the analysis on a worker thread (tests/gui/compute_run_test.cpp).
#include "TemplateForm/worksheet/compute.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TemplateForm/report.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateForm/worksheet/scripted_host.h"
#include "TemplateForm/worksheet/worksheet.h"

namespace quorvane {
namespace {

using Message = std::pair<MessageKind, std::string>;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ScriptedHost;
using ::testing::StartsWith;

constexpr const char* kLabelN = "Number of control participants (N) :";
constexpr const char* kNotPosDef =
    "Analysis cannot proceed as the correlation matrix is not positive definite: check that you "
    "entered the correct values for the correlations (alternatively it may be that one variable "
    "is linearly dependent on other variables and should be dropped)";
constexpr const char* kCancelled = "Loading of data has been cancelled";

// Six controls (Y1, Y2, one covariate) and the case last.
constexpr const char* kSixControls =
    "10 14 100\r\n"
    "12 15 95\r\n"
    "14 19 110\r\n"
    "11 13 90\r\n"
    "13 18 105\r\n"
    "12 17 102\r\n"
    "8 16 98\r\n";

class ComputeTest : public ::testing::Test {
 protected:
  // The worksheet window's Compute, on the calling thread: BeginCompute, the
  // analysis with its progress and notices going to the host, PresentOutcome.
  static void Compute(const Worksheet& sheet, ScriptedHost& host, int draws) {
    std::optional<AnalysisRequest> request = BeginCompute(sheet, host, draws);
    if (!request) return;
    request->progress = [&host](std::int64_t done, std::int64_t total) {
      return host.ReportProgress(done, total);
    };
    request->notice = [&host](const std::string& text) { host.ShowNotice(text); };
    PresentOutcome(RunAnalysis(*request), host);
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvane-compute-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::create_directories(dir_);
    SetSavedInputsFolders(dir_.string(), "");
    FormCreate(sheet_);
  }
  void TearDown() override {
    ResetSavedInputsFolders();
    std::filesystem::remove_all(dir_);
  }

  std::string WriteData(const std::string& name, const std::string& content) {
    const std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  void Type(const std::string& n, const std::string& k, int prior = 0, int limit = 0) {
    sheet_.Field(1).text = n;
    sheet_.Field(2).text = k;
    sheet_.priorIndex = prior;
    sheet_.limitIndex = limit;
  }
  std::string SavedInputs() const {
    std::ifstream in(dir_ / "Quorvane.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return in ? text.str() : "<no file>";
  }
  // Nothing of a finished run: no report, viewer not shown, cursor default.
  void ExpectNoReport() const {
    EXPECT_EQ(host_.results.Count(), 0);
    EXPECT_FALSE(host_.viewerShown);
    EXPECT_FALSE(host_.IsBusy());
  }

  std::filesystem::path dir_;
  Worksheet sheet_;
  ScriptedHost host_;
};

// --- The input checks: one row per case, in the order Compute checks.

struct InputCase {
  const char* what;
  int prior;
  const char* n;
  const char* k;
  MessageKind kind;
  std::string message;  // the one box shown
  int focus;
  int beeps;
};

void PrintTo(const InputCase& c, std::ostream* os) {
  *os << c.what;
}

class ComputeInputChecks : public ComputeTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(ComputeInputChecks, RefusesWithOneBoxAndFocusAndTouchesNothingElse) {
  const InputCase& c = GetParam();
  Type(c.n, c.k, c.prior);
  host_.nextFile = WriteData("data.txt", kSixControls);
  Compute(sheet_, host_, 1000);
  EXPECT_THAT(host_.messages, ElementsAre(Message{c.kind, c.message}));
  EXPECT_THAT(host_.focus, ElementsAre(c.focus));
  EXPECT_EQ(host_.beeps, c.beeps);
  EXPECT_TRUE(host_.busy.empty());  // the cursor was never touched
  EXPECT_TRUE(host_.dialogs.empty());
  EXPECT_EQ(SavedInputs(), "<no file>");
  ExpectNoReport();
}

const std::string kLimit = " For this problem, and with a control sample size of ";

INSTANTIATE_TEST_SUITE_P(
    Table, ComputeInputChecks,
    ::testing::Values(
        InputCase{"N empty", 0, "", "1", MessageKind::Warning,
                  "INPUT ERROR\r\r(  Number of control participants (N) :  )\r\rData have not "
                  "been entered in this field.",
                  1, 0},
        InputCase{"N not a number", 0, "1x", "1", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of control participants (N) :  1x  )\r\rEnter numeric "
                  "data only.",
                  1, 0},
        InputCase{"N 4 calibrated", 0, "4", "1", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of control participants (N) :  4.000  )\rThe value for "
                  "sample size must be an integer greater than 4.",
                  1, 0},
        InputCase{"N 2 standard", 1, "2", "1", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of control participants (N) :  2.000  )\rThe value for "
                  "sample size must be an integer greater than 2.",
                  1, 0},
        InputCase{"N fractional", 0, "10.5", "1", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of control participants (N) :  10.500  )\rThe value "
                  "for sample size must be an integer greater than 4.",
                  1, 0},
        InputCase{"N too long", 0, "1234567", "1", MessageKind::Warning,
                  "Maximum length of input is 6 characters.", 1, 1},
        InputCase{"k empty", 0, "10", "", MessageKind::Warning,
                  "INPUT ERROR\r\r(  Number of covariates :  )\r\rData have not been entered in "
                  "this field.",
                  2, 0},
        InputCase{"k zero", 0, "10", "0", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of covariates :  0.000  )\rThe value must be a "
                  "positive integer and be less than 6.",
                  2, 0},
        InputCase{"k six", 1, "10", "6", MessageKind::Warning,
                  "INPUT ERROR\r(  Number of covariates :  6.000  )\rThe value must be a "
                  "positive integer and be less than 6.",
                  2, 0},
        InputCase{"k too long", 0, "10", "1.00000", MessageKind::Warning,
                  "Maximum length of input is 6 characters.", 2, 1},
        InputCase{"calibrated N 8 k 5", 0, "8", "5", MessageKind::Error,
                  kLimit + " 8, the maximum number of covariates is  4 ", 2, 0},
        InputCase{"calibrated N 5 k 2", 0, "5", "2", MessageKind::Error,
                  kLimit + " 5, the maximum number of covariates is  1 ", 2, 0},
        // N controls give a correlation matrix of rank N - 1 at most, so the
        // standard-theory prior admits k up to N - 3 (k + 2 variables).
        InputCase{"standard N 5 k 3", 1, "5", "3", MessageKind::Error,
                  kLimit + " 5, the maximum number of covariates is  2 ", 2, 0},
        InputCase{"standard N 3 k 1", 1, "3", "1", MessageKind::Error,
                  kLimit + " 3, the maximum number of covariates is  0 ", 2, 0},
        InputCase{"standard N 4 k 2", 1, "4", "2", MessageKind::Error,
                  kLimit + " 4, the maximum number of covariates is  1 ", 2, 0}),
    [](const ::testing::TestParamInfo<InputCase>& param) {
      std::string name = param.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

// Inputs at the edges of the limits get through to the file dialog; the
// inputs are saved before it opens, and a cancelled dialog ends the command.
TEST_F(ComputeTest, AcceptedInputsAreSavedThenACancelledDialogStopsQuietly) {
  const struct {
    int prior;
    const char* n;
    const char* k;
    const char* saved;
  } accepted[] = {
      {0, "10", "5", "10 5       "},     {0, "8", "4", "8 4       "}, {0, "5", "1", "5 1       "},
      {1, "5", "2", "5 2       "},       {1, "4", "1", "4 1       "}, {1, "8", "5", "8 5       "},
      {0, "12.0", "2", "12.0 2       "},
  };
  for (const auto& c : accepted) {
    SCOPED_TRACE(std::string(c.n) + " " + c.k);
    host_ = ScriptedHost{};
    Type(c.n, c.k, c.prior);
    host_.nextFile = std::nullopt;
    Compute(sheet_, host_, 1000);
    ASSERT_EQ(host_.dialogs.size(), 1u);
    EXPECT_EQ(host_.dialogs[0].filterDescription, "Text files only");
    EXPECT_EQ(host_.dialogs[0].filterPattern, "*.txt");
    EXPECT_EQ(host_.dialogs[0].initialFolder, std::filesystem::current_path().string());
    EXPECT_TRUE(host_.dialogs[0].mustExist);
    EXPECT_THAT(host_.messages, ElementsAre(Message{MessageKind::Information, kCancelled}));
    EXPECT_THAT(host_.busy, ElementsAre(true, false));
    EXPECT_TRUE(host_.focus.empty());
    EXPECT_EQ(SavedInputs(), c.saved);
    ExpectNoReport();
  }
}

TEST_F(ComputeTest, OnlyTheFirstProblemIsReported) {
  Type("4", "9");  // both fields wrong: only field 1 is told
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_THAT(host_.messages[0].second, HasSubstr(kLabelN));
  EXPECT_THAT(host_.focus, ElementsAre(1));
}

// --- Load failures.

TEST_F(ComputeTest, ABadNumberNamesItsPlaceAndNoReportIsWritten) {
  Type("6", "1");
  std::string data = kSixControls;
  data.replace(data.find("11 13 90"), 8, "11 1,3 90");
  host_.nextFile = WriteData("comma.txt", data);
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_EQ(host_.messages[0].second, "Invalid numeric input at line 4, column 2: \"1,3\"");
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  EXPECT_TRUE(host_.focus.empty());
  EXPECT_EQ(SavedInputs(), "6 1       ");
  ExpectNoReport();
}

// A first line of names is taken as the variables' names; a heading that
// holds a number among its words is a row, and a bad number.
TEST_F(ComputeTest, AHeaderLineWithANumberIsABadNumber) {
  Type("6", "1");
  host_.nextFile = WriteData("header.txt", std::string("Y1 Y2 1\r\n") + kSixControls);
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second, StartsWith("Invalid numeric input at line 1, column 1"));
  ExpectNoReport();

  host_.messages.clear();
  host_.nextFile = WriteData("names.txt", std::string("Y1 Y2 Speed\r\n") + kSixControls);
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Information);  // loaded
  EXPECT_FALSE(host_.results.Lines().empty());
}

TEST_F(ComputeTest, AFileThatCannotBeOpenedIsNamedInAnErrorBox) {
  Type("6", "1");
  const std::string missing = (dir_ / "no such file.txt").string();
  host_.nextFile = missing;
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second, HasSubstr(missing));
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  ExpectNoReport();
}

// Missing data: the loader's box, which also says how many complete rows were
// found and how many were needed, and no "cancelled" box (nothing was).
TEST_F(ComputeTest, MissingDataSaysHowManyRowsWereFoundAndNeeded) {
  Type("7", "1");  // the file holds six controls and the case: one row short
  host_.nextFile = WriteData("short.txt", kSixControls);
  Compute(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second,
              StartsWith("Missing data were detected when attempting to load the raw data file: "
                         "make sure that you have the correct number of rows (controls plus the "
                         "case) and columns (Y1, Y2, and covariate[s]) of data in the text file "
                         "and that there are no blank entries. "));
  EXPECT_THAT(host_.messages[0].second,
              HasSubstr("(7 complete rows of 3 numbers were found; 8 are needed: 7 controls and "
                        "the case.)"));
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  ExpectNoReport();
}

// --- Control statistics that cannot enter an analysis.

TEST_F(ComputeTest, UnusableControlStatisticsStopBeforeTheEngine) {
  const struct {
    const char* what;
    const char* k;
    std::string data;
    const char* detail;  // the sentence after the usual text, naming the column
  } cases[] = {
      {"covariate duplicates Y1", "1",
       "10 14 10\n12 15 12\n14 19 14\n11 13 11\n13 18 13\n12 17 12\n8 16 8\n",
       "Covariate 1 repeats Task Y1 among the controls (their correlation is 1.00000): drop one "
       "of them."},
      {"covariate mirrors Y2", "1",
       "10 14 -14\n12 15 -15\n14 19 -19\n11 13 -13\n13 18 -18\n12 17 -17\n8 16 8\n",
       "Covariate 1 mirrors Task Y2 among the controls (their correlation is -1.00000): drop one "
       "of them."},
      {"covariate is Y1 + Y2", "2",
       "10 14 100 24\n12 15 95 27\n14 19 110 33\n11 13 90 24\n13 18 105 31\n12 17 102 29\n"
       "8 16 98 24\n",
       "Covariate 2 is (almost) a linear combination of Task Y1, Task Y2 and Covariate 1 among "
       "the controls: drop it, or one of those."},
      {"constant control column", "1",
       "10 14 100\n12 15 100\n14 19 100\n11 13 100\n13 18 100\n12 17 100\n8 16 98\n",
       "Every control has the same score on Covariate 1."},
      {"constant Y1 among the controls", "1",
       "12 14 100\n12 15 95\n12 19 110\n12 13 90\n12 18 105\n12 17 102\n8 16 98\n",
       "Every control has the same score on Task Y1."},
      {"overflowing values", "1",
       "1e4000 14 100\n-1e4000 15 95\n14 19 110\n11 13 90\n13 18 105\n12 17 102\n8 16 98\n",
       "The controls' scores on Task Y1 are too large for their mean and SD to be computed."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host_ = ScriptedHost{};
    Type("6", c.k);
    host_.nextFile = WriteData("data.txt", c.data);
    Compute(sheet_, host_, 1000);
    ASSERT_FALSE(host_.messages.empty());
    // The loader's own success box comes first, then the refusal.
    EXPECT_EQ(host_.messages.back(),
              (Message{MessageKind::Error, std::string(kNotPosDef) + "\r\r" + c.detail}));
    EXPECT_THAT(host_.focus, ElementsAre(1));
    EXPECT_THAT(host_.busy, ElementsAre(true, false));
    ExpectNoReport();
  }
}

// --- What the analysis hands on.

// The request the worksheet's Compute would make for the sheet and a file.
AnalysisOutcome AnalyseFile(const Worksheet& sheet, const std::string& file, int draws) {
  AnalysisRequest request;
  request.controls = sheet.Field(1).text;
  request.covariates = sheet.Field(2).text;
  request.prior = sheet.Prior();
  request.limit = sheet.CredibleLimit();
  request.drawCount = draws;
  request.data = RawDataFile{file};
  return RunAnalysis(request);
}

// Reference values for the six controls of kSixControls and the case
// (8, 16, 98), worked independently with python3's fractions (means,
// variances with divisor N - 1, exact) and decimal at 40 digits (square
// roots, correlations, z scores). Tolerance: 4 ulps of the 80-bit result.
TEST_F(ComputeTest, TheAnalysisSummarisesTheControlsAndStandardisesTheCase) {
  Type("6", "1");
  const std::string file = WriteData("six.txt", kSixControls);
  AnalysisRequest request;
  request.SetCounts(6, 1);
  request.drawCount = 1000;
  request.data = RawDataFile{file};
  std::vector<std::string> notices;
  request.notice = [&notices](const std::string& text) { notices.push_back(text); };
  const AnalysisOutcome outcome = RunAnalysis(request);
  ASSERT_TRUE(outcome.ok()) << outcome.error().message;
  const Analysis* a = &outcome.result();
  EXPECT_EQ(a->N, 6);
  EXPECT_EQ(a->k, 1);
  EXPECT_EQ(a->K, 3);
  EXPECT_EQ(a->drawCount, 1000);
  EXPECT_EQ(a->dataFileName, file);
  EXPECT_THAT(notices, ElementsAre("Data file consisting of  6 controls plus a case (rows) and  3 "
                                   "variables (columns) was loaded successfully "));

  const long double eps = 4 * std::numeric_limits<long double>::epsilon();
  auto near = [eps](long double got, long double want) {
    return std::fabs(got - want) <= eps * std::max(1.0L, std::fabs(want));
  };
  const long double means[] = {12, 16, 100.333333333333333333333333333L};
  const long double sds[] = {1.41421356237309504880168872421L, 2.36643191323984641702693131662L,
                             7.11805216802087414054101597706L};
  const long double z[] = {-2.82842712474619009760337744842L, 0,
                           -0.327805034053592888051230998944L};
  const long double r12 = 0.896421457000795229976612884770L;
  const long double r13 = 0.695379487459147998429694653271L;
  const long double r23 = 0.914251203531006972905310389777L;
  const long double R[3][3] = {{1, r12, r13}, {r12, 1, r23}, {r13, r23, 1}};
  for (int j = 1; j <= 3; ++j) {
    EXPECT_PRED2(near, a->means[j], means[j - 1]) << j;
    EXPECT_PRED2(near, a->sds[j], sds[j - 1]) << j;
    EXPECT_PRED2(near, a->caseRawZ[j], z[j - 1]) << j;
    for (int i = 1; i <= 3; ++i) EXPECT_PRED2(near, a->R(i, j), R[i - 1][j - 1]) << i << j;
  }
  EXPECT_EQ(a->caseRawZ[2], 0.0L);  // the case's Y2 is the control mean
  EXPECT_EQ(a->caseScores[1], 8);
  EXPECT_EQ(a->caseScores[3], 98);
}

// No upper bound on N: the table grows to hold every control and the case.
TEST_F(ComputeTest, MoreThan499ControlsAreAllRead) {
  const int n = 600;
  std::string data;
  for (int i = 1; i <= n; ++i) {
    data += std::to_string(10 + i % 7) + " " + std::to_string(20 + (i * 3) % 11) + " " +
            std::to_string(100 + (i * 5) % 13) + "\n";
  }
  data += "1 2 3\n";
  Type(std::to_string(n), "1");
  const AnalysisOutcome outcome = AnalyseFile(sheet_, WriteData("many.txt", data), 1000);
  ASSERT_TRUE(outcome.ok()) << outcome.error().message;
  const Analysis* a = &outcome.result();
  EXPECT_GE(a->rawData->Rows(), n + 1);
  EXPECT_EQ(a->caseScores[1], 1);
  EXPECT_EQ(a->caseScores[2], 2);
  EXPECT_EQ(a->caseScores[3], 3);
  long double sum = 0;
  for (int i = 1; i <= n; ++i) sum += 10 + i % 7;
  EXPECT_EQ(a->means[1], sum / n);
}

// --- Whole runs with a small draw count.

// The six controls of kSixControls with a case of (11, 16, 98).
constexpr const char* kSixControlsModerateCase =
    "10 14 100\r\n"
    "12 15 95\r\n"
    "14 19 110\r\n"
    "11 13 90\r\n"
    "13 18 105\r\n"
    "12 17 102\r\n"
    "11 16 98\r\n";

constexpr int kTestDraws = 4000;

double Number(const std::string& text) {
  return std::stod(text);
}

// The report of one run of kSixControlsModerateCase, two-sided, with notes of
// two lines. Every line that does not depend on the Monte Carlo draws is
// compared exactly; the statistics in it were worked independently with
// python3's fractions (means, covariances, the conditional means and
// covariances given the covariate, exact) and decimal at 50 digits (square
// roots, correlations, z scores, the partial correlation, the SD of the
// difference and the Z-DCCC point estimate), then rounded as printed; none of
// them lies within 1e-6 of a rounding tie.
TEST_F(ComputeTest, WholeRunWritesTheReportLineByLine) {
  Type("6", "1");
  sheet_.notes = {"first", "second"};
  const std::string file = WriteData("six.txt", kSixControlsModerateCase);
  host_.nextFile = file;
  Compute(sheet_, host_, kTestDraws);

  EXPECT_TRUE(host_.viewerShown);
  EXPECT_EQ(host_.viewerCaption, "Results viewer: " + ProgramTitle);
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  EXPECT_TRUE(host_.focus.empty());
  ASSERT_EQ(host_.messages.size(), 1u);  // the loader's success box only
  EXPECT_EQ(host_.messages[0].first, MessageKind::Information);

  const std::vector<std::string>& lines = host_.results.Lines();
  const std::vector<std::string> head = {
      "",
      ProgramTitle,
      "",
      " THIS PROGRAM IMPLEMENTS STATISTICAL METHODS DEVELOPED IN THE FOLLOWING PAPER:",
      CitationLines[0],
      CitationLines[1],
      CitationLines[2],
      "",
      "",
      " User's Notes: first",
      "               second",
      " ",
      " INPUTS:",
      " Number of control participants (N) = 6",
      " Number of covariates = 1",
      "",
      " Prior selected: Analysis is to be performed using a prior CALIBRATED to confer "
      "frequentist properties",
      " Credible limit required: Two-sided ",
      // The run uses fewer draws than the usual 1,000,000: the report says so.
      " Number of posterior draws = 4000 (not the usual 1000000)",
      "",
      " Raw data were loaded from the following file: ",
      " " + file,
      "",
      "Raw data for control cases:",
      "   [   1]:      10.00000       14.00000      100.00000   ",
      "   [   2]:      12.00000       15.00000       95.00000   ",
      "   [   3]:      14.00000       19.00000      110.00000   ",
      "   [   4]:      11.00000       13.00000       90.00000   ",
      "   [   5]:      13.00000       18.00000      105.00000   ",
      "   [   6]:      12.00000       17.00000      102.00000   ",
      "",
      "",
      " Summary statistics for control sample on tasks and covariates together with scores of the "
      "case:",
      " _________________________________________________________________________________________",
      "  Task              Control        Control        Score for               z score  ",
      "   No.               Mean            SD             Case                  for case",
      " _________________________________________________________________________________________",
      " Task Y1            12.000          1.414          11.000                 -0.707",
      " Task Y2            16.000          2.366          16.000                  0.000",
      "",
      " Covariate 1       100.333          7.118          98.000                 -0.328",
      " _________________________________________________________________________________________",
      " ",
      " ",
      "",
      " Correlations between tasks and covariate(s) in control sample:",
      "   1.00000   0.89642   0.69538   ",
      "   0.89642   1.00000   0.91425   ",
      "   0.69538   0.91425   1.00000   ",
      "",
      "",
      " Sample estimate of conditional mean for Task Y1 =   11.678",
      " Sample estimate of conditional SD for Task Y1   =    1.016",
      "",
      " Sample estimate of conditional mean for Task Y2 =   15.291",
      " Sample estimate of conditional SD for Task Y2   =    0.959",
      "",
      " Sample estimate of conditional correlation (i.e., partial correlation) between Y1 and Y2  "
      "= 0.895",
      "",
      " Case's z score for Task Y1    =   -0.707",
      " Case's z score for Task Y2    =    0.000",
      "",
      " Case's z score for Task Y1 after conditioning on covariate   =   -0.667",
      " Case's z score for Task Y2 after conditioning on covariate   =    0.740",
      " Sample estimate of SD of the difference between z scores after conditioning on "
      "covariate(s) =  0.458",
      "",
      " OUTPUTS:",
      "",
      " Bayesian hypothesis test - Probability that the absolute standardized difference for a "
      "member of the ",
      " control population (with same values on covariate[s] as case) would be greater than that "
      "of "
      "the case :",
  };
  ASSERT_EQ(lines.size(), head.size() + 11);
  for (std::size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << "line " << i + 1;

  const std::string num = R"((-?\d+\.\d{3}))";
  std::smatch two, one, es, pc;
  const std::size_t t = head.size();
  ASSERT_TRUE(
      std::regex_match(lines[t], two, std::regex(R"( Two-tailed probability = (\d\.\d{5}) )")))
      << lines[t];
  ASSERT_TRUE(
      std::regex_match(lines[t + 1], one, std::regex(R"( One-tailed probability = (\d\.\d{5}) )")))
      << lines[t + 1];
  EXPECT_EQ(lines[t + 2], " ");
  EXPECT_EQ(lines[t + 3],
            " Effect size (Z-DCCC) for difference between case versus controls (plus 95% Credible "
            "Interval on the");
  EXPECT_EQ(lines[t + 4], " effect size):");
  ASSERT_TRUE(std::regex_match(
      lines[t + 5], es,
      std::regex(" Effect size \\(Z-DCCC\\) = (-3\\.073) \\(95% CI on effect size = " + num +
                 "  to  " + num + "\\)")))
      << lines[t + 5];
  EXPECT_EQ(lines[t + 6], "");
  EXPECT_EQ(lines[t + 7],
            " Percentage of control population exhibiting a more extreme discrepancy in the same "
            "direction as the");
  EXPECT_EQ(lines[t + 8], " case (plus 95% Credible Interval):");
  ASSERT_TRUE(std::regex_match(lines[t + 9], pc,
                               std::regex(" Bayesian point estimate    = " + num +
                                          "% \\(95% CI = " + num + "%  to  " + num + "%\\)")))
      << lines[t + 9];
  EXPECT_EQ(lines[t + 10], " ");

  // How the printed results hang together: the two-tailed probability is
  // twice the one-tailed one, the percentage is the one-tailed probability in
  // percent, and each interval holds its point estimate.
  const double pOne = Number(one[1]);
  EXPECT_GT(pOne, 0.0);
  EXPECT_LE(pOne, 0.5);
  EXPECT_NEAR(Number(two[1]), 2 * pOne, 1.5e-5);
  EXPECT_NEAR(Number(pc[1]), 100 * pOne, 1e-3);
  EXPECT_LT(Number(es[2]), Number(es[1]));
  EXPECT_GT(Number(es[3]), Number(es[1]));
  EXPECT_LE(Number(pc[2]), Number(pc[1]));
  EXPECT_GE(Number(pc[3]), Number(pc[1]));
}

TEST_F(ComputeTest, ASecondRunAppendsAnIdenticalReportBelowARule) {
  Type("6", "1");
  host_.nextFile = WriteData("six.txt", kSixControlsModerateCase);
  Compute(sheet_, host_, kTestDraws);
  const std::vector<std::string> first = host_.results.Lines();
  ASSERT_FALSE(first.empty());
  Compute(sheet_, host_, kTestDraws);
  std::vector<std::string> expected = first;
  expected.push_back(std::string(102, '_'));
  expected.insert(expected.end(), first.begin(), first.end());
  EXPECT_THAT(host_.results.Lines(), ::testing::ElementsAreArray(expected));
}

// The prior picks the engine and the credible-limit choice reaches it: each
// run equals a direct call of the engine the prior names, with twoSided set
// only for "Two-sided".
TEST_F(ComputeTest, ThePriorPicksTheEngineAndTheLimitChoiceReachesIt) {
  for (int prior = 0; prior <= 1; ++prior) {
    for (int limit = 0; limit <= 2; ++limit) {
      SCOPED_TRACE(::testing::Message() << "prior " << prior << " limit " << limit);
      host_ = ScriptedHost{};
      Type("6", "1", prior, limit);
      const AnalysisOutcome outcome =
          AnalyseFile(sheet_, WriteData("six.txt", kSixControlsModerateCase), kTestDraws);
      ASSERT_TRUE(outcome.ok()) << outcome.error().message;
      const Analysis* a = &outcome.result();

      Vector condMeans, condSDs;
      long double partialR = 0, z1 = 0, z2 = 0;
      EngineResults direct;
      const auto engine = prior == 1 ? Run_Standard_Theory_Engine : Run_Calibrated_Engine;
      ASSERT_TRUE(engine(1, 6, kTestDraws, limit == 0, 95, a->sds, a->means, a->caseScores, a->R,
                         condMeans, condSDs, partialR, z1, z2, direct, {}));
      EXPECT_EQ(a->results, direct);
      EXPECT_EQ(a->partialR, partialR);
      EXPECT_EQ(a->condZ1, z1);
      EXPECT_EQ(a->condMeans, condMeans);
      EXPECT_EQ(a->sdDiff, std::sqrt(2.0L - partialR * 2.0L));
    }
  }
}

// A progress callback that says stop ends the command like a cancelled load:
// default cursor, nothing appended, viewer not shown.
TEST_F(ComputeTest, CancellingTheEngineRunAddsNothing) {
  struct StoppingHost : ScriptedHost {
    int calls = 0;
    bool ReportProgress(std::int64_t done, std::int64_t total) override {
      EXPECT_LE(done, total);
      EXPECT_EQ(total, kTestDraws);
      ++calls;
      return false;
    }
  } host;
  Type("6", "1");
  host.nextFile = WriteData("six.txt", kSixControlsModerateCase);
  Compute(sheet_, host, kTestDraws);
  EXPECT_GE(host.calls, 1);
  EXPECT_THAT(host.busy, ElementsAre(true, false));
  EXPECT_EQ(host.results.Count(), 0);
  EXPECT_FALSE(host.viewerShown);
}

// The largest problem the worksheet admits in width: five covariates, which
// the calibrated prior allows from N = 9 (k <= N - 4).
TEST_F(ComputeTest, FiveCovariatesRunThrough) {
  const int n = 9;
  std::string data;
  unsigned state = 12345;
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j < 7; ++j) {
      state = state * 1103515245u + 12345u;
      data += std::to_string(50 + static_cast<int>((state >> 16) % 41)) + (j < 6 ? " " : "\n");
    }
  }
  Type(std::to_string(n), "5");
  host_.nextFile = WriteData("wide.txt", data);
  Compute(sheet_, host_, kTestDraws);
  ASSERT_TRUE(host_.viewerShown) << (host_.messages.empty() ? "" : host_.messages.back().second);
  const std::vector<std::string>& lines = host_.results.Lines();
  for (int c = 1; c <= 5; ++c) {
    const std::string head = " Covariate " + std::to_string(c) + "   ";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(head, 0) == 0; }),
              1)
        << c;
  }
  EXPECT_EQ(lines.back(), " ");
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// kSixControlsModerateCase with every score multiplied by `scale`.
std::string ScaledSixControls(long double scale) {
  std::istringstream in(kSixControlsModerateCase);
  std::string out, line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    long double value = 0;
    std::string sep;
    while (row >> value) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%s%.6Le", sep.c_str(), value * scale);
      out += buf;
      sep = " ";
    }
    out += "\r\n";
  }
  return out;
}

// Scores in other units give the same test: the pivot thresholds follow the
// scale of the matrices, so Wishart draws of order 1e-13 (scores in the
// millions) are inverted as surely as those of order 1.
TEST_F(ComputeTest, ScoresInOtherUnitsGiveTheSameReport) {
  std::vector<std::string> tests;
  for (long double scale : {1e-7L, 1e-3L, 1.0L, 1e3L, 1e6L}) {
    SCOPED_TRACE(static_cast<double>(scale));
    host_ = ScriptedHost{};
    Type("6", "1");
    host_.nextFile = WriteData("data.txt", ScaledSixControls(scale));
    Compute(sheet_, host_, 20000);
    ASSERT_TRUE(host_.viewerShown) << (host_.messages.empty() ? "" : host_.messages.back().second);
    const auto& lines = host_.results.Lines();
    std::string test;
    for (const std::string& line : lines) {
      if (line.rfind(" Two-tailed", 0) == 0 || line.rfind(" Effect size (Z-DCCC) =", 0) == 0 ||
          line.rfind(" Bayesian point estimate", 0) == 0) {
        test += line + "\n";
      }
    }
    tests.push_back(test);
  }
  for (std::size_t i = 1; i < tests.size(); ++i) EXPECT_EQ(tests[i], tests[0]) << i;
}

}  // namespace
}  // namespace quorvane
