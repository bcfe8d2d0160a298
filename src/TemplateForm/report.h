// The results report: the fixed-layout text of one analysis, appended line by
// line to the results viewer's memo.
#pragma once

#include <array>
#include <string>

#include "TemplateForm/compute.h"
#include "TemplateForm/worksheet.h"
#include "matrix_handling/matrix_print.h"

namespace quorvane {

// The three lines under " THIS PROGRAM IMPLEMENTS STATISTICAL METHODS
// DEVELOPED IN THE FOLLOWING PAPER:", each beginning with a blank. They
// describe the method in neutral words.
extern const std::array<std::string, 3> CitationLines;

// Appends the report of one finished analysis to memo: a rule of 102
// underscores first when memo already holds a line, then the title, the
// method, the notes, the inputs as typed, the raw data of the controls, the
// summary table, the correlations, the conditional statistics and the test,
// effect-size and abnormality results in the form the credible-limit choice
// asks for. The field texts, their labels and the notes come from sheet; the
// prior and the credible-limit choice from analysis (the ones the engine ran
// with). Lines already in memo are not touched. Writes nothing else; cannot fail.
void WriteReport(const Worksheet& sheet, const Analysis& analysis, LineSink& memo);

}  // namespace quorvane
