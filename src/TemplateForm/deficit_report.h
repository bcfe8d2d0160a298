// The report's section on the deficit tests: each task's test against the
// controls' prediction at the case's covariate values, then the verdict on a
// dissociation and the rule it follows. It comes after the existing report,
// which it leaves as it is, and has the report's style (a leading blank on
// each line, p to 5 decimals, effect sizes and percentages to 3).
#pragma once

#include <string>

#include "Bayes_Engines/deficit_test.h"
#include "TemplateForm/analysis.h"
#include "TemplateForm/dissociation.h"
#include "TemplateForm/variable_names.h"
#include "text/line_sink.h"

namespace quorvane {

// Text lines of the section are at most this long (a leading blank included),
// as the report's longest line: longer sentences continue on the next line.
inline constexpr std::size_t kDeficitSectionWidth = 104;

// Appends the section: Task Y1's and Task Y2's tests (t, df, one-tailed p,
// Z-CCC with its limits, the percentage of controls further in the poorer
// direction with its limits, the limits as `limit` asks), then the verdict
// from ClassifyDissociation(y1, y2, differenceTwoTailedP), its caution or
// advice where it has one, and its rule. A test that could not be made, or
// limits that could not be found, are said in words.
// The tasks are called by their names in names.
void WriteDeficitSection(const DeficitResult& y1, const DeficitResult& y2,
                         long double differenceTwoTailedP, CredibleLimitChoice limit,
                         LineSink& memo, const VariableNames& names = {});

// Why a deficit test (or its limits) is missing, as a clause for the report
// and for machine-readable output. Empty for DeficitProblem::None.
std::string DeficitProblemMessage(DeficitProblem problem);

}  // namespace quorvane
