#include "TemplateForm/worksheet/worksheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TemplateForm/temp_dir.h"
#include "TemplateForm/worksheet/saved_inputs.h"

namespace quorvane {
namespace {

using testing::TempDir;

TEST(FormatInputLine, EchoLines) {
  struct Case {
    std::string label, value, line;
  };
  const std::vector<Case> cases = {
      {"Number of control participants (N) :", "12", " Number of control participants (N) = 12"},
      {"Number of covariates :", "2", " Number of covariates = 2"},
      // Blanks around the label are dropped before the colon is looked for.
      {"  Number of covariates :  ", "2", " Number of covariates = 2"},
      // The last colon counts.
      {"a: b :c", "1", " a: b = 1"},
      {"Individual's test score:", "3", " Individual's test score= 3"},
      {":", "9", " = 9"},
      // No colon: the label as given, straight before the value.
      {"Input 5", "7", " Unnamed input X = Input 57"},
      {" Input 5 ", "7", " Unnamed input X =  Input 5 7"},
      {"", "7", " Unnamed input X = 7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatInputLine(c.label, c.value), c.line) << '"' << c.label << '"';
  }
}

TEST(DescriptionText, FixedTextAroundANeutralCitation) {
  const std::string& d = DescriptionText();
  const std::string opening =
      "This computer program (Quorvane.exe) is one of six programs accompanying the paper by ";
  EXPECT_EQ(d.rfind(opening, 0), 0u);
  EXPECT_NE(d.find(".  The program tests whether the standardized difference between a case's "
                   "scores on two tasks (Y1 and Y2) is significantly different"),
            std::string::npos);
  EXPECT_NE(d.find("The program provides (a) a signficance test,"), std::string::npos);
  // Both kinds of data, and the columns as the reader takes them; no other
  // program named.
  EXPECT_NE(d.find("and raw scores on the covariate(s) as input, or SUMMARY statistics for the "
                   "controls (i.e., means, SDs and correlations) with the case's scores, typed "
                   "into the worksheet or loaded from a file"),
            std::string::npos);
  EXPECT_NE(d.find("Separate the columns with blanks or tabs (not commas)."), std::string::npos);
  for (const char* gone : {"companion program", ".exe) takes", "single space"}) {
    EXPECT_EQ(d.find(gone), std::string::npos) << gone;
  }
  EXPECT_NE(d.find("into their respective fields and click on \"Compute\".  You will then be "
                   "prompted"),
            std::string::npos);
  EXPECT_NE(d.find("there will be a  delay (typically under 30 seconds)"), std::string::npos);
  const std::string ending = "( Current version of program compiled on 10/02/2011 ).";
  ASSERT_GE(d.size(), ending.size());
  EXPECT_EQ(d.substr(d.size() - ending.size()), ending);
  // Long enough that the description memo always shows its scroll bar.
  EXPECT_GE(d.size(), 551u);
  EXPECT_EQ(d.find('\n'), std::string::npos);
  EXPECT_EQ(d.find('\r'), std::string::npos);
}

TEST(ProgramTexts, TitleAndSavedInputsName) {
  EXPECT_EQ(ProgramTitle,
            "Quorvane.exe: Bayesian test for a standardized difference in the sngle case "
            "controlling for covariate(s)");
  EXPECT_EQ(SavedInputsFileName, "Quorvane.txt");
}

class FormCreateTest : public ::testing::Test {
 protected:
  void SetUp() override { SetSavedInputsFolders(dir_.Path().string(), ""); }
  void TearDown() override { ResetSavedInputsFolders(); }

  // A worksheet and program-wide state left untidy, as if from earlier use.
  Worksheet Untidy() {
    Worksheet sheet;
    for (int k = 1; k <= 8; ++k) {
      sheet.Field(k).text = "9";
      sheet.Field(k).label = "Label" + std::to_string(k) + " : ";
      sheet.Field(k).visible = true;
    }
    sheet.notes = {"old", "notes"};
    CorrelationMatrixStore[3][4] = 0.5;
    WorksheetConfig = WorksheetConfigRecord{8, 8, true, true, 1, 1, true};
    return sheet;
  }

  TempDir dir_;
};

TEST_F(FormCreateTest, StartUpState) {
  Worksheet sheet = Untidy();
  FormCreate(sheet);

  const std::vector<std::string> labels = {"Number of control participants (N) :",
                                           "Number of covariates :",
                                           "Total sample size (n) for the normative sample:",
                                           "Individual's test score:",
                                           "Input 5",
                                           "Input 6 :",
                                           "Input 7 :",
                                           "Input 8 :"};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_EQ(sheet.Field(k).label, labels[static_cast<std::size_t>(k - 1)]) << k;
    EXPECT_EQ(sheet.Field(k).text, "") << k;
    EXPECT_EQ(sheet.Field(k).visible, k <= 2) << k;
  }
  EXPECT_TRUE(sheet.notes.empty());
  EXPECT_EQ(sheet.description, DescriptionText());
  for (const auto& row : CorrelationMatrixStore) {
    for (const double v : row) EXPECT_EQ(v, 0.0);
  }
  EXPECT_EQ(WorksheetConfig.visibleFieldCount, 2);
  EXPECT_EQ(WorksheetConfig.restoreCount, 0);
  EXPECT_FALSE(WorksheetConfig.matrixEntryEnabled);
  EXPECT_FALSE(WorksheetConfig.gridEnabled);
  EXPECT_EQ(WorksheetConfig.gridColumns, 4);
  EXPECT_EQ(WorksheetConfig.gridRows, 7);
  EXPECT_FALSE(WorksheetConfig.savedInputsFound);
}

TEST_F(FormCreateTest, FreshWorksheetStartsWithTheFirstChoices) {
  Worksheet sheet;
  FormCreate(sheet);
  EXPECT_EQ(sheet.Prior(), PriorChoice::Calibrated);
  EXPECT_EQ(sheet.CredibleLimit(), CredibleLimitChoice::TwoSided);
  EXPECT_EQ(sheet.notesCaption, "User's Notes:");
}

TEST_F(FormCreateTest, SavedInputsAreNotedButNothingIsRestored) {
  dir_.Write(SavedInputsFileName, "12 2       ");
  Worksheet sheet = Untidy();
  FormCreate(sheet);
  EXPECT_TRUE(WorksheetConfig.savedInputsFound);
  EXPECT_EQ(sheet.Field(1).text, "");
  EXPECT_EQ(sheet.Field(2).text, "");
}

}  // namespace
}  // namespace quorvane
