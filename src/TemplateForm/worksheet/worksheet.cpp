#include "TemplateForm/worksheet/worksheet.h"

#include "TemplateForm/worksheet/saved_inputs.h"
#include "text/format_text.h"

namespace quorvane {

const std::string SavedInputsFileName = "Quorvane.txt";

WorksheetConfigRecord WorksheetConfig;

std::array<std::array<double, 20>, 20> CorrelationMatrixStore{};

namespace {

// Captions of Label1..Label8 (index 0 unused).
const std::array<const char*, 9> kFieldLabels = {"",
                                                 kControlsLabel,
                                                 kCovariatesLabel,
                                                 "Total sample size (n) for the normative sample:",
                                                 "Individual's test score:",
                                                 "Input 5",
                                                 "Input 6 :",
                                                 "Input 7 :",
                                                 "Input 8 :"};

}  // namespace

const std::string& DescriptionText() {
  static const std::string text =
      "This computer program (Quorvane.exe) is one of six programs accompanying the "
      "paper by the program's authors on Bayesian methods for testing whether a "
      "single case's standardized difference between two tasks is abnormal while "
      "controlling for covariates (methods paper, in preparation).  The program "
      "tests whether the standardized difference between a case's scores on two "
      "tasks (Y1 and Y2) is significantly different from the standardized "
      "differences between these tasks in a control sample, while controlling for "
      "the effects of covariates.  For example, it could be used to test whether a "
      "case's standardized difference between two tasks is significantly greater "
      "than the standardized differences in controls when controlling for a measure "
      "of processing speed.  Under the null hypothesis the case's standardized "
      "difference, conditioned on the covariate(s), is an observation from the "
      "distribution of conditional standardized differences in the control "
      "population.  The program provides (a) a signficance test, (b) point and "
      "interval estimates of the effect size for the difference between the case and "
      "controls, and (c) point and interval estimates of the abnormality of the "
      "case's standardized difference (i.e., it estimates the percentage of controls "
      "that would exhibit a more extreme standardized difference).  This program "
      "takes RAW data for the control sample on the two tasks of interest (Task Y1 "
      "and Task Y2) and raw scores on the covariate(s) as input, or SUMMARY "
      "statistics for the controls (i.e., means, SDs and correlations) with the "
      "case's scores, typed into the worksheet or loaded from a file (choose "
      "\"Summary statistics\" under \"Kind of data\").  To use the current program "
      "with raw data you need to first "
      "prepare a text file containing the raw data.  This file should be a PLAIN "
      "text file (e.g., a notepad file) with the data in columns. Separate the "
      "columns with blanks or tabs (not commas). The first COLUMN should "
      "contain the raw data for the first task of interest (Task Y1), the second "
      "column the second task of interest (Task Y2), the third column should contain "
      "raw scores for the first of any covariates etc.  Thus, if you have only one "
      "covariate, there will only be three columns.  The first n ROWS of the data "
      "file should contain the raw data for the n controls. The LAST (i.e., n + 1th) "
      "row should contain the raw data for the case.  To run the program enter the "
      "number of controls and the number of covariates (do NOT include the tasks of "
      "interest in this count) into their respective fields and click on \"Compute\".  "
      "You will then be prompted to load the file containing the raw data (the raw "
      "data as read from the file are reproduced in the output so that users can "
      "check its integrity).  The methods are computationally intensive, so there "
      "will be a  delay (typically under 30 seconds) before the results are "
      "displayed. The results can be viewed on screen, printed, or saved to file.  ( "
      "Current version of program compiled on 10/02/2011 ).";
  return text;
}

void FormCreate(Worksheet& sheet) {
  sheet.notes.clear();
  for (auto& row : CorrelationMatrixStore) row.fill(0.0);
  for (int k = 1; k <= 8; ++k) sheet.Field(k).text.clear();
  sheet.description = DescriptionText();
  for (int k = 1; k <= 8; ++k) sheet.Field(k).label = kFieldLabels[static_cast<std::size_t>(k)];
  WorksheetConfig.visibleFieldCount = 2;
  WorksheetConfig.restoreCount = 0;
  WorksheetConfig.matrixEntryEnabled = false;
  WorksheetConfig.gridEnabled = false;
  WorksheetConfig.gridColumns = 4;
  WorksheetConfig.gridRows = 7;
  LoadPreviousData(sheet);
}

std::string FieldObjectName(int k) {
  return k == 8 ? std::string("txtinput8") : "txtInput" + std::to_string(k);
}

}  // namespace quorvane
