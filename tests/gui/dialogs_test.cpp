// The real dialogs behind the seam, answered from a timer inside their own
// event loop: the open dialog's starting folder, and which button Enter
// presses in a confirmation.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "gui/dialogs.h"

namespace quorvane::testing {
namespace {

// Runs answer on the modal dialog of type T once it is up.
template <class T>
void AnswerNextDialog(const std::function<void(T&)>& answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      AnswerNextDialog<T>(answer);  // not up yet
      return;
    }
    answer(*dialog);
  });
}

QString MakeFile(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("1 2 3\n");
  return QFileInfo(path).absoluteFilePath();
}

TEST(DialogsTest, OpenDialogStartsInTheFolderOfTheLastFileChosen) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const QDir root(scratch.path());
  ASSERT_TRUE(root.mkpath("current") && root.mkpath("data"));
  const QString data = MakeFile(root.filePath("data/controls.txt"));
  OpenFileRequest request;
  request.initialFolder = root.filePath("current").toStdString();

  QtDialogs dialogs;
  QString firstFolder;
  AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
    firstFolder = dialog.directory().absolutePath();
    dialog.selectFile(data);
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  const std::optional<QString> chosen = dialogs.ChooseOpenFile(nullptr, request);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QFileInfo(*chosen).absoluteFilePath(), data);
  EXPECT_EQ(firstFolder, root.filePath("current"));

  QString secondFolder;
  QStringList proposed;
  AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
    secondFolder = dialog.directory().absolutePath();
    proposed = dialog.selectedFiles();
    dialog.reject();
  });
  EXPECT_FALSE(dialogs.ChooseOpenFile(nullptr, request).has_value());
  EXPECT_EQ(secondFolder, root.filePath("data"));
  ASSERT_EQ(proposed.size(), 1);
  EXPECT_EQ(QFileInfo(proposed[0]).fileName(), "controls.txt");
}

TEST(DialogsTest, OpenDialogFolderFallsBackToTheRequestedOne) {
  QTemporaryDir scratch;
  const QDir root(scratch.path());
  ASSERT_TRUE(root.mkpath("kept") && root.mkpath("gone"));
  OpenFileRequest request;
  request.initialFolder = "/requested";
  const QString kept = MakeFile(root.filePath("kept/a.txt"));
  const QString gone = root.filePath("gone/b.txt");
  ASSERT_TRUE(QDir(root.filePath("gone")).removeRecursively());
  EXPECT_EQ(OpenDialogFolder(request, QString()), "/requested");
  EXPECT_EQ(OpenDialogFolder(request, kept), root.filePath("kept"));
  EXPECT_EQ(OpenDialogFolder(request, gone), "/requested");
}

TEST(DialogsTest, EnterAnswersTheDiscardQuestionNoAndTheExitQuestionYes) {
  QtDialogs dialogs;
  const struct {
    bool discard;
    MessageButton enter;
  } cases[] = {{true, MessageButton::No}, {false, MessageButton::Yes}};
  for (const auto& c : cases) {
    QString shown;
    AnswerNextDialog<QMessageBox>([&](QMessageBox& box) {
      shown = box.text();
      QTest::keyClick(&box, Qt::Key_Return);
    });
    const MessageButton answer =
        c.discard ? dialogs.Confirm(nullptr, kDiscardResultsQuestion, MessageButton::No)
                  : dialogs.ShowMessage(nullptr, MessageKind::Confirmation, kExitQuestion);
    EXPECT_EQ(answer, c.enter) << c.discard;
    EXPECT_EQ(shown, c.discard ? kDiscardResultsQuestion : kExitQuestion);
  }
}

}  // namespace
}  // namespace quorvane::testing
