#include "gui/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace quorvane {

namespace {

// While a modal dialog is up, the pointer is the normal arrow even when an
// analysis has set the busy cursor; the busy cursor returns afterwards.
class ArrowWhileModal {
 public:
  ArrowWhileModal() : pushed_(QGuiApplication::overrideCursor() != nullptr) {
    if (pushed_) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~ArrowWhileModal() {
    if (pushed_) QGuiApplication::restoreOverrideCursor();
  }
  ArrowWhileModal(const ArrowWhileModal&) = delete;
  ArrowWhileModal& operator=(const ArrowWhileModal&) = delete;

 private:
  bool pushed_;
};

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString MessageBoxTitle(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QStringLiteral("Warning");
    case MessageKind::Error:
      return QStringLiteral("Error");
    case MessageKind::Information:
      return QStringLiteral("Information");
    case MessageKind::Confirmation:
      return QStringLiteral("Confirm");
  }
  return {};
}

QString DisplayedMessageText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

namespace {

MessageButton ShowBox(QWidget* parent, MessageKind kind, const QString& text,
                      MessageButton defaultButton) {
  ArrowWhileModal arrow;
  QMessageBox box(IconOf(kind), MessageBoxTitle(kind), DisplayedMessageText(text),
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("messageBox"));
  if (kind == MessageKind::Confirmation) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultButton == MessageButton::No ? QMessageBox::No : QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int pressed = box.exec();
  if (kind != MessageKind::Confirmation) return MessageButton::Ok;
  return pressed == QMessageBox::Yes ? MessageButton::Yes : MessageButton::No;
}

}  // namespace

MessageButton QtDialogs::ShowMessage(QWidget* parent, MessageKind kind, const QString& text) {
  return ShowBox(parent, kind, text, MessageButton::Yes);
}

MessageButton QtDialogs::Confirm(QWidget* parent, const QString& text,
                                 MessageButton defaultButton) {
  return ShowBox(parent, MessageKind::Confirmation, text, defaultButton);
}

UnsavedChoice QtDialogs::AskSaveDiscardCancel(QWidget* parent, const QString& text) {
  ArrowWhileModal arrow;
  QMessageBox box(QMessageBox::Question, MessageBoxTitle(MessageKind::Confirmation),
                  DisplayedMessageText(text),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("messageBox"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return UnsavedChoice::Save;
    case QMessageBox::Discard:
      return UnsavedChoice::Discard;
    default:
      return UnsavedChoice::Cancel;
  }
}

void QtDialogs::ShowAbout(QWidget* parent, const QString& title, const QString& text) {
  ArrowWhileModal arrow;
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("aboutBox"));
  box.setTextFormat(Qt::PlainText);
  box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
  box.exec();
}

void QtDialogs::Beep() {
  QApplication::beep();
}

std::optional<QString> QtDialogs::ChooseOpenFile(QWidget* parent, const OpenFileRequest& request) {
  ArrowWhileModal arrow;
  QFileDialog dialog(parent, QStringLiteral("Open"), OpenDialogFolder(request, lastOpenName_));
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(OpenDialogFilters(request));
  if (!lastOpenName_.isEmpty()) dialog.selectFile(QFileInfo(lastOpenName_).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  lastOpenName_ = dialog.selectedFiles().constFirst();
  return QDir::toNativeSeparators(lastOpenName_);
}

std::optional<QString> QtDialogs::ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) {
  ArrowWhileModal arrow;
  QFileDialog dialog(parent, QStringLiteral("Save As"));
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(request.filter);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  const QFileInfo proposed(request.proposedName);
  if (proposed.isAbsolute()) dialog.setDirectory(proposed.absolutePath());
  dialog.selectFile(proposed.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(
      WithChosenSuffix(dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()));
}

bool QtDialogs::SetUpPrinter(QWidget* parent, QPrinter& printer) {
  ArrowWhileModal arrow;
  // With no printer installed the dialog offers printing to a PDF file, with a
  // name already filled in.
  if (QPrinterInfo::availablePrinterNames().isEmpty() && printer.outputFileName().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::current().absoluteFilePath(QStringLiteral("results.pdf")));
  }
  QPrintDialog dialog(&printer, parent);
  dialog.setObjectName(QStringLiteral("printDialog"));
  return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::ShowPrintPreview(QWidget* parent, QPrinter& printer,
                                 const std::function<void(QPrinter&)>& paint) {
  ArrowWhileModal arrow;
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setObjectName(QStringLiteral("printPreview"));
  dialog.setWindowTitle(QStringLiteral("Print Preview"));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&paint](QPrinter* target) { paint(*target); });
  dialog.exec();
}

void QtDialogs::TerminateApplication() {
  terminating_ = true;
  QCoreApplication::quit();
}

QStringList OpenDialogFilters(const OpenFileRequest& request) {
  return {QString::fromStdString(request.filterDescription + " (" + request.filterPattern + ")"),
          QString::fromLatin1(kAllFilesFilter)};
}

QString WithChosenSuffix(const QString& fileName, const QString& chosenFilter) {
  const QFileInfo typed(fileName);
  if (fileName.isEmpty() || fileName.endsWith(QLatin1Char('/')) || !typed.suffix().isEmpty()) {
    return fileName;
  }
  // The first pattern of the filter: inside its parentheses where it has them.
  QString patterns = chosenFilter;
  const qsizetype open = patterns.lastIndexOf(QLatin1Char('('));
  const qsizetype close = patterns.lastIndexOf(QLatin1Char(')'));
  if (open >= 0 && close > open) patterns = patterns.mid(open + 1, close - open - 1);
  const QString first = patterns.simplified().section(QLatin1Char(' '), 0, 0);
  if (!first.startsWith(QStringLiteral("*.")) || first.size() < 3) return fileName;
  const QString suffix = first.mid(2);
  if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))) return fileName;
  QString named = fileName;
  if (named.endsWith(QLatin1Char('.'))) named.chop(1);  // "report." with PDF: report.pdf
  return named + QLatin1Char('.') + suffix;
}

QString OpenDialogFolder(const OpenFileRequest& request, const QString& lastChosen) {
  if (!lastChosen.isEmpty()) {
    const QDir folder = QFileInfo(lastChosen).absoluteDir();
    if (folder.exists()) return folder.path();
  }
  return QString::fromStdString(request.initialFolder);
}

bool ConfirmExit(DialogSeam& dialogs, QWidget* parent) {
  if (dialogs.ShowMessage(parent, MessageKind::Confirmation, QString::fromLatin1(kExitQuestion)) !=
      MessageButton::Yes) {
    return false;
  }
  dialogs.TerminateApplication();
  return true;
}

}  // namespace quorvane
