// The saved worksheet inputs: the field texts of the last analysis, kept in
// the file SavedInputsFileName ("Quorvane.txt") in the program's folder, or,
// when that folder cannot be written (a read-only installation), in the
// user's application-data folder.
//
// File format: the texts of input fields 1..8, each followed by one blank, no
// line ends (for N = 12 and 2 covariates: "12 2" and seven blanks). When the
// deficit option differs from its default, a line end and a second line
// follow: "deficits", "on" or "off", then "lower" or "higher" for Task Y1 and
// for Task Y2, separated by blanks ("deficits on lower higher"). A file
// without that line (every file written before the option existed) restores
// the option's default. When names were given to the variables, a line
// "names" follows with one item per variable (Task Y1, Task Y2, the
// covariates): "%" for none, a blank written %20 and a % written %25.
#pragma once

#include <optional>
#include <string>

#include "TemplateForm/worksheet/compute_host.h"
#include "TemplateForm/worksheet/worksheet.h"

namespace quorvane {

// Replaces the two folders where the saved-inputs file is looked for and
// written (normally GetProgramDirectory() and UserDataDirectory()); an empty
// text means "no such folder". For tests, and for a program that wants its
// inputs kept elsewhere. ResetSavedInputsFolders returns to the defaults.
void SetSavedInputsFolders(const std::string& programFolder, const std::string& fallbackFolder);
void ResetSavedInputsFolders();

// The user's folder as things stand: UserDataDirectory(), or the fallback
// folder SetSavedInputsFolders gave (empty: none).
std::string SavedInputsUserFolder();

// The full path of the saved-inputs file as things stand: where this process
// last wrote it, else where it exists (program folder first, then the
// fallback folder), else the program-folder path.
std::string SavedInputsFile();

// Writes the file anew through the safe writer: first in the program folder;
// if that fails, in the fallback folder (created as needed). If even that
// fails it gives up silently. Never throws: the analysis is never blocked by
// it.
void SaveCurrentData(const Worksheet& sheet);

// Start-up restore. Sets WorksheetConfig.savedInputsFound to whether the file
// exists (program folder first, then the fallback folder); reads back the
// first WorksheetConfig.restoreCount field values (formatted "%1.6g"; none in
// this program); then shows fields 1..visibleFieldCount and hides the rest.
// The deficit option and the names come back from their lines (none, or
// the default, when a line is missing or cannot be read).
// Never throws; a value that cannot be read ends the restore.
void LoadPreviousData(Worksheet& sheet);

// "Clear Data ": empties the texts of all eight fields, the notes and the
// variables' names, deletes
// the saved-inputs file (in both folders; a failure to delete is ignored),
// sets the correlation matrix store to zero and gives field 1 the focus. The
// prior and credible-limit choices are kept.
void btnclearDataClick(Worksheet& sheet, ComputeHost& host);

}  // namespace quorvane
