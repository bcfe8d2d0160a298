// A ComputeHost for tests: records every message, beep, focus change and
// cursor change, answers the open dialog with a scripted file name and keeps
// the results memo in memory.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TemplateForm/worksheet/compute_host.h"
#include "matrix_handling/matrix_print.h"

namespace quorvane::testing {

class ScriptedHost : public ComputeHost {
 public:
  // What the host has been told, in order.
  std::vector<std::pair<MessageKind, std::string>> messages;
  int beeps = 0;
  std::vector<int> focus;                // fields given the focus
  std::vector<bool> busy;                // SetBusyCursor arguments
  std::vector<OpenFileRequest> dialogs;  // each open dialog shown
  LineList results;                      // memoResults
  std::string viewerCaption;
  bool viewerShown = false;

  // Scripted answers.
  std::optional<std::string> nextFile;  // the open dialog's answer (nullopt: cancel)
  MessageButton confirmAnswer = MessageButton::Yes;

  MessageButton ShowMessage(MessageKind kind, const std::string& text) override {
    messages.emplace_back(kind, text);
    return kind == MessageKind::Confirmation ? confirmAnswer : MessageButton::Ok;
  }
  void Beep() override { ++beeps; }
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override {
    dialogs.push_back(request);
    return nextFile;
  }
  void SetBusyCursor(bool isBusy) override { busy.push_back(isBusy); }
  LineSink& Results() override { return results; }
  void ShowResultsViewer(const std::string& caption) override {
    viewerCaption = caption;
    viewerShown = true;
  }
  void FocusField(int k) override { focus.push_back(k); }

  // The cursor as the last SetBusyCursor left it (default: not busy).
  bool IsBusy() const { return !busy.empty() && busy.back(); }
};

}  // namespace quorvane::testing
