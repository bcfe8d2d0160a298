// The printed layout of text (wrapping, tabs, page breaks) with a font of
// one unit per character, and the fonts the program prints and shows with.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QRegularExpression>
#include <algorithm>

#include "gui/fonts.h"
#include "gui/text_printing.h"
#include "gui_fixture.h"

namespace quorvane {
namespace {

TextPageMetrics UnitFont(double width, double height) {
  TextPageMetrics m;
  m.advance = [](QChar) { return 1.0; };
  m.averageCharWidth = 1;
  m.lineHeight = 1;
  m.pageWidth = width;
  m.pageHeight = height;
  return m;
}

TEST(LayOutTextPages, WrapsLinesWiderThanThePageAndExpandsTabs) {
  const struct {
    const char* text;
    QStringList printed;
  } cases[] = {
      {"abcdefghijklmnopqrstuvwxy\n", {"abcdefghij", "klmnopqrst", "uvwxy"}},
      {"abcdefghij\n", {"abcdefghij"}},      // exactly the page width: one line
      {"a\tb\n", {"a       b"}},             // to the next multiple of 8 widths
      {"abcdefgh\tx\n", {"abcdefgh", "x"}},  // the next tab stop (16) is off the page
      {"a\r\nb\r\n\r\n", {"a", "b", ""}},    // CR LF line ends; one empty line
      {"a\nb", {"a", "b"}},                  // the last line needs no line end
      {"", {}},
  };
  for (const auto& c : cases) {
    const std::vector<QStringList> pages =
        LayOutTextPages(QString::fromLatin1(c.text), UnitFont(10, 100));
    QStringList printed;
    for (const QStringList& page : pages) printed += page;
    EXPECT_EQ(printed, c.printed) << c.text;
  }
}

TEST(LayOutTextPages, NewPageWhenTheNextLineWouldNotFitAboveTheBottomTwoLineHeights) {
  // A page 10 lines high takes 8 lines: the 9th would reach into the bottom two.
  QString text;
  for (int i = 1; i <= 20; ++i) text += QStringLiteral("%1\n").arg(i);
  const std::vector<QStringList> pages = LayOutTextPages(text, UnitFont(10, 10));
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].size(), 8);
  EXPECT_EQ(pages[0].first(), "1");
  EXPECT_EQ(pages[1].first(), "9");
  EXPECT_EQ(pages[2], QStringList({"17", "18", "19", "20"}));
  // A page too small for even one line still takes one per page.
  EXPECT_EQ(LayOutTextPages(QStringLiteral("a\nb\n"), UnitFont(10, 2)).size(), 2u);
}

TEST(TextBlocks, BlankLinesSeparateBlocksAndALineEndingInAColonIntroducesTheNext) {
  const QStringList lines = {"", " INPUTS:", " N = 20",   "   ", " Raw data:", " 1 2",      " 3 4",
                             "", "",         " OUTPUTS:", "",    " p = 0.03",  " q = 0.01", ""};
  EXPECT_EQ(TextBlocks(lines),
            (std::vector<TextBlock>{{1, 2, false}, {4, 3, false}, {9, 1, true}, {11, 2, false}}));
  // The last block introduces nothing.
  EXPECT_EQ(TextBlocks({"a", "", "b:"}), (std::vector<TextBlock>{{0, 1, false}, {2, 1, false}}));
  EXPECT_TRUE(TextBlocks({"", " "}).empty());
}

TEST(PageStarts, BlocksStayOnOnePageWhereTheyFitAndLongerOnesBreakWhenThePageIsFull) {
  using B = std::vector<TextBlock>;
  const struct {
    const char* what;
    B blocks;
    int lineCount, perPage;
    std::vector<int> starts;
  } cases[] = {
      {"all on one page", {{0, 3}, {4, 3}}, 7, 10, {0}},
      {"the second block would be split: it starts page 2", {{0, 6}, {7, 4}}, 11, 10, {0, 7}},
      {"exactly full", {{0, 6}, {7, 3}}, 10, 10, {0}},
      {"a heading goes with its block", {{0, 5}, {6, 1, true}, {8, 3}}, 11, 10, {0, 6}},
      {"headings in a chain", {{0, 4}, {5, 1, true}, {7, 1, true}, {9, 3}}, 12, 10, {0, 5}},
      {"a block longer than a page breaks when the page is full", {{0, 25}}, 25, 10, {0, 10, 20}},
      {"a long block after a short one starts where there is room for two lines",
       {{0, 7}, {8, 15}},
       23,
       10,
       {0, 10, 20}},
      {"no room for two of its lines: the long block starts a page",
       {{0, 8}, {9, 15}},
       24,
       10,
       {0, 9, 19}},
      {"a heading before a long block keeps two of its lines",
       {{0, 7}, {8, 1, true}, {10, 15}},
       25,
       10,
       {0, 8, 18}},
      {"leading blank lines are no page of their own", {{12, 5}}, 17, 10, {12}},
      {"blank lines only", {}, 25, 10, {0, 10, 20}},
      {"one line a page at least", {{0, 1}, {2, 1}}, 3, 0, {0, 2}},
      {"nothing", {}, 0, 10, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PageStarts(c.blocks, c.lineCount, c.perPage), c.starts) << c.what;
  }
}

