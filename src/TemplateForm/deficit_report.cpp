#include "TemplateForm/deficit_report.h"

#include <optional>

#include "text/format_text.h"

namespace quorvane {

namespace {

// Adds text as lines of at most kDeficitSectionWidth characters, each with a
// leading blank, broken at blanks (a word longer than a line stays whole).
void AddWrapped(const std::string& text, LineSink& memo) {
  const std::size_t room = kDeficitSectionWidth - 1;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.size();
    if (end - start > room) {
      end = text.rfind(' ', start + room);
      if (end == std::string::npos || end <= start) end = text.find(' ', start + room);
      if (end == std::string::npos) end = text.size();
    }
    memo.Add(" " + text.substr(start, end - start));
    start = end;
    while (start < text.size() && text[start] == ' ') ++start;
  }
}

void AddTask(const DeficitResult& r, const std::string& name, CredibleLimitChoice limit,
             LineSink& memo) {
  const bool lowerPoorer = r.poorer == PoorerScores::Lower;
  memo.Add(
      FormatText(" %s (%s scores are poorer):", name.c_str(), lowerPoorer ? "lower" : "higher"));
  if (!r.HasTest()) {
    AddWrapped("No deficit test: " + DeficitProblemMessage(r.problem) + ".", memo);
    return;
  }
  memo.Add(FormatText(" t = %2.3Lf, df = %d, one-tailed probability = %2.5Lf ", r.t, r.df,
                      r.oneTailedP));
  const int L = r.crediblePercent;
  const std::string percentHeading = FormatText(
      " Percentage of controls (with same values on covariate[s] as case) scoring %s than the "
      "case:",
      lowerPoorer ? "lower" : "higher");
  if (!r.HasLimits()) {
    memo.Add(FormatText(" Effect size (Z-CCC) = %2.3Lf", r.effectSize));
    memo.Add(percentHeading);
    memo.Add(FormatText(" Point estimate    = %2.3Lf%%", r.percentBeyond));
    AddWrapped("No limits: " + DeficitProblemMessage(r.problem) + ".", memo);
    return;
  }
  switch (limit) {
    case CredibleLimitChoice::TwoSided:
      memo.Add(
          FormatText(" Effect size (Z-CCC) = %2.3Lf (%d%% CI on effect size = %3.3Lf  to  %3.3Lf)",
                     r.effectSize, L, r.effectSizeLower, r.effectSizeUpper));
      memo.Add(percentHeading);
      memo.Add(FormatText(" Point estimate    = %2.3Lf%% (%d%% CI = %3.3Lf%%  to  %3.3Lf%%)",
                          r.percentBeyond, L, r.percentLower, r.percentUpper));
      break;
    case CredibleLimitChoice::OneSidedLower:
      memo.Add(FormatText(
          " Effect size (Z-CCC) = %2.3Lf (%d%% lower Credible Limit on effect size = %3.3Lf)",
          r.effectSize, L, r.effectSizeLower));
      memo.Add(percentHeading);
      memo.Add(FormatText(" Point estimate    = %2.3Lf%% (%d%% lower Credible Limit = %3.3Lf%%)",
                          r.percentBeyond, L, r.percentLower));
      break;
    case CredibleLimitChoice::OneSidedUpper:
      memo.Add(FormatText(
          " Effect size (Z-CCC) = %2.3Lf (%d%% upper Credible Limit on effect size = %3.3Lf)",
          r.effectSize, L, r.effectSizeUpper));
      memo.Add(percentHeading);
      memo.Add(FormatText(" Point estimate    = %2.3Lf%% (%d%% upper Credible Limit = %3.3Lf%%)",
                          r.percentBeyond, L, r.percentUpper));
      break;
  }
}

}  // namespace

std::string DeficitProblemMessage(DeficitProblem problem) {
  switch (problem) {
    case DeficitProblem::None:
      return "";
    case DeficitProblem::OutsideDomain:
      return "it needs 1 to 5 covariates and at least k + 2 controls";
    case DeficitProblem::NotFinite:
      return "a mean, SD, correlation or score of this task or a covariate is not a finite "
             "number, or an SD is not above 0";
    case DeficitProblem::NotAnalysable:
      return "the covariates predict this task (almost) exactly in the control sample, or are "
             "linearly dependent, so its residual SD cannot be estimated";
    case DeficitProblem::LimitsNotFound:
      return "the case lies so far from its predicted score that its limits cannot be computed";
  }
  return "";
}

void WriteDeficitSection(const DeficitResult& y1, const DeficitResult& y2,
                         long double differenceTwoTailedP, CredibleLimitChoice limit,
                         LineSink& memo, const VariableNames& names) {
  memo.Add("");
  memo.Add(
      " DEFICIT TESTS - each task on its own: the case's score against the scores of controls with "
      "the");
  memo.Add(
      " same values on the covariate[s], as predicted from the control sample (one-tailed "
      "probabilities");
  memo.Add(" in the task's poorer direction):");
  memo.Add("");
  AddTask(y1, TaskName(names, 1), limit, memo);
  memo.Add("");
  AddTask(y2, TaskName(names, 2), limit, memo);
  memo.Add("");
  const std::optional<DissociationVerdict> verdict =
      ClassifyDissociation(y1, y2, differenceTwoTailedP, names);
  if (!verdict) {
    AddWrapped("Verdict: none, as the deficit test of a task could not be made.", memo);
  } else {
    AddWrapped("Verdict: " + verdict->verdict, memo);
    if (!verdict->note.empty()) AddWrapped(verdict->note, memo);
    memo.Add(" " + verdict->rule);  // one line (ClassifyDissociation keeps it short)
  }
  memo.Add(" ");
}

}  // namespace quorvane
