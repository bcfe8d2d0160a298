// A DialogSeam whose answers are given in advance: for the tests and for the
// screenshot tool, which drive the windows without anyone at the screen.
// Every box, beep and dialog is recorded in order.
#pragma once

#include <QPrinter>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <optional>
#include <vector>

#include "gui/dialogs.h"

namespace quorvane {

class ScriptedDialogs : public DialogSeam {
 public:
  struct Message {
    MessageKind kind;
    QString text;
    MessageButton defaultButton = MessageButton::Ok;  // Yes or No for a confirmation
  };

  // --- what the windows asked, in order
  std::vector<Message> messages;
  int beeps = 0;
  std::vector<QString> abouts;  // the About boxes' texts
  std::vector<OpenFileRequest> openRequests;
  std::vector<SaveFileRequest> saveRequests;
  int printJobs = 0;  // print dialogs shown
  int terminations = 0;

  // --- the answers
  // Confirmation answers, used in order; when none is left, No.
  std::deque<MessageButton> confirmAnswers;
  // Open dialog answers, used in order; when none is left, cancelled.
  std::deque<std::optional<QString>> openAnswers;
  // Save dialog answers, used in order; when none is left, cancelled.
  std::deque<std::optional<QString>> saveAnswers;
  // The file type chosen in each save dialog, used in order beside
  // saveAnswers; when none is left, the name is taken as given.
  std::deque<QString> saveFilterAnswers;
  // Answers to the Save, Discard, Cancel question, used in order; when none
  // is left, Cancel.
  std::deque<UnsavedChoice> unsavedAnswers;
  // PDF files each print preview is painted into, used in order; when none
  // is left, the preview is painted into a PDF file of its own that is not kept.
  std::deque<QString> previewAnswers;
  int previews = 0;  // print previews shown
  // PDF files the print dialog chooses, used in order; when none is left, cancelled.
  std::deque<QString> pdfAnswers;

  MessageButton ShowMessage(QWidget* /*parent*/, MessageKind kind, const QString& text) override {
    if (kind != MessageKind::Confirmation) {
      messages.push_back({kind, text});
      return MessageButton::Ok;
    }
    return Answer(text, MessageButton::Yes);
  }
  MessageButton Confirm(QWidget* /*parent*/, const QString& text,
                        MessageButton defaultButton) override {
    return Answer(text, defaultButton);
  }
  UnsavedChoice AskSaveDiscardCancel(QWidget* /*parent*/, const QString& text) override {
    messages.push_back({MessageKind::Confirmation, text, MessageButton::Yes});
    if (unsavedAnswers.empty()) return UnsavedChoice::Cancel;
    const UnsavedChoice answer = unsavedAnswers.front();
    unsavedAnswers.pop_front();
    return answer;
  }
  void Beep() override { ++beeps; }
  void ShowAbout(QWidget* /*parent*/, const QString& /*title*/, const QString& text) override {
    abouts.push_back(text);
  }
  std::optional<QString> ChooseOpenFile(QWidget* /*parent*/,
                                        const OpenFileRequest& request) override {
    openRequests.push_back(request);
    return Next(openAnswers);
  }
  std::optional<QString> ChooseSaveFile(QWidget* /*parent*/,
                                        const SaveFileRequest& request) override {
    saveRequests.push_back(request);
    std::optional<QString> name = Next(saveAnswers);
    if (!saveFilterAnswers.empty()) {
      if (name) name = WithChosenSuffix(*name, saveFilterAnswers.front());
      saveFilterAnswers.pop_front();
    }
    return name;
  }
  bool SetUpPrinter(QWidget* /*parent*/, QPrinter& printer) override {
    ++printJobs;
    if (pdfAnswers.empty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfAnswers.front());
    pdfAnswers.pop_front();
    return true;
  }
  void ShowPrintPreview(QWidget* /*parent*/, QPrinter& printer,
                        const std::function<void(QPrinter&)>& paint) override {
    ++previews;
    QString file;
    if (!previewAnswers.empty()) {
      file = previewAnswers.front();
      previewAnswers.pop_front();
    }
    QTemporaryDir scratch;
    if (file.isEmpty()) file = scratch.filePath(QStringLiteral("preview.pdf"));
    // The preview's own printer: the printer's page layout, into a PDF file.
    QPrinter preview(QPrinter::HighResolution);
    preview.setPageLayout(printer.pageLayout());
    preview.setOutputFormat(QPrinter::PdfFormat);
    preview.setOutputFileName(file);
    paint(preview);
  }
  void TerminateApplication() override { ++terminations; }
  bool Terminating() const override { return terminations > 0; }

 private:
  MessageButton Answer(const QString& text, MessageButton defaultButton) {
    messages.push_back({MessageKind::Confirmation, text, defaultButton});
    if (confirmAnswers.empty()) return MessageButton::No;
    const MessageButton answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
  }
  static std::optional<QString> Next(std::deque<std::optional<QString>>& answers) {
    if (answers.empty()) return std::nullopt;
    const bool given = answers.front().has_value();
    const QString name = given ? *answers.front() : QString();
    answers.pop_front();
    if (!given) return std::nullopt;
    return name;
  }
};

}  // namespace quorvane
