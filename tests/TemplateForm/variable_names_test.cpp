// Names for the variables: from a data file's first line or typed, shown in
// the deficit section, the plots and JSON/CSV, while the report's own lines
// stay those of the same file without names.
#include "TemplateForm/variable_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Bayes_Engines/engine_fixture.h"
#include "TemplateForm/analysis.h"
#include "TemplateForm/report.h"
#include "TemplateForm/result_formats.h"
#include "TemplateForm/temp_dir.h"
#include "text/format_text.h"
#include "text/line_sink.h"

namespace quorvane {
namespace {

constexpr int kK = 2;  // covariates

// The fixture's 12 controls and case with two covariates, as a data file's
// lines.
std::string FixtureLines() {
  std::string text;
  for (int i = 0; i < testing::kFixtureControls + 1; ++i) {
    for (int j = 0; j < kK + 2; ++j) {
      text += FormatText(j == 0 ? "%.6Lf" : " %.6Lf", testing::kFixtureRows[i][j]);
    }
    text += "\r\n";
  }
  return text;
}

AnalysisRequest Request(const std::string& path) {
  AnalysisRequest request;
  request.SetCounts(testing::kFixtureControls, kK);
  request.drawCount = 4000;
  request.deficits.asked = true;
  request.plots = true;
  request.data = RawDataFile{path};
  return request;
}

std::vector<std::string> Report(const Analysis& a) {
  LineList lines;
  WriteReport(a, lines);
  return lines.Lines();
}

TEST(VariableNames, ANameLineChangesNoReportLineButTheFileNameAndNamesTheTasksElsewhere) {
  testing::TempDir dir;
  const std::string plain = dir.Write("plain.txt", FixtureLines());
  const std::string named = dir.Write("named.txt", "Fluency Naming Age Years\n" + FixtureLines());
  const AnalysisOutcome without = RunAnalysis(Request(plain));
  const AnalysisOutcome with = RunAnalysis(Request(named));
  ASSERT_TRUE(without.ok()) << without.error().message;
  ASSERT_TRUE(with.ok()) << with.error().message;
  const Analysis& a = with.result();
  EXPECT_EQ(a.names.names, (std::vector<std::string>{"Fluency", "Naming", "Age", "Years"}));
  EXPECT_FALSE(without.result().names.Any());

  // Line by line: the file's name differs; in the deficit section the tasks
  // have their names; every other line is the same.
  const std::vector<std::string> r0 = Report(without.result());
  const std::vector<std::string> r1 = Report(a);
  ASSERT_EQ(r0.size(), r1.size());
  int differ = 0;
  bool deficits = false;
  for (std::size_t i = 0; i < r0.size(); ++i) {
    if (r0[i].rfind(" DEFICIT TESTS", 0) == 0) deficits = true;
    if (r0[i] == r1[i]) continue;
    ++differ;
    if (r0[i].find(plain) != std::string::npos) {
      EXPECT_EQ(r1[i].find(plain), std::string::npos);
      EXPECT_NE(r1[i].find(named), std::string::npos) << r1[i];
      continue;
    }
    EXPECT_TRUE(deficits) << "line " << i << ": " << r0[i] << " | " << r1[i];
    std::string renamed = r0[i];
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"Task Y1", "Fluency"}, {"Task Y2", "Naming"}}) {
      for (std::size_t at; (at = renamed.find(from)) != std::string::npos;) {
        renamed.replace(at, from.size(), to);
      }
    }
    // A renamed sentence may wrap differently; the task lines do not.
    if (r0[i].rfind(" Task Y", 0) == 0) {
      EXPECT_EQ(r1[i], renamed);
    }
  }
  EXPECT_GE(differ, 3);  // the file's name and the two task lines at least
  EXPECT_NE(std::find(r1.begin(), r1.end(), " Fluency (lower scores are poorer):"), r1.end());

  // The plots and JSON name them too.
  ASSERT_TRUE(a.plot.has_value());
  EXPECT_EQ(a.plot->caseAmongControls.xTitle,
            "Difference between the conditional z scores (Fluency minus Naming)");
  ASSERT_EQ(a.plot->deficits.size(), 2u);
  EXPECT_EQ(a.plot->deficits[1].xTitle, "Naming score");
  EXPECT_EQ(without.result().plot->deficits[1].xTitle, "Task Y2 score");
  const Json json = AnalysisJson(a, "test");
  EXPECT_EQ(json["statistics"]["variables"], Json::array({"Fluency", "Naming", "Age", "Years"}));
  EXPECT_EQ(AnalysisJson(without.result(), "test")["statistics"]["variables"],
            Json::array({"Task Y1", "Task Y2", "Covariate 1", "Covariate 2"}));

  // Typed names win over the file's, one by one; an empty one keeps the file's.
  AnalysisRequest typed = Request(named);
  typed.names.names = {"", "Picture naming"};
  const AnalysisOutcome retyped = RunAnalysis(typed);
  ASSERT_TRUE(retyped.ok());
  EXPECT_EQ(retyped.result().names.names,
            (std::vector<std::string>{"Fluency", "Picture naming", "Age", "Years"}));
  typed.data = RawDataFile{plain};
  const AnalysisOutcome onPlain = RunAnalysis(typed);
  ASSERT_TRUE(onPlain.ok());
  EXPECT_EQ(VariableName(onPlain.result().names, 1), "Task Y1");
  EXPECT_EQ(VariableName(onPlain.result().names, 2), "Picture naming");
  EXPECT_EQ(VariableName(onPlain.result().names, 4), "Covariate 2");
}

TEST(VariableNames, NamesThatCannotBeUsedAreRefusedBeforeTheData) {
  struct Case {
    std::vector<std::string> names;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"a", "b", "c", "d", "e"},
       "5 names were given for 4 variables (Task Y1, Task Y2 and 2 covariates)."},
      {{"ok", std::string(41, 'x')}, "The name of Task Y2 is longer than 40 characters."},
      {{"", "", "line\nbreak"},
       "The name of Covariate 1 holds a control character or a line break."},
  };
  for (const Case& c : cases) {
    AnalysisRequest request = Request("/nonexistent/never-read.txt");
    request.names.names = c.names;
    const AnalysisOutcome outcome = RunAnalysis(request);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().kind, ErrorKind::BadFieldValue);
    EXPECT_EQ(outcome.error().reason, Reason::VariableName);
    EXPECT_EQ(outcome.error().message, c.message);
  }
  // Forty characters, spaces and any script are fine.
  VariableNames fine{{std::string(40, 'x'), "Benennen \xC3\xA4\xC3\xB6", "Age in years"}};
  EXPECT_EQ(NamesProblem(fine, 4), std::nullopt);
}

}  // namespace
}  // namespace quorvane