// The lines of page p (0-based) of starts, as LayOutTextPages prints them.
QStringList PageLines(const QStringList& lines, const std::vector<int>& starts, std::size_t p,
                      int perPage) {
  const int end = p + 1 < starts.size() ? starts[p + 1] : static_cast<int>(lines.size());
  return lines.mid(starts[p], std::min(end - starts[p], perPage));
}

TEST(PageStarts, TheReportsResultsAreNeverSplitNorSeparatedFromTheirHeading) {
  // The README's example report with the deficit tests, from the command-line program.
  const QStringList report =
      quorvane::testing::CliReport({"--controls", "20", "--covariates", "2", "--deficits",
                                    QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"});
  ASSERT_GT(report.size(), 100);
  const std::vector<TextBlock> blocks = TextBlocks(report);
  const int heading = static_cast<int>(report.indexOf(" OUTPUTS:"));
  const int twoTailed = static_cast<int>(
      report.indexOf(QRegularExpression(QStringLiteral("^ Two-tailed probability = .*"))));
  const int percentage = static_cast<int>(
      report.indexOf(QRegularExpression(QStringLiteral("^ Bayesian point estimate .*"))));
  ASSERT_TRUE(heading >= 0 && twoTailed > heading && percentage > twoTailed);
  // Every page length of a usual sheet at 8 points (A4 and Letter: 70 to 90
  // lines) and shorter ones.
  for (int perPage = 20; perPage <= 95; ++perPage) {
    SCOPED_TRACE(perPage);
    const std::vector<int> starts = PageStarts(blocks, static_cast<int>(report.size()), perPage);
    auto pageOf = [&](int line) {
      return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), line) -
                              starts.begin()) -
             1;
    };
    // Every block that fits a page is on one page; the heading with the test's block.
    for (const TextBlock& b : blocks) {
      if (b.count <= perPage) {
        EXPECT_EQ(pageOf(b.first), pageOf(b.first + b.count - 1));
      }
    }
    EXPECT_EQ(pageOf(heading), pageOf(twoTailed));
    // Every line that is not blank is printed, in order, no page over-full.
    QStringList printed;
    for (std::size_t p = 0; p < starts.size(); ++p) {
      const QStringList page = PageLines(report, starts, p, perPage);
      EXPECT_LE(page.size(), perPage);
      printed += page;
    }
    QStringList shown = report, kept = printed;
    shown.removeIf([](const QString& l) { return l.trimmed().isEmpty(); });
    kept.removeIf([](const QString& l) { return l.trimmed().isEmpty(); });
    EXPECT_EQ(kept, shown);
  }
}

TEST(PageFooter, NamesThePageTheDateAndTheProgram) {
  EXPECT_EQ(PageFooter(2, 3, QDate(2026, 3, 4)), "Page 2 of 3    2026-03-04    Quorvane 1.0.0");
}

TEST(Fonts, ReportsAreMonospacedCourierNewOrTheClosestFace) {
  const QFontInfo memo(MemoFont());
  EXPECT_TRUE(memo.fixedPitch()) << memo.family().toStdString();
  EXPECT_EQ(memo.pixelSize(), 12);
  const QFontInfo print(PrintFont());
  EXPECT_TRUE(print.fixedPitch());
  EXPECT_EQ(PrintFont().pointSize(), 8);
  // Courier New itself, or its metric-compatible stand-in.
  EXPECT_TRUE(memo.family() == "Courier New" || memo.family() == "Liberation Mono")
      << memo.family().toStdString();
  EXPECT_EQ(WindowFont().pixelSize(), 13);
  EXPECT_TRUE(WindowFont(true).bold());
}

// Where the default face is fixed-pitch (what the font configuration gives
// for sans-serif on a system with the Liberation fonts alone), the windows
// take Liberation Sans; a proportional default face is kept.
TEST(Fonts, WindowsTakeAProportionalFaceWhereTheDefaultIsFixedPitch) {
  const struct {
    const char* defaultFace;
    const char* windowFace;
  } cases[] = {{"Liberation Mono", "Liberation Sans"},
               {"DejaVu Sans Mono", "Liberation Sans"},
               {"DejaVu Sans", "DejaVu Sans"},
               {"Cantarell", "Cantarell"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(testing::UseFace(QString::fromLatin1(c.defaultFace)));
    const QFontInfo window(WindowFont());
    EXPECT_EQ(window.family().toStdString(), c.windowFace) << c.defaultFace;
    EXPECT_FALSE(window.fixedPitch()) << c.defaultFace;
    EXPECT_EQ(window.pixelSize(), 13) << c.defaultFace;
    EXPECT_TRUE(WindowFont(true).bold()) << c.defaultFace;
  }
  EXPECT_TRUE(testing::UseFace(testing::TestFaces().front()));
}

}  // namespace
}  // namespace quorvane
