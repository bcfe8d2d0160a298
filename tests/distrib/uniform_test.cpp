#include "distrib/uniform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quorvane {
namespace {

// Seeds, restored after each test: other tests share the process-wide state.
class UniformTest : public testing::Test {
 protected:
  void SetUp() override {
    saved1_ = Seed1;
    saved2_ = Seed2;
  }
  void TearDown() override {
    Seed1 = saved1_;
    Seed2 = saved2_;
  }

 private:
  std::int32_t saved1_ = 0, saved2_ = 0;
};

struct Step {
  std::int32_t seed1, seed2;
  long double u;
};

// Reference: python big integers, s1 = 40014 s1 mod 2147483563 and
// s2 = 40692 s2 mod 2147483399 by plain modular multiplication (not Schrage's
// splitting), z = s1 - s2 (+ 2147483562 when z < 1), and u = z * 4.656613e-10
// in exact decimal arithmetic. The extended product is within 1e-19 of it.
void ExpectSequence(std::int32_t s1, std::int32_t s2, const std::vector<Step>& steps) {
  Seed1 = s1;
  Seed2 = s2;
  for (const Step& step : steps) {
    const long double u = Uniform_01();
    EXPECT_EQ(Seed1, step.seed1);
    EXPECT_EQ(Seed2, step.seed2);
    EXPECT_NEAR(u, step.u, 1e-19L);
  }
}

TEST_F(UniformTest, FollowsTheCombinedRecurrenceFromTheEngineSeeds) {
  ExpectSequence(1111931815, 2056071926,
                 {
                     {1275187176, 1873071151, 0.7215885581618831L},
                     {1130203584, 530479184, 0.27926844374572L},
                     {109856959, 1903311979, 0.1648573911048246L},
                     {2064987528, 582264533, 0.6904467173915935L},
                     {1833375404, 324035669, 0.7028411031417555L},
                     {497420013, 111373088, 0.1797671129565025L},
                 });
}

TEST_F(UniformTest, FollowsTheCombinedRecurrenceFromTheStartSeeds) {
  ExpectSequence(kStartSeed1, kStartSeed2,
                 {
                     {415845629, 1442593794, 0.5218831019230361L},
                     {944352682, 567953783, 0.1752744006269087L},
                     {207443000, 2106481197, 0.1156913916448745L},
                 });
}

// z = Seed1 - Seed2 ranges over 1 .. 2147483562 after the wrap, and the scale
// 4.656613e-10 is below 1 / 2147483562, so 0 < u < 1 always. The predecessor
// seeds below (python: multiplication by the modular inverses of 40014 and
// 40692) lead to the extreme states: z = 1, z = 0 wrapped to 2147483562, a
// wrapped z of 165, and z = 2147483561.
TEST_F(UniformTest, ExtremeStatesStayInsideTheOpenInterval) {
  ExpectSequence(2016640235, 1481316021, {{2, 1, 4.656613e-10L}});
  ExpectSequence(1820375243, 964129908, {{5, 5, 0.9999999872095506L}});
  ExpectSequence(2082061899, 666167378, {{1, 2147483398, 165 * 4.656613e-10L}});
  ExpectSequence(65421664, 1481316021, {{2147483562, 1, 0.9999999867438893L}});
}

TEST_F(UniformTest, LongRunNeverGivesZeroOrOne) {
  Seed1 = 1111931815;
  Seed2 = 2056071926;
  long double lowest = 1, highest = 0;
  for (int i = 0; i < 10'000'000; ++i) {
    const long double u = Uniform_01();
    if (u < lowest) lowest = u;
    if (u > highest) highest = u;
  }
  EXPECT_GT(lowest, 0);
  EXPECT_LT(highest, 1);
  // Ten million draws reach within 1e-6 of both ends (about ten expected at each).
  EXPECT_LT(lowest, 1e-6L);
  EXPECT_GT(highest, 1 - 1e-6L);
}

TEST_F(UniformTest, ReseedingRepeatsTheSequence) {
  std::vector<long double> first, second;
  Seed1 = 1111931815;
  Seed2 = 2056071926;
  for (int i = 0; i < 1000; ++i) first.push_back(Uniform_01());
  Seed1 = 1111931815;
  Seed2 = 2056071926;
  for (int i = 0; i < 1000; ++i) second.push_back(Uniform_01());
  EXPECT_EQ(first, second);
}

// The steps computed ahead hand out exactly what Schrage's step gives one at a
// time, and leave the seeds as it does after every value: over several blocks,
// when the seeds are assigned in the middle of a block, and for seeds outside
// 1 .. m - 1 (0, negative, m or above), where Schrage's step is not a s mod m.
TEST_F(UniformTest, StepsComputedAheadEqualSchragesStepOneAtATime) {
  const std::int32_t starts[][2] = {{1111931815, 2056071926}, {1, 1},
                                    {2147483562, 2147483398}, {0, 5},
                                    {-7, 123456789},          {2147483563, 2147483399},
                                    {2147483647, -2147483647}};
  for (const auto& start : starts) {
    std::vector<std::int32_t> want;
    Seed1 = start[0];
    Seed2 = start[1];
    for (int i = 0; i < 300; ++i) {
      want.push_back(detail::SchrageStep(Seed1, Seed2));
      want.push_back(Seed1);
      want.push_back(Seed2);
    }
    Seed1 = start[0];
    Seed2 = start[1];
    for (int i = 0; i < 300; ++i) {
      const long double u = Uniform_01();
      ASSERT_EQ(u, want[3 * i] * 4.656613e-10L) << start[0] << " " << start[1] << " step " << i;
      ASSERT_EQ(Seed1, want[3 * i + 1]);
      ASSERT_EQ(Seed2, want[3 * i + 2]);
      if (i == 100) {  // reseed mid-block: the rest follows the new seeds
        Seed1 = want[3 * 150 + 1];
        Seed2 = want[3 * 150 + 2];
        i = 150;
      }
    }
  }
}

// A source with seeds of its own gives exactly the values Uniform_01 gives from
// the same seeds, over several blocks and for seeds outside 1 .. m - 1, tells
// where it stands, and never touches the process-wide seeds.
TEST_F(UniformTest, UniformSourceGivesTheStreamOfItsOwnSeeds) {
  const std::int32_t starts[][2] = {{1111931815, 2056071926}, {0, 5}, {-7, 123456789}};
  for (const auto& start : starts) {
    Seed1 = start[0];
    Seed2 = start[1];
    std::vector<long double> want;
    std::vector<std::int32_t> seeds;
    for (int i = 0; i < 500; ++i) {
      want.push_back(Uniform_01());
      seeds.push_back(Seed1);
      seeds.push_back(Seed2);
    }
    Seed1 = 42;
    Seed2 = 43;
    UniformSource source(start[0], start[1]);
    EXPECT_EQ(source.Seed1(), start[0]);
    for (std::size_t i = 0; i < want.size(); ++i) {
      ASSERT_EQ(source(), want[i]) << start[0] << " step " << i;
      ASSERT_EQ(source.Seed1(), seeds[2 * i]);
      ASSERT_EQ(source.Seed2(), seeds[2 * i + 1]);
    }
    EXPECT_EQ(Seed1, 42);
    EXPECT_EQ(Seed2, 43);
  }
}

}  // namespace
}  // namespace quorvane
