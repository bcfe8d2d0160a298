// Every file the desktop program writes, onto a full disk: the earlier file
// survives and the user is told. The disk is a small file system of the
// test's own (tests/small_disk.sh mounts it and names it in
// QUORVANE_SMALL_DISK); CTest runs these tests there.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>

#include "TemplateForm/qt/series_window.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "TemplateForm/worksheet/saved_summary.h"
#include "gui_fixture.h"

namespace quorvane::testing {
namespace {

class SmallDiskGui : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    const char* disk = std::getenv("QUORVANE_SMALL_DISK");
    ASSERT_NE(disk, nullptr) << "run by CTest in tests/small_disk.sh";
    disk_ = QString::fromLocal8Bit(disk);
  }
  void TearDown() override {
    // Only the small disk's own folder is emptied: run without it (disk_
    // empty), QDir would name the current folder.
    if (!disk_.isEmpty() && QDir(disk_).isAbsolute()) {
      QDir(disk_).removeRecursively();
      QDir().mkpath(disk_);
    }
    GuiTest::TearDown();
  }
  QString OnDisk(const char* name) const { return QDir(disk_).filePath(QString::fromLatin1(name)); }
  void WriteEarlier(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("earlier\n");
  }
  void ExpectEarlier(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(file.readAll(), QByteArray("earlier\n")) << path.toStdString();
  }
  // The rest of the disk filled.
  void FillDisk() {
    QFile filler(OnDisk("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  // The last box is an error box naming the file.
  void ExpectErrorNaming(const QString& path) {
    ASSERT_FALSE(dialogs_.messages.empty());
    EXPECT_EQ(dialogs_.messages.back().kind, MessageKind::Error);
    EXPECT_TRUE(dialogs_.messages.back().text.contains(path))
        << dialogs_.messages.back().text.toStdString();
  }

  QString disk_;
};

TEST_F(SmallDiskGui, EveryFileTheWindowsWriteSurvivesAFullDisk) {
  // The saved inputs and the last statistics live on the full disk too.
  ASSERT_TRUE(QDir(disk_).mkpath(QStringLiteral("program")));
  ASSERT_TRUE(QDir(disk_).mkpath(QStringLiteral("appdata")));
  SetSavedInputsFolders(OnDisk("program").toStdString(), OnDisk("appdata").toStdString());
  const QString savedInputs = OnDisk("program/Quorvane.txt");
  const QString savedSummary = QString::fromStdString(SavedSummaryFile());
  // A report and its plots in the viewer, and statistics in summary mode,
  // before the disk fills; then the earlier files, and the disk full.
  Field(1)->setText(QStringLiteral("20"));
  Field(2)->setText(QStringLiteral("2"));
  ASSERT_TRUE(Compute(QStringLiteral(QUORVANE_EXAMPLES_DIR "/controls-and-case.txt")));
  // A case series against the same controls, its results not yet saved.
  const QString cases = ScratchFile("cases.txt");
  {
    QFile file(cases);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("P1 9 27 84 11\nP2 20 26 101 15\n");
  }
  dialogs_.openAnswers.push_back(QStringLiteral(QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"));
  dialogs_.openAnswers.push_back(cases);
  Find<QPushButton>(worksheet_.get(), "cmdCaseSeries")->click();
  SeriesWindow* series = worksheet_->findChild<SeriesWindow*>();
  ASSERT_NE(series, nullptr);
  ASSERT_TRUE(WaitUntil([series] { return !series->Running(); }));
  ASSERT_EQ(series->Cases().size(), 2u);
  dialogs_.openAnswers.push_back(QStringLiteral(QUORVANE_EXAMPLES_DIR "/summary-statistics.txt"));
  Find<QRadioButton>(worksheet_.get(), "DataKind_Radio_1")->click();
  Find<QPushButton>(worksheet_.get(), "cmdLoadSummary")->click();
  for (const QString& path :
       {OnDisk("report.txt"), OnDisk("plots.png"), OnDisk("plots.pdf"), OnDisk("summary.txt"),
        OnDisk("series.csv"), savedInputs, savedSummary}) {
    WriteEarlier(path);
  }
  FillDisk();

  dialogs_.messages.clear();
  dialogs_.saveAnswers.push_back(OnDisk("report.txt"));
  Find<QPushButton>(viewer_.get(), "cmdSaveOutput")->click();
  ExpectErrorNaming(OnDisk("report.txt"));
  for (const char* name : {"plots.png", "plots.pdf"}) {
    dialogs_.saveAnswers.push_back(OnDisk(name));
    Find<QPushButton>(viewer_.get(), "cmdSavePlot")->click();
    ExpectErrorNaming(OnDisk(name));
  }
  dialogs_.saveAnswers.push_back(OnDisk("summary.txt"));
  Find<QPushButton>(worksheet_.get(), "cmdSaveSummary")->click();
  ExpectErrorNaming(OnDisk("summary.txt"));
  dialogs_.saveAnswers.push_back(OnDisk("series.csv"));
  Find<QPushButton>(series, "cmdSaveCsv")->click();
  ExpectErrorNaming(OnDisk("series.csv"));
  // A Compute from the statistics writes the saved inputs and statistics
  // (quietly: keeping them never stops an analysis) and still reports.
  ASSERT_TRUE(ClickCompute());

  for (const QString& path :
       {OnDisk("report.txt"), OnDisk("plots.png"), OnDisk("plots.pdf"), OnDisk("summary.txt"),
        OnDisk("series.csv"), savedInputs, savedSummary}) {
    ExpectEarlier(path);
  }
  EXPECT_TRUE(
      QDir(disk_).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
}  // namespace quorvane::testing
