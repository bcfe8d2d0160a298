// The plots' drawing with the deficit plots: which plots there are, how many
// columns fill an area best, and the image SavePlots writes (the deficit
// plots below the other two, each with its curve and shaded tail).
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TemplateForm/analysis.h"
#include "gui/plots/plot_render.h"

namespace quorvane {
namespace {

PlotData ExamplePlots(bool withDeficits) {
  AnalysisRequest request;
  request.SetCounts(20, 2);
  request.drawCount = 5000;
  request.keepDraws = true;
  request.data = RawDataFile{QUORVANE_EXAMPLES_DIR "/controls-and-case.txt"};
  const AnalysisOutcome outcome = RunAnalysis(request);
  if (!outcome.ok()) throw std::runtime_error(outcome.error().message);
  const Analysis& a = outcome.result();
  if (!withDeficits) return BuildPlotData(a);
  auto test = [&a](int task, PoorerScores poorer) {
    return Run_Deficit_Test(task, poorer, a.k, a.N, true, 95, a.sds, a.means, a.caseScores, a.R);
  };
  return BuildPlotData(a, a.draws, test(1, PoorerScores::Lower), test(2, PoorerScores::Higher));
}

TEST(PlotRender, PlotKindsAndColumns) {
  EXPECT_EQ(PlotKinds(ExamplePlots(false)),
            (std::vector<PlotKind>{PlotKind::Posterior, PlotKind::CaseAmongControls}));
  EXPECT_EQ(PlotKinds(ExamplePlots(true)),
            (std::vector<PlotKind>{PlotKind::Posterior, PlotKind::CaseAmongControls,
                                   PlotKind::DeficitY1, PlotKind::DeficitY2}));
  // Plots are 800 x 520: the columns that draw them largest.
  struct Row {
    double width, height;
    int count, columns;
  };
  const Row rows[] = {
      {800, 1040, 2, 1}, {1600, 520, 2, 2},  {1600, 1040, 4, 2}, {800, 2080, 4, 1},
      {3200, 520, 4, 4}, {1000, 1000, 4, 2}, {600, 2000, 4, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(PlotColumnsToFit(QSizeF(r.width, r.height), r.count), r.columns)
        << r.width << " x " << r.height << ", " << r.count << " plots";
  }
  EXPECT_FALSE(PlotsSideBySide(QSizeF(800, 1040)));
  EXPECT_TRUE(PlotsSideBySide(QSizeF(1600, 520)));
}

// Pixels of a colour close to c in the rectangle.
int CountNear(const QImage& image, const QRect& rect, QColor c, int tolerance) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - c.red()) <= tolerance &&
          std::abs(p.green() - c.green()) <= tolerance &&
          std::abs(p.blue() - c.blue()) <= tolerance) {
        ++n;
      }
    }
  }
  return n;
}

TEST(PlotRender, SavedImageHoldsTheDeficitPlotsBelowTheOthers) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const PlotData plot = ExamplePlots(true);
  QString why;
  const QString path = dir.filePath(QStringLiteral("all.png"));
  ASSERT_TRUE(SavePlots(path, plot, std::nullopt, why, 1.0)) << why.toStdString();
  QImage image(path);
  ASSERT_EQ(image.size(), QSize(kPlotWidth, 4 * kPlotHeight));
  // Each deficit plot: the curve (blue, 0072B2) and the shaded tail (the
  // purple fill over white) are drawn; Task Y1's tail is on the left of its
  // case, Task Y2's (higher scores poorer) on the right.
  const QColor curve(0x00, 0x72, 0xB2);
  const QColor shade(0xE5, 0xBF, 0xD5);  // CC79A7 at 110 / 255 over white
  for (int i = 2; i < 4; ++i) {
    SCOPED_TRACE(i);
    const QRect cell(0, i * kPlotHeight, kPlotWidth, kPlotHeight);
    EXPECT_GT(CountNear(image, cell, curve, 30), 500);
    const DeficitPlot& d = plot.deficits[static_cast<std::size_t>(i - 2)];
    const double share = static_cast<double>((d.caseValue - d.xMin) / (d.xMax - d.xMin));
    const int caseX = static_cast<int>(78 + share * (kPlotWidth - 22 - 78));
    const QRect left(78, cell.top() + 150, caseX - 78 - 4, kPlotHeight - 220);
    const QRect right(caseX + 4, cell.top() + 150, kPlotWidth - 22 - caseX - 8, kPlotHeight - 220);
    const int leftShade = CountNear(image, left, shade, 25);
    const int rightShade = CountNear(image, right, shade, 25);
    // (A few pixels where the curve's edge blends into white come near the
    // fill's colour on the other side.)
    if (d.upperTail) {
      EXPECT_GT(rightShade, 300);
      EXPECT_LT(leftShade, 50);
    } else {
      EXPECT_GT(leftShade, 300);
      EXPECT_LT(rightShade, 50);
    }
  }
  // A deficit plot asked for where the data hold none is left blank.
  QImage blank(kPlotWidth, kPlotHeight, QImage::Format_RGB32);
  blank.fill(Qt::white);
  {
    QPainter painter(&blank);
    PaintPlot(painter, QRectF(0, 0, kPlotWidth, kPlotHeight), ExamplePlots(false),
              PlotKind::DeficitY1);
  }
  EXPECT_EQ(CountNear(blank, blank.rect(), Qt::white, 0), kPlotWidth * kPlotHeight);
}

}  // namespace
}  // namespace quorvane
