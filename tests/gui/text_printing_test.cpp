// The printed layout of text (wrapping, tabs, page breaks) with a font of
// one unit per character, and the fonts the program prints and shows with.
#include <gtest/gtest.h>

#include <QFontInfo>

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
