// The Compute command driven end to end through a scripted host: the input
// checks in their order with their messages, box kinds and focus, the load
// and its failures, the checks on the control statistics, and whole runs with
// a small draw count.
#include "TemplateForm/compute.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TemplateForm/saved_inputs.h"
#include "TemplateForm/scripted_host.h"
#include "TemplateForm/worksheet.h"

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

class ComputeInputChecks : public ComputeTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(ComputeInputChecks, RefusesWithOneBoxAndFocusAndTouchesNothingElse) {
  const InputCase& c = GetParam();
  Type(c.n, c.k, c.prior);
  host_.nextFile = WriteData("data.txt", kSixControls);
  cmdComputeClick(sheet_, host_, 1000);
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
        InputCase{"standard N 5 k 4", 1, "5", "4", MessageKind::Error,
                  kLimit + " 5, the maximum number of covariates is  3 ", 2, 0},
        InputCase{"standard N 3 k 2", 1, "3", "2", MessageKind::Error,
                  kLimit + " 3, the maximum number of covariates is  1 ", 2, 0},
        InputCase{"standard N 4 k 3", 1, "4", "3", MessageKind::Error,
                  kLimit + " 4, the maximum number of covariates is  2 ", 2, 0}),
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
      {1, "5", "3", "5 3       "},       {1, "3", "1", "3 1       "}, {1, "4", "2", "4 2       "},
      {0, "12.0", "2", "12.0 2       "},
  };
  for (const auto& c : accepted) {
    SCOPED_TRACE(std::string(c.n) + " " + c.k);
    host_ = ScriptedHost{};
    Type(c.n, c.k, c.prior);
    host_.nextFile = std::nullopt;
    cmdComputeClick(sheet_, host_, 1000);
    EXPECT_EQ(host_.dialogs.size(), 1u);
    EXPECT_THAT(host_.messages, ElementsAre(Message{MessageKind::Information, kCancelled}));
    EXPECT_THAT(host_.busy, ElementsAre(true, false));
    EXPECT_TRUE(host_.focus.empty());
    EXPECT_EQ(SavedInputs(), c.saved);
    ExpectNoReport();
  }
}

TEST_F(ComputeTest, OnlyTheFirstProblemIsReported) {
  Type("4", "9");  // both fields wrong: only field 1 is told
  cmdComputeClick(sheet_, host_, 1000);
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
  cmdComputeClick(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_EQ(host_.messages[0].second, "Invalid numeric input at line 4, column 2: \"1,3\"");
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  EXPECT_TRUE(host_.focus.empty());
  EXPECT_EQ(SavedInputs(), "6 1       ");
  ExpectNoReport();
}

TEST_F(ComputeTest, AHeaderLineIsABadNumber) {
  Type("6", "1");
  host_.nextFile = WriteData("header.txt", std::string("Y1 Y2 Speed\r\n") + kSixControls);
  cmdComputeClick(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second, StartsWith("Invalid numeric input at line 1, column 1"));
  ExpectNoReport();
}

TEST_F(ComputeTest, AFileThatCannotBeOpenedIsNamedInAnErrorBox) {
  Type("6", "1");
  const std::string missing = (dir_ / "no such file.txt").string();
  host_.nextFile = missing;
  cmdComputeClick(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second, HasSubstr(missing));
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  ExpectNoReport();
}

TEST_F(ComputeTest, MissingDataGivesTheLoadersBoxThenTheCancellation) {
  Type("7", "1");  // the file holds six controls and the case: one row short
  host_.nextFile = WriteData("short.txt", kSixControls);
  cmdComputeClick(sheet_, host_, 1000);
  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0].first, MessageKind::Error);
  EXPECT_THAT(host_.messages[0].second, StartsWith("Missing data were detected"));
  EXPECT_EQ(host_.messages[1], (Message{MessageKind::Information, kCancelled}));
  EXPECT_THAT(host_.busy, ElementsAre(true, false));
  ExpectNoReport();
}

// --- Control statistics that cannot enter an analysis.

TEST_F(ComputeTest, UnusableControlStatisticsStopBeforeTheEngine) {
  const struct {
    const char* what;
    const char* k;
    std::string data;
  } cases[] = {
      {"covariate duplicates Y1", "1",
       "10 14 10\n12 15 12\n14 19 14\n11 13 11\n13 18 13\n12 17 12\n8 16 8\n"},
      {"covariate is Y1 + Y2", "2",
       "10 14 100 24\n12 15 95 27\n14 19 110 33\n11 13 90 24\n13 18 105 31\n12 17 102 29\n"
       "8 16 98 24\n"},
      {"constant control column", "1",
       "10 14 100\n12 15 100\n14 19 100\n11 13 100\n13 18 100\n12 17 100\n8 16 98\n"},
      {"constant Y1 among the controls", "1",
       "12 14 100\n12 15 95\n12 19 110\n12 13 90\n12 18 105\n12 17 102\n8 16 98\n"},
      {"overflowing values", "1",
       "1e4000 14 100\n-1e4000 15 95\n14 19 110\n11 13 90\n13 18 105\n12 17 102\n8 16 98\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host_ = ScriptedHost{};
    Type("6", c.k);
    host_.nextFile = WriteData("data.txt", c.data);
    cmdComputeClick(sheet_, host_, 1000);
    ASSERT_FALSE(host_.messages.empty());
    // The loader's own success box comes first, then the refusal.
    EXPECT_EQ(host_.messages.back(), (Message{MessageKind::Error, kNotPosDef}));
    EXPECT_THAT(host_.focus, ElementsAre(1));
    EXPECT_THAT(host_.busy, ElementsAre(true, false));
    ExpectNoReport();
  }
}

// --- What PrepareAnalysis hands on.

// Reference values for the six controls of kSixControls and the case
// (8, 16, 98), worked independently with python3's fractions (means,
// variances with divisor N - 1, exact) and decimal at 40 digits (square
// roots, correlations, z scores). Tolerance: 4 ulps of the 80-bit result.
TEST_F(ComputeTest, PrepareSummarisesTheControlsAndStandardisesTheCase) {
  Type("6", "1");
  host_.nextFile = WriteData("six.txt", kSixControls);
  std::optional<Analysis> a = PrepareAnalysis(sheet_, host_);
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->N, 6);
  EXPECT_EQ(a->k, 1);
  EXPECT_EQ(a->K, 3);
  EXPECT_EQ(a->drawCount, kDrawCount);
  EXPECT_EQ(a->dataFileName, *host_.nextFile);
  EXPECT_THAT(host_.messages,
              ElementsAre(Message{MessageKind::Information,
                                  "Data file consisting of  6 controls plus a case (rows) and  3 "
                                  "variables (columns) was loaded successfully "}));
  EXPECT_TRUE(host_.IsBusy());  // the engine still has to run

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
  host_.nextFile = WriteData("many.txt", data);
  std::optional<Analysis> a = PrepareAnalysis(sheet_, host_);
  ASSERT_TRUE(a.has_value());
  EXPECT_GE(a->rawData.Rows(), n + 1);
  EXPECT_EQ(a->caseScores[1], 1);
  EXPECT_EQ(a->caseScores[2], 2);
  EXPECT_EQ(a->caseScores[3], 3);
  long double sum = 0;
  for (int i = 1; i <= n; ++i) sum += 10 + i % 7;
  EXPECT_EQ(a->means[1], sum / n);
}

}  // namespace
}  // namespace quorvane
