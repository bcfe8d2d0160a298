// The Compute command's outside world in the desktop program: message boxes,
// the beep and the open dialog through the dialog seam, the busy cursor, the
// results viewer and the focus of the worksheet's fields.
#pragma once

#include <QString>
#include <memory>
#include <utility>

#include "TemplateForm/worksheet/compute_host.h"
#include "matrix_handling/matrix_print.h"

class QWidget;

namespace quorvane {

class DialogSeam;
class TfrmTemplateResults;

class QtComputeHost : public ComputeHost {
 public:
  // worksheet: the window whose fields txtInput1..txtinput8 receive the focus.
  QtComputeHost(DialogSeam& dialogs, QWidget& worksheet);
  ~QtComputeHost() override;
  QtComputeHost(const QtComputeHost&) = delete;
  QtComputeHost& operator=(const QtComputeHost&) = delete;

  void SetResultsViewer(TfrmTemplateResults* viewer) { viewer_ = viewer; }

  MessageButton ShowMessage(MessageKind kind, const std::string& text) override;
  void Beep() override;
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override;
  // The hourglass while busy; calls that do not change the state do nothing,
  // so every exit path may restore the default cursor.
  void SetBusyCursor(bool busy) override;
  LineSink& Results() override;
  void ShowResultsViewer(const std::string& caption) override;
  void FocusField(int k) override;

  // The file the next open dialog would choose, given beforehand (a file
  // dropped on the worksheet): the next ChooseOpenFile returns it without a
  // dialog and forgets it. An empty text forgets it.
  void SetNextOpenFile(const QString& path) { nextOpenFile_ = path; }
  bool HoldsNextOpenFile() const { return !nextOpenFile_.isEmpty(); }

  // While the engine runs the pointer shows that the program is working but
  // still answers (the progress dialog's Cancel).
  void SetWorkingCursor();
  bool Busy() const { return busy_; }
  // The field (1-based) that FocusField last put the focus in since the last
  // call, 0 for none; the next call returns 0 until FocusField runs again.
  int TakeFocusedField() { return std::exchange(focusedField_, 0); }

 private:
  QWidget* DialogParent() const;

  DialogSeam& dialogs_;
  QWidget& worksheet_;
  TfrmTemplateResults* viewer_ = nullptr;
  bool busy_ = false;
  int focusedField_ = 0;
  QString nextOpenFile_;
  std::unique_ptr<LineList> noViewer_;  // where a report goes when there is no viewer
};

}  // namespace quorvane
