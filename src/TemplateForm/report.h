// The results report: the fixed-layout text of one analysis, appended line by
// line to the results viewer's memo.
#pragma once

#include <array>
#include <string>

#include "TemplateForm/analysis.h"
#include "text/line_sink.h"

namespace quorvane {

// Caption of the worksheet and head of every report.
extern const std::string ProgramTitle;

// Caption of the notes (lblComments); the report names the notes with it.
inline constexpr const char* kNotesCaption = "User's Notes:";

// One echo line of the report's inputs section, e.g.
// FormatInputLine("Number of covariates :", "2") == " Number of covariates = 2".
std::string FormatInputLine(const std::string& label, const std::string& value);

// The three lines under " THIS PROGRAM IMPLEMENTS STATISTICAL METHODS
// DEVELOPED IN THE FOLLOWING PAPER:", each beginning with a blank. They
// describe the method in neutral words.
extern const std::array<std::string, 3> CitationLines;

// Appends the report of one finished analysis to memo: a rule of 102
// underscores first when memo already holds a line, then the title, the
// method, the notes, the inputs as typed, the raw data of the controls (or,
// for summary input, a line naming where the statistics came from), the
// summary table, the correlations, the conditional statistics and the test,
// effect-size and abnormality results in the form the credible-limit choice
// asks for. Control characters in the notes and the data file's name are
// shown as \xNN (a tab as a blank), so that nothing in the report can act on
// a terminal or break its lines. Lines already in memo are not touched.
void WriteReport(const Analysis& analysis, LineSink& memo);

// text with every control character (C0, DEL and C1) shown as \xNN and a tab
// as a blank.
std::string ShowableText(const std::string& text);

}  // namespace quorvane
