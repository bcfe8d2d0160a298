#include "TemplateForm/worksheet/saved_summary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "TemplateForm/temp_dir.h"
#include "TemplateForm/worksheet/saved_inputs.h"
#include "file_io/number_text.h"

namespace quorvane {
namespace {

using testing::TempDir;

// One covariate; the values need from 1 to 21 significant digits.
SummaryStatistics Statistics(long double tiny) {
  SummaryTexts t = SummaryTexts::Empty(12, 1);
  t.means = {"100", "-0.07", "0.1"};
  t.sds = {"4.22118716152595855814", "0.000001", "2.5"};
  t.caseScores = {"9", "27", "1234567.125"};
  t.correlations = {{"0.55"}, {"0.3", "-0.0718556032869633996721"}};
  SummaryStatistics s;
  EXPECT_FALSE(ConvertSummaryTexts(t, s).has_value());
  s.means[3] = tiny;
  return s;
}

// The grids' texts read back to the very same 80-bit values, in few digits
// and never with an exponent (which the grids refuse).
TEST(SavedSummary, ShortestTextsReadBackExactlyAsPlainDecimals) {
  const SummaryStatistics s = Statistics(1e-30L);
  const SummaryTexts t = ShortestSummaryTexts(s);
  EXPECT_EQ(t.means[0], "100");
  EXPECT_EQ(t.means[1], "-0.07");
  EXPECT_EQ(t.sds[1], "0.000001");
  EXPECT_EQ(t.caseScores[2], "1234567.125");
  EXPECT_EQ(t.correlations[0][0], "0.55");
  // A 21-digit value: its leading digits, no more than the exact value needs.
  const std::string full = "4.22118716152595855814";
  EXPECT_LT(t.sds[0].size(), full.size());
  EXPECT_TRUE(full.starts_with(t.sds[0].substr(0, t.sds[0].size() - 1))) << t.sds[0];
  EXPECT_EQ(t.means[2].find('e'), std::string::npos) << t.means[2];
  SummaryStatistics back;
  ASSERT_FALSE(ConvertSummaryTexts(t, back).has_value());
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(back.means[j], s.means[j]) << j;
    EXPECT_EQ(back.sds[j], s.sds[j]) << j;
    EXPECT_EQ(back.caseScores[j], s.caseScores[j]) << j;
    for (int l = 1; l <= 3; ++l) EXPECT_EQ(back.R(j, l), s.R(j, l)) << j << "," << l;
  }
}

TEST(SavedSummary, KeptStatisticsAndKindComeBackAndTheKindChangesAlone) {
  TempDir dir;
  SetSavedInputsFolders("", (dir.Path() / "user").string());
  EXPECT_FALSE(LoadLastSummary().has_value());
  const SummaryStatistics s = Statistics(0.5L);
  SaveLastSummary(s, DataKind::SummaryStatistics);
  auto last = LoadLastSummary();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->kind, DataKind::SummaryStatistics);
  EXPECT_EQ(last->statistics.R(3, 2), s.R(3, 2));
  // Still a summary file the command-line program reads.
  SummaryStatistics read;
  EXPECT_FALSE(ReadSummaryFile(SavedSummaryFile(), read).has_value());

  SaveLastDataKind(DataKind::RawDataFile);
  last = LoadLastSummary();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->kind, DataKind::RawDataFile);
  EXPECT_EQ(last->statistics.sds[1], s.sds[1]);

  // A damaged file restores nothing; Clear Data's delete removes it.
  std::ofstream(SavedSummaryFile(), std::ios::app) << "surplus\n";
  EXPECT_FALSE(LoadLastSummary().has_value());
  DeleteLastSummary();
  SaveLastDataKind(DataKind::SummaryStatistics);  // no file: none is made
  EXPECT_FALSE(std::ifstream(SavedSummaryFile()).good());
  ResetSavedInputsFolders();
}

}  // namespace
}  // namespace quorvane
