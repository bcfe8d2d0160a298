#include "TemplateForm/qt/qt_compute_host.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QWidget>

#include "TemplateForm/worksheet/worksheet.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "gui/dialogs.h"

namespace quorvane {

QtComputeHost::QtComputeHost(DialogSeam& dialogs, QWidget& worksheet)
    : dialogs_(dialogs), worksheet_(worksheet) {}

QtComputeHost::~QtComputeHost() {
  SetBusyCursor(false);
}

QWidget* QtComputeHost::DialogParent() const {
  if (worksheet_.isVisible()) return &worksheet_;
  if (viewer_ != nullptr && viewer_->isVisible()) return viewer_;
  return &worksheet_;
}

MessageButton QtComputeHost::ShowMessage(MessageKind kind, const std::string& text) {
  return dialogs_.ShowMessage(DialogParent(), kind, QString::fromStdString(text));
}

void QtComputeHost::Beep() {
  dialogs_.Beep();
}

std::optional<std::string> QtComputeHost::ChooseOpenFile(const OpenFileRequest& request) {
  if (!nextOpenFile_.isEmpty()) return std::exchange(nextOpenFile_, QString()).toStdString();
  const std::optional<QString> chosen = dialogs_.ChooseOpenFile(DialogParent(), request);
  if (!chosen) return std::nullopt;
  return chosen->toStdString();
}

void QtComputeHost::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

void QtComputeHost::SetWorkingCursor() {
  if (busy_) QGuiApplication::changeOverrideCursor(Qt::BusyCursor);
}

LineSink& QtComputeHost::Results() {
  if (viewer_ != nullptr) return viewer_->Memo();
  if (!noViewer_) noViewer_ = std::make_unique<LineList>();
  return *noViewer_;
}

void QtComputeHost::ShowResultsViewer(const std::string& caption) {
  if (viewer_ == nullptr) return;
  viewer_->setWindowTitle(QString::fromStdString(caption));
  viewer_->show();
  worksheet_.hide();
}

void QtComputeHost::FocusField(int k) {
  focusedField_ = k;
  const QString name = QString::fromStdString(FieldObjectName(k));
  if (auto* field = worksheet_.findChild<QLineEdit*>(name)) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();  // typing replaces the text at fault
  }
}

}  // namespace quorvane
