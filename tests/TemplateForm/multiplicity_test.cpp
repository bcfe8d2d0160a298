#include "TemplateForm/multiplicity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace quorvane {
namespace {

// Worked by hand: sorted 0.01, 0.02, 0.03, 0.04, 0.30 (m = 5) give
// 5 x 0.01 = 0.05, 4 x 0.02 = 0.08, 3 x 0.03 = 0.09, 2 x 0.04 = 0.08 -> 0.09
// (never below the one before), 1 x 0.30 = 0.30; back in input order.
TEST(HolmAdjusted, StepsDownAndNeverDecreasesAlongTheSortedOrder) {
  const std::vector<long double> p = {0.04L, 0.30L, 0.01L, 0.03L, 0.02L};
  const std::vector<long double> expected = {0.09L, 0.30L, 0.05L, 0.09L, 0.08L};
  const std::vector<long double> got = HolmAdjusted(p);
  ASSERT_EQ(got.size(), p.size());
  for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-18L) << i;
}

TEST(HolmAdjusted, CapsAtOneKeepsTiesAndLeavesWhatIsNoProbability) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  // m = 3 (the NaN takes no part): 3 x 0.2 = 0.6, 2 x 0.2 = 0.4 -> 0.6, 1 x 0.9 = 0.9.
  const std::vector<long double> got = HolmAdjusted({0.2L, nan, 0.9L, 0.2L});
  EXPECT_NEAR(got[0], 0.6L, 1e-18L);
  EXPECT_TRUE(std::isnan(got[1]));
  EXPECT_NEAR(got[2], 0.9L, 1e-18L);
  EXPECT_NEAR(got[3], 0.6L, 1e-18L);
  EXPECT_EQ(HolmAdjusted({0.6L, 0.7L}), (std::vector<long double>{1.0L, 1.0L}));
  EXPECT_TRUE(HolmAdjusted({}).empty());
  EXPECT_EQ(HolmAdjusted({0.03L}), (std::vector<long double>{0.03L}));
}

}  // namespace
}  // namespace quorvane
