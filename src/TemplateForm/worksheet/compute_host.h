// What the worksheet's Compute command needs from the outside world: boxes,
// the open dialog, the cursor, the results viewer and the focus. The desktop
// program's worksheet window implements it (and the tests, with scripted
// answers).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "text/line_sink.h"
#include "text/messages.h"

namespace quorvane {

// How the raw-data open dialog is configured.
struct OpenFileRequest {
  std::string filterDescription = "Text files only";
  std::string filterPattern = "*.txt";
  std::string initialFolder;  // the process's current folder
  bool mustExist = true;
};

class ComputeHost : public MessageSink {
 public:
  // MessageSink: a modal box of the kind (confirmations offer Yes and No, the
  // others OK; returns the button pressed) and the beep.
  // The open dialog; std::nullopt when the user cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  // The results viewer's memo (memoResults).
  virtual LineSink& Results() = 0;
  // Show the results viewer with the caption, and hide the worksheet.
  virtual void ShowResultsViewer(const std::string& caption) = 0;
  // Give input field k (1-based) the focus.
  virtual void FocusField(int k) = 0;
  // Progress of the engine run; returning false cancels it. Default: no display.
  virtual bool ReportProgress(std::int64_t /*done*/, std::int64_t /*total*/) { return true; }
  // Information during a run (the loaded-data notice, a failed Cholesky pivot
  // of the setup), shown as an information box.
  virtual void ShowNotice(const std::string& text) { ShowMessage(MessageKind::Information, text); }
};

}  // namespace quorvane
