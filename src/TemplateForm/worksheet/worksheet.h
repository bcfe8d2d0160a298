// The worksheet's state as plain classes: the program-wide texts and settings,
// the eight labelled input fields, the two choices, the notes and the
// description. The Qt window is a thin view over this model; the Compute
// command and the report read it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "TemplateForm/analysis.h"
#include "TemplateForm/report.h"

namespace quorvane {

// Name of the saved-inputs file in the program's folder.
extern const std::string SavedInputsFileName;

// The object names of the input fields' edits (txtInput1 .. txtinput8, the
// last in lower case), as the window and its tests find them.
std::string FieldObjectName(int k);

// Which of the worksheet template's features this program uses.
struct WorksheetConfigRecord {
  int visibleFieldCount = 0;  // fields 1..visibleFieldCount (and labels) shown
  int restoreCount = 0;       // leading fields read back from the saved inputs
  bool matrixEntryEnabled = false;
  bool gridEnabled = false;
  int gridColumns = 0;
  int gridRows = 0;
  bool savedInputsFound = false;  // the saved-inputs file existed at start-up
};
extern WorksheetConfigRecord WorksheetConfig;

// Program-wide 20 x 20 correlation matrix store (unused by this program's
// configuration; kept at zero).
extern std::array<std::array<double, 20>, 20> CorrelationMatrixStore;

struct InputField {
  std::string label;  // caption of LabelK
  std::string text;   // what the user typed (at most 6 characters)
  bool visible = false;
};

class Worksheet {
 public:
  // Fields 1..8 (index 0 unused). Field 1 holds N, field 2 the number of covariates.
  std::array<InputField, 9> fields;
  int priorIndex = 0;  // Prior_Radio item index
  int limitIndex = 0;  // RadioGroup1 item index
  // The deficit test of each task (off by default) and which scores are
  // poorer on each.
  DeficitChoice deficits;
  // The names given to Task Y1, Task Y2 and the covariates (none by default).
  VariableNames names;
  // The notes (memoComments) as lines; empty when the notes hold no line.
  std::vector<std::string> notes;
  std::string notesCaption = kNotesCaption;  // lblComments
  std::string description;                   // DescripFld

  InputField& Field(int k) { return fields[static_cast<std::size_t>(k)]; }
  const InputField& Field(int k) const { return fields[static_cast<std::size_t>(k)]; }
  PriorChoice Prior() const { return static_cast<PriorChoice>(priorIndex); }
  CredibleLimitChoice CredibleLimit() const { return static_cast<CredibleLimitChoice>(limitIndex); }
};

// The description text placed in DescripFld at start-up.
const std::string& DescriptionText();

// Start-up of the worksheet model (the creation handler's steps that concern
// the model): empty fields and notes, zero matrix store, labels, description,
// WorksheetConfig filled, then the saved-inputs restore, which sets the
// fields' visibility.
void FormCreate(Worksheet& sheet);

}  // namespace quorvane
