#include "TemplateForm/report.h"

#include "TemplateForm/deficit_report.h"
#include "matrix_handling/matrix_print.h"
#include "text/format_text.h"

namespace quorvane {

const std::string ProgramTitle =
    "Quorvane.exe: Bayesian test for a standardized difference in the sngle case controlling "
    "for covariate(s)";

std::string FormatInputLine(const std::string& label, const std::string& value) {
  const std::string t = TrimBlanks(label);
  const std::size_t colon = t.rfind(':');
  if (colon != std::string::npos) return " " + t.substr(0, colon) + "= " + value;
  return " Unnamed input X = " + label + value;
}

const std::array<std::string, 3> CitationLines = {
    " A Bayesian Monte Carlo test of whether a single case's standardized difference between two",
    " tasks, conditioned on one to five covariates, is more extreme than the conditional "
    "standardized",
    " differences of a control sample, with point and interval estimates of effect size and "
    "abnormality"};

namespace {

const std::string kReportRule(102, '_');
const std::string kTableRule = std::string(1, ' ').append(89, '_');
const std::string kNotesIndent(15, ' ');

void AddInputsSection(const Analysis& a, PriorChoice prior, LineSink& memo) {
  memo.Add(" INPUTS:");
  memo.Add(FormatInputLine(kControlsLabel, a.controlsText));
  memo.Add(FormatInputLine(kCovariatesLabel, a.covariatesText));
  memo.Add("");
  if (prior == PriorChoice::Calibrated) {
    memo.Add(
        " Prior selected: Analysis is to be performed using a prior CALIBRATED to confer "
        "frequentist properties");
  } else {
    memo.Add(
        " Prior selected: Analysis is to be performed using a prior derived from STANDARD THEORY "
        "(Jeffreys prior)");
  }
}

// In place of the raw data: where the summary statistics came from.
void AddSummarySource(const Analysis& a, LineSink& memo) {
  if (a.dataFileName.empty()) {
    memo.Add(
        " Summary statistics for the control sample and the case's scores were entered "
        "(no raw data).");
  } else {
    memo.Add(
        " Summary statistics for the control sample and the case's scores were loaded from "
        "the following file: ");
    memo.Add(" " + ShowableText(a.dataFileName));
  }
  memo.Add("");
}

void AddSummaryTable(const Analysis& a, LineSink& memo) {
  memo.Add(
      " Summary statistics for control sample on tasks and covariates together with scores of "
      "the case:");
  memo.Add(kTableRule);
  memo.Add("  Task              Control        Control        Score for               z score  ");
  memo.Add("   No.               Mean            SD             Case                  for case");
  memo.Add(kTableRule);
  for (int j = 1; j <= a.K; ++j) {
    if (j == 1) {
      memo.Add(FormatText(" Task Y1       %11.3Lf  %13.3Lf   %13.3Lf          %13.3Lf", a.means[j],
                          a.sds[j], a.caseScores[j], a.caseRawZ[j]));
    } else if (j == 2) {
      memo.Add(FormatText(" Task Y2       %11.3Lf  %13.3Lf   %13.3Lf          %13.3Lf", a.means[j],
                          a.sds[j], a.caseScores[j], a.caseRawZ[j]));
      memo.Add("");
    } else {
      memo.Add(FormatText(" Covariate%2d   %11.3Lf  %13.3Lf   %13.3Lf          %13.3Lf", j - 2,
                          a.means[j], a.sds[j], a.caseScores[j], a.caseRawZ[j]));
    }
  }
  memo.Add(kTableRule);
}

void AddConditionalStatistics(const Analysis& a, LineSink& memo) {
  memo.Add(FormatText(" Sample estimate of conditional mean for Task Y1 = %8.3Lf", a.condMeans[1]));
  memo.Add(FormatText(" Sample estimate of conditional SD for Task Y1   = %8.3Lf", a.condSDs[1]));
  memo.Add("");
  memo.Add(FormatText(" Sample estimate of conditional mean for Task Y2 = %8.3Lf", a.condMeans[2]));
  memo.Add(FormatText(" Sample estimate of conditional SD for Task Y2   = %8.3Lf", a.condSDs[2]));
  memo.Add("");
  memo.Add(FormatText(
      " Sample estimate of conditional correlation (i.e., partial correlation) between Y1 and Y2  "
      "= %2.3Lf",
      a.partialR));
  memo.Add("");
  memo.Add(FormatText(" Case's z score for Task Y1    = %8.3Lf", a.caseRawZ[1]));
  memo.Add(FormatText(" Case's z score for Task Y2    = %8.3Lf", a.caseRawZ[2]));
  memo.Add("");
  memo.Add(FormatText(" Case's z score for Task Y1 after conditioning on covariate   = %8.3Lf",
                      a.condZ1));
  memo.Add(FormatText(" Case's z score for Task Y2 after conditioning on covariate   = %8.3Lf",
                      a.condZ2));
  memo.Add(
      FormatText(" Sample estimate of SD of the difference between z scores after conditioning on "
                 "covariate(s) = %6.3Lf",
                 a.sdDiff));
}

void AddEstimatesBlock(const Analysis& a, LineSink& memo) {
  const EngineResults& r = a.results;
  memo.Add(" ");
  switch (a.limit) {
    case CredibleLimitChoice::TwoSided:
      memo.Add(
          " Effect size (Z-DCCC) for difference between case versus controls (plus 95% Credible "
          "Interval on the");
      memo.Add(" effect size):");
      memo.Add(
          FormatText(" Effect size (Z-DCCC) = %2.3Lf (95%% CI on effect size = %3.3Lf  to  %3.3Lf)",
                     r.effectSize, r.effectSizeLower, r.effectSizeUpper));
      memo.Add("");
      memo.Add(
          " Percentage of control population exhibiting a more extreme discrepancy in the same "
          "direction as the");
      memo.Add(" case (plus 95% Credible Interval):");
      memo.Add(
          FormatText(" Bayesian point estimate    = %2.3Lf%% (95%% CI = %3.3Lf%%  to  %3.3Lf%%)",
                     r.percentMoreExtreme, r.percentLower, r.percentUpper));
      break;
    case CredibleLimitChoice::OneSidedLower:
      memo.Add(
          " Effect size (Z-DCCC) for difference between score of case versus controls (plus 95% "
          "one-sided ");
      memo.Add(" lower Credible Limit on the effect size):");
      memo.Add(FormatText(
          " Effect size (Z-DCCC) = %2.3Lf (95%% lower Credible Limit on effect size = %3.3Lf)",
          r.effectSize, r.effectSizeLower));
      memo.Add("");
      memo.Add(
          " Percentage of control population exhibiting a more extreme discrepancy in the same "
          "direction as the ");
      memo.Add(" case (plus 95% one-sided lower Credible Limit):");
      memo.Add(FormatText(
          " Bayesian point estimate    = %2.3Lf%% (95%% lower Credible Limit = %3.3Lf%%)",
          r.percentMoreExtreme, r.percentLower));
      break;
    case CredibleLimitChoice::OneSidedUpper:
      memo.Add(
          " Effect size (Z-DCCC) for difference between score of case versus controls (plus 95% "
          "one-sided ");
      memo.Add(" upper Credible Limit on the effect size):");
      memo.Add(FormatText(
          " Effect size (Z-DCCC) = %2.3Lf (95%% upper Credible Limit on effect size = %3.3Lf)",
          r.effectSize, r.effectSizeUpper));
      memo.Add("");
      memo.Add(
          " Percentage of control population exhibiting a more extreme discrepancy in the same "
          "direction as the ");
      memo.Add(" case (plus 95 one-sided upper Credible Limit):");
      memo.Add(FormatText(
          " Bayesian point estimate    = %2.3Lf%% (95%% upper Credible Limit = %3.3Lf%%)",
          r.percentMoreExtreme, r.percentUpper));
      break;
  }
  memo.Add(" ");
}

}  // namespace

std::string ShowableText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      out += ' ';
    } else if (c < 0x20 || c == 0x7f) {
      out += FormatText("\\x%02X", c);
    } else if (c == 0xc2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      // U+0080 .. U+009F in UTF-8: the C1 controls (a terminal takes U+009B as
      // the start of an escape sequence).
      out += FormatText("\\xC2\\x%02X", static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void WriteReport(const Analysis& analysis, LineSink& memo) {
  const Analysis& a = analysis;
  if (memo.Count() >= 1) memo.Add(kReportRule);
  memo.Add("");
  memo.Add(ProgramTitle);
  memo.Add("");
  memo.Add(" THIS PROGRAM IMPLEMENTS STATISTICAL METHODS DEVELOPED IN THE FOLLOWING PAPER:");
  for (const std::string& line : CitationLines) memo.Add(line);
  memo.Add("");
  memo.Add("");

  if (!a.notes.empty()) {
    memo.Add(" " + std::string(kNotesCaption) + " " + ShowableText(a.notes.front()));
    for (std::size_t i = 1; i < a.notes.size(); ++i) {
      memo.Add(kNotesIndent + ShowableText(a.notes[i]));
    }
    memo.Add(" ");
  }

  AddInputsSection(a, a.prior, memo);
  switch (a.limit) {
    case CredibleLimitChoice::TwoSided:
      memo.Add(" Credible limit required: Two-sided ");
      break;
    case CredibleLimitChoice::OneSidedLower:
      memo.Add(" Credible limit required: One-sided lower");
      break;
    case CredibleLimitChoice::OneSidedUpper:
      memo.Add(" Credible limit required: One-sided upper");
      break;
  }
  // Another number of draws than the usual one is said (the usual report is unchanged).
  if (a.drawCount != kDrawCount) {
    memo.Add(
        FormatText(" Number of posterior draws = %d (not the usual %d)", a.drawCount, kDrawCount));
  }
  memo.Add("");
  if (a.fromSummary) {
    AddSummarySource(a, memo);
  } else {
    memo.Add(" Raw data were loaded from the following file: ");
    memo.Add(" " + ShowableText(a.dataFileName));
    memo.Add("");
    if (a.rawData != nullptr) {
      Print_Data_Matrix(*a.rawData, a.N, a.K, "Raw data for control cases:", memo);
    }
    memo.Add("");
  }

  AddSummaryTable(a, memo);
  memo.Add(" ");
  memo.Add(" ");
  memo.Add("");
  Print_Matrix(a.R, a.K, " Correlations between tasks and covariate(s) in control sample:", memo);
  memo.Add("");

  AddConditionalStatistics(a, memo);
  memo.Add("");
  memo.Add(" OUTPUTS:");
  memo.Add("");
  memo.Add(
      " Bayesian hypothesis test - Probability that the absolute standardized difference for a "
      "member of the ");
  memo.Add(
      " control population (with same values on covariate[s] as case) would be greater than that "
      "of the case :");
  memo.Add(FormatText(" Two-tailed probability = %2.5Lf ", a.results.twoTailedP));
  memo.Add(FormatText(" One-tailed probability = %2.5Lf ", a.results.oneTailedP));
  AddEstimatesBlock(a, memo);
  if (a.deficits.asked) {
    WriteDeficitSection(a.deficit[0], a.deficit[1], a.results.twoTailedP, a.limit, memo, a.names);
  }
}

}  // namespace quorvane
