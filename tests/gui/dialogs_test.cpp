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
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
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

TEST(DialogsTest, OpenDialogOffersAllFilesBesideTheTextFiles) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  // A data file whose name does not end in .txt can be chosen.
  const QString data = MakeFile(QDir(scratch.path()).filePath("controls.dat"));
  OpenFileRequest request;
  request.initialFolder = scratch.path().toStdString();
  QtDialogs dialogs;
  QStringList offered;
  AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
    offered = dialog.nameFilters();
    dialog.selectNameFilter(QString::fromLatin1(kAllFilesFilter));
    dialog.selectFile(data);
    static_cast<QDialog&>(dialog).accept();
  });
  const std::optional<QString> chosen = dialogs.ChooseOpenFile(nullptr, request);
  EXPECT_EQ(offered, QStringList({"Text files only (*.txt)", "All files (*)"}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QFileInfo(*chosen).absoluteFilePath(), data);
}

TEST(DialogsTest, ANameTypedWithoutExtensionGetsTheChosenTypes) {
  const struct {
    const char* typed;
    const char* filter;
    const char* saved;
  } cases[] = {
      {"report", "PDF document (*.pdf)", "report.pdf"},
      {"/tmp/a/report", "PNG image (*.png)", "/tmp/a/report.png"},
      {"report.", "SVG drawing (*.svg)", "report.svg"},
      {"report", "*.txt", "report.txt"},
      {"report", "Text files (*.txt *.csv)", "report.txt"},
      {"report.PDF", "PNG image (*.png)", "report.PDF"},   // an extension typed stays
      {"report.v2", "PDF document (*.pdf)", "report.v2"},  // so does any other
      {"report", "All files (*)", "report"},               // a filter without one
      {"/tmp/a.b/report", "PDF document (*.pdf)", "/tmp/a.b/report.pdf"},  // a dot in a folder
      {"", "PDF document (*.pdf)", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithChosenSuffix(QString::fromLatin1(c.typed), QString::fromLatin1(c.filter)),
              QString::fromLatin1(c.saved))
        << c.typed << " with " << c.filter;
  }
}

TEST(DialogsTest, SaveDialogAddsTheExtensionOfTheTypeChosen) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  QtDialogs dialogs;
  SaveFileRequest request;
  request.proposedName = QDir(scratch.path()).filePath("plots.png");
  request.filter = "PNG image (*.png);;PDF document (*.pdf)";
  for (const bool typedExtension : {false, true}) {
    AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
      dialog.selectNameFilter("PDF document (*.pdf)");
      dialog.selectFile(typedExtension ? "report.png" : "report");
      static_cast<QDialog&>(dialog).accept();
    });
    const std::optional<QString> chosen = dialogs.ChooseSaveFile(nullptr, request);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).fileName(), typedExtension ? "report.png" : "report.pdf");
    EXPECT_EQ(QFileInfo(*chosen).absolutePath(), QFileInfo(scratch.path()).absoluteFilePath());
  }
}

TEST(DialogsTest, TheUnsavedResultsQuestionHasSaveDiscardAndCancel) {
  QtDialogs dialogs;
  const struct {
    const char* press;  // "enter", "escape", "discard"
    UnsavedChoice answer;
  } cases[] = {{"enter", UnsavedChoice::Save},
               {"escape", UnsavedChoice::Cancel},
               {"discard", UnsavedChoice::Discard}};
  for (const auto& c : cases) {
    QString shown;
    int buttons = 0;
    AnswerNextDialog<QMessageBox>([&](QMessageBox& box) {
      shown = box.text();
      buttons = static_cast<int>(box.buttons().size());
      const std::string press = c.press;
      if (press == "enter") {
        QTest::keyClick(&box, Qt::Key_Return);
      } else if (press == "escape") {
        QTest::keyClick(&box, Qt::Key_Escape);
      } else {
        box.button(QMessageBox::Discard)->click();
      }
    });
    EXPECT_EQ(dialogs.AskSaveDiscardCancel(nullptr, kSaveBeforeExitQuestion), c.answer) << c.press;
    EXPECT_EQ(shown, kSaveBeforeExitQuestion);
    EXPECT_EQ(buttons, 3);
  }
}

TEST(DialogsTest, PrintPreviewShowsThePagesPaintedAndPrintsNothingWhenClosed) {
  QtDialogs dialogs;
  QPrinter printer(QPrinter::HighResolution);
  int paintedPages = 0;
  int shownPages = -1;
  AnswerNextDialog<QPrintPreviewDialog>([&](QPrintPreviewDialog& dialog) {
    auto* view = dialog.findChild<QPrintPreviewWidget*>();
    if (view != nullptr) shownPages = view->pageCount();
    dialog.reject();
  });
  dialogs.ShowPrintPreview(nullptr, printer, [&](QPrinter& target) {
    QPainter painter(&target);
    for (int page = 0; page < 3; ++page) {
      if (page > 0) target.newPage();
      painter.drawText(QPointF(10, 10), QStringLiteral("page %1").arg(page + 1));
    }
    paintedPages = 3;
  });
  EXPECT_EQ(paintedPages, 3);
  EXPECT_EQ(shownPages, 3);
}

}  // namespace
}  // namespace quorvane::testing
