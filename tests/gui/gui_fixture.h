// Shared set-up of the desktop program's tests: both windows with scripted
// dialogs on Qt's offscreen platform, the saved inputs in a scratch folder,
// and helpers to type, click and wait.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "TemplateForm/qt/TfrmTemplate.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateResults/TfrmTemplateResults.h"
#include "gui/scripted_dialogs.h"

// A QString in a test's message, as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << text.toStdString();
}

namespace quorvane::testing {

// Posterior draws per run in these tests (the program's are 1,000,000).
inline constexpr int kTestDraws = 2000;

inline QString GuiDataFile(const char* name) {
  return QDir(QStringLiteral(QUORVANE_GUI_TEST_DATA_DIR))
      .absoluteFilePath(QString::fromLatin1(name));
}

// The text of a PDF file, as pdftotext extracts it (form feeds between pages).
inline QString PdfText(const QString& pdf) {
  QProcess process;
  process.start(QStringLiteral(QUORVANE_PDFTOTEXT), {QStringLiteral("-layout"), pdf, "-"});
  EXPECT_TRUE(process.waitForFinished(30000)) << "pdftotext did not run";
  EXPECT_EQ(process.exitCode(), 0);
  return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPages(const QString& pdf) {
  return static_cast<int>(PdfText(pdf).count(QLatin1Char('\f')));
}

// A PDF's text without the page footers ("Page 2 of 3", the date, the program).
inline QString WithoutPageFooters(QString text) {
  return text.remove(QRegularExpression(
      QStringLiteral("[ ]*Page \\d+ of \\d+ +\\d{4}-\\d\\d-\\d\\d +Quorvane [^\\n]*\\n?")));
}

// Text with all white space removed: how printed text is compared with what
// was printed, whatever the PDF reader makes of blanks and line breaks.
inline QString WithoutBlanks(QString text) {
  return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// A caption as shown: the '&' that marks the mnemonic letter removed ("&&"
// shows one '&').
inline QString ShownCaption(const QString& text) {
  QString shown;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

// Runs the event loop until done() holds or the time is up; returns done().
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

// The user-interface faces the windows are tested with: the common
// sans-serif faces of Linux desktops, each in a Debian package that
// scripts/install-deps.sh installs (fonts-liberation, fonts-dejavu-core,
// fonts-noto-core, fonts-cantarell). The first is the face of every test
// that is not run once per face, so that no result depends on the fonts a
// machine happens to have.
inline const QStringList& TestFaces() {
  static const QStringList faces = {QStringLiteral("Liberation Sans"),
                                    QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                    QStringLiteral("Cantarell")};
  return faces;
}

// Makes face the application's default face, as on a desktop whose
// user-interface font it is; fails where the face is not installed (the
// font configuration would quietly give another).
inline ::testing::AssertionResult UseFace(const QString& face) {
  const QFontInfo found{QFont(face)};
  if (found.family() != face) {
    return ::testing::AssertionFailure()
           << face.toStdString() << " is not installed (" << found.family().toStdString()
           << " is used for it): scripts/install-deps.sh installs the tests' fonts";
  }
  QFont font = QApplication::font();
  font.setFamilies({face});
  QApplication::setFont(font);
  return ::testing::AssertionSuccess();
}

class GuiTest : public ::testing::Test {
 protected:
  // The application's face while the test runs.
  virtual QString Face() const { return TestFaces().front(); }

  void SetUp() override {
    ASSERT_TRUE(UseFace(Face()));
    ASSERT_TRUE(scratch_.isValid());
    ASSERT_TRUE(QDir(scratch_.path()).mkpath(QStringLiteral("program")));
    SetSavedInputsFolders(ProgramFolder().toStdString(),
                          QDir(scratch_.path()).filePath(QStringLiteral("appdata")).toStdString());
    worksheet_ = std::make_unique<TfrmTemplate>(dialogs_);
    viewer_ = std::make_unique<TfrmTemplateResults>(dialogs_);
    worksheet_->SetResultsViewer(viewer_.get());
    worksheet_->SetDrawCount(kTestDraws);
    worksheet_->show();
    worksheet_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(worksheet_.get()));
  }

  // A new worksheet, as at the program's next start (the viewer stays).
  void Restart() {
    worksheet_.reset();
    worksheet_ = std::make_unique<TfrmTemplate>(dialogs_);
    worksheet_->SetResultsViewer(viewer_.get());
    worksheet_->SetDrawCount(kTestDraws);
    worksheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(worksheet_.get()));
  }

  void TearDown() override {
    worksheet_.reset();
    viewer_.reset();
    ResetSavedInputsFolders();
    EXPECT_TRUE(UseFace(TestFaces().front()));
  }

  QString ProgramFolder() const {
    return QDir(scratch_.path()).filePath(QStringLiteral("program"));
  }
  QString ScratchFile(const char* name) const {
    return QDir(scratch_.path()).filePath(QString::fromLatin1(name));
  }

  template <class T>
  T* Find(QWidget* window, const char* name) {
    T* widget = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* Field(int k) { return worksheet_->Field(k); }
  QPlainTextEdit* Notes() { return Find<QPlainTextEdit>(worksheet_.get(), "memoComments"); }

  // Compute with the inputs as they stand, the open dialog answering file
  // (empty: cancelled); waits until the command has ended and returns whether
  // it wrote a report.
  bool Compute(const QString& file) {
    dialogs_.openAnswers.clear();
    if (file.isEmpty()) {
      dialogs_.openAnswers.push_back(std::nullopt);
    } else {
      dialogs_.openAnswers.push_back(file);
    }
    return ClickCompute();
  }
  // Clicks Compute (no open dialog is answered) and waits as Compute does.
  bool ClickCompute() {
    QSignalSpy ended(worksheet_.get(), &TfrmTemplate::computeEnded);
    Find<QPushButton>(worksheet_.get(), "cmdCompute")->click();
    if (!WaitUntil([&] { return ended.count() > 0; })) {
      ADD_FAILURE() << "Compute did not end";
      return false;
    }
    return ended.first().first().toBool();
  }

  QTemporaryDir scratch_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TfrmTemplate> worksheet_;
  std::unique_ptr<TfrmTemplateResults> viewer_;
};

// The report quorvane-cli prints for the arguments (with kTestDraws draws),
// as lines.
inline QStringList CliReport(const QStringList& arguments) {
  QProcess cli;
  cli.start(QStringLiteral(QUORVANE_CLI_PATH),
            QStringList{"--draws", QString::number(kTestDraws)} + arguments);
  EXPECT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
  return lines;
}

// A GuiTest run once for each of TestFaces(), the windows made with that face
// as the application's default.
class GuiFaceTest : public GuiTest, public ::testing::WithParamInterface<QString> {
 protected:
  QString Face() const override { return GetParam(); }
};

// "Liberation Sans" as "LiberationSans", a test name's part.
inline std::string FaceName(const ::testing::TestParamInfo<QString>& info) {
  return QString(info.param).remove(QLatin1Char(' ')).toStdString();
}

}  // namespace quorvane::testing
