// The desktop program's modal dialogs behind one seam: message boxes, the
// beep, the open and save dialogs, the print dialog and the end of the
// program. The windows call nothing modal directly, so the tests answer every
// dialog in advance (ScriptedDialogs) and never block.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "TemplateForm/worksheet/compute_host.h"

class QPrinter;
class QWidget;

namespace quorvane {

// How the results viewer's save dialog is configured.
struct SaveFileRequest {
  QString proposedName;  // the name proposed (first "results.txt", then the last chosen)
  QString filter = "*.txt";
  bool confirmOverwrite = true;  // ask before replacing an existing file
};

// The answer to the question asked before the program ends with results not
// saved.
enum class UnsavedChoice { Save, Discard, Cancel };

class DialogSeam {
 public:
  virtual ~DialogSeam() = default;
  // A modal box of the kind (confirmations offer Yes and No, the others OK);
  // returns the button pressed. A carriage return in text is a line break.
  virtual MessageButton ShowMessage(QWidget* parent, MessageKind kind, const QString& text) = 0;
  // A confirmation box with Yes and No whose default button (the one Enter
  // presses) is defaultButton; returns the button pressed.
  virtual MessageButton Confirm(QWidget* parent, const QString& text,
                                MessageButton defaultButton) = 0;
  virtual void Beep() = 0;
  // The About box: title and plain text, with OK.
  virtual void ShowAbout(QWidget* parent, const QString& title, const QString& text) = 0;
  // One question with Save, Discard and Cancel (Save the default, Escape
  // cancels).
  virtual UnsavedChoice AskSaveDiscardCancel(QWidget* parent, const QString& text) = 0;
  // The open dialog, offering the request's files and all files; std::nullopt
  // when cancelled.
  virtual std::optional<QString> ChooseOpenFile(QWidget* parent,
                                                const OpenFileRequest& request) = 0;
  // The save dialog; std::nullopt when cancelled. A name typed without an
  // extension gets that of the file type chosen (WithChosenSuffix).
  virtual std::optional<QString> ChooseSaveFile(QWidget* parent,
                                                const SaveFileRequest& request) = 0;
  // The print dialog for one print command: sets up printer (a real printer
  // or a PDF file); false when cancelled.
  virtual bool SetUpPrinter(QWidget* parent, QPrinter& printer) = 0;
  // The print preview of what paint prints on printer (paint is called for
  // the preview and again when it is printed from there).
  virtual void ShowPrintPreview(QWidget* parent, QPrinter& printer,
                                const std::function<void(QPrinter&)>& paint) = 0;
  // Ends the program (the event loop returns).
  virtual void TerminateApplication() = 0;
  // True once TerminateApplication has been called: windows then close
  // without asking again.
  virtual bool Terminating() const = 0;
};

// The real dialogs: QMessageBox, QFileDialog, QPrintDialog, QApplication::beep.
class QtDialogs : public DialogSeam {
 public:
  MessageButton ShowMessage(QWidget* parent, MessageKind kind, const QString& text) override;
  MessageButton Confirm(QWidget* parent, const QString& text, MessageButton defaultButton) override;
  UnsavedChoice AskSaveDiscardCancel(QWidget* parent, const QString& text) override;
  void Beep() override;
  void ShowAbout(QWidget* parent, const QString& title, const QString& text) override;
  std::optional<QString> ChooseOpenFile(QWidget* parent, const OpenFileRequest& request) override;
  std::optional<QString> ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) override;
  bool SetUpPrinter(QWidget* parent, QPrinter& printer) override;
  void ShowPrintPreview(QWidget* parent, QPrinter& printer,
                        const std::function<void(QPrinter&)>& paint) override;
  void TerminateApplication() override;
  bool Terminating() const override { return terminating_; }

 private:
  QString lastOpenName_;  // the open dialog starts in its folder and proposes it
  bool terminating_ = false;
};

// The title of a box of the kind ("Warning", "Error", "Information", "Confirm").
QString MessageBoxTitle(MessageKind kind);

// A box text as shown: each carriage return (alone or before a line feed)
// becomes a line break.
QString DisplayedMessageText(const QString& text);

// "Exit from program?" with Yes and No; on Yes the program ends. Returns
// whether it ends.
bool ConfirmExit(DialogSeam& dialogs, QWidget* parent);

inline constexpr const char* kExitQuestion = "Exit from program?";

// Asked (default answer No) before Clear Results or Exit discards results
// that have not been saved.
inline constexpr const char* kDiscardResultsQuestion =
    "The results in the viewer have not been saved. Discard them?";

// Asked before the program ends while the viewer holds results not saved:
// one question instead of the discard question and the exit question.
inline constexpr const char* kSaveBeforeExitQuestion =
    "The results in the viewer have not been saved. Save them before the program ends?";

// The open dialog's file types: the request's, then all files.
QStringList OpenDialogFilters(const OpenFileRequest& request);
inline constexpr const char* kAllFilesFilter = "All files (*)";

// A file name from the save dialog with the extension of the file type chosen
// (a name filter such as "PDF document (*.pdf)" or "*.txt": its first
// pattern) added where the name has none; a name with an extension, or a
// filter without one (such as "*"), leaves it as typed.
QString WithChosenSuffix(const QString& fileName, const QString& chosenFilter);

// The folder the open dialog starts in: that of the last file chosen in it,
// while that folder exists, else the folder the request names.
QString OpenDialogFolder(const OpenFileRequest& request, const QString& lastChosen);

}  // namespace quorvane
