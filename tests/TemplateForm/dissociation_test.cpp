// The verdict the three tests add up to: one small data set per pattern (20
// controls, one covariate; the difference test's p given, as its Monte Carlo
// engine is not run here), the thresholds, and what is not classified.
#include "TemplateForm/dissociation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace quorvane {
namespace {

using ::testing::HasSubstr;

// Controls: Task Y1 mean 50, SD 10; Task Y2 mean 40, SD 8; the covariate mean
// 100, SD 15; correlations .6 (Y1, Y2), .5 (each task with the covariate). The
// case's covariate is at the controls' mean, so h0 = 1/20 and each task's
// Z-CCC is (score - mean) / (SD x sqrt(.75 x 19/18)).
struct Case {
  long double y1, y2;
  PoorerScores poorer1 = PoorerScores::Lower, poorer2 = PoorerScores::Lower;
};

DeficitResult TaskTest(const Case& c, int task) {
  Vector means, sds, scores;
  Matrix R;
  means[1] = 50;
  means[2] = 40;
  means[3] = 100;
  sds[1] = 10;
  sds[2] = 8;
  sds[3] = 15;
  scores[1] = c.y1;
  scores[2] = c.y2;
  scores[3] = 100;
  for (int i = 1; i <= 3; ++i) R(i, i) = 1;
  R(1, 2) = R(2, 1) = 0.6L;
  R(1, 3) = R(3, 1) = R(2, 3) = R(3, 2) = 0.5L;
  return Run_Deficit_Test(task, task == 1 ? c.poorer1 : c.poorer2, 1, 20, true, 95, sds, means,
                          scores, R);
}

std::optional<DissociationVerdict> Classify(const Case& c, long double differenceP) {
  return ClassifyDissociation(TaskTest(c, 1), TaskTest(c, 2), differenceP);
}

TEST(Dissociation, EachPatternFromADataSetThatShowsIt) {
  const auto lower = PoorerScores::Lower;
  const auto higher = PoorerScores::Higher;
  struct Row {
    const char* name;
    Case data;
    long double differenceP;
    DissociationPattern pattern;
    int task;
    const char* says;  // in the verdict
  };
  const Row rows[] = {
      // Task Y1 2.8 Z-CCC below its prediction (p = .0067), Task Y2 near its own.
      {"classical, Task Y1",
       {25, 38},
       0.01L,
       DissociationPattern::ClassicalDissociation,
       1,
       "Classical dissociation: a deficit on Task Y1, Task Y2 within normal limits"},
      {"classical, Task Y2",
       {48, 20},
       0.002L,
       DissociationPattern::ClassicalDissociation,
       2,
       "Classical dissociation: a deficit on Task Y2, Task Y1 within normal limits"},
      // Both below (Z-CCC -3.37 and -2.11): Task Y1 further down.
      {"strong, Task Y1",
       {20, 25},
       0.03L,
       DissociationPattern::StrongDissociation,
       1,
       "Task Y1 the more impaired"},
      // Both higher-is-poorer and both above (Z-CCC 2.25 and 3.09): Task Y2
      // lies further in its poorer direction.
      {"strong, Task Y2, higher poorer",
       {70, 62, higher, higher},
       0.04L,
       DissociationPattern::StrongDissociation,
       2,
       "Task Y2 the more impaired"},
      {"deficits on both, no difference",
       {20, 25},
       0.4L,
       DissociationPattern::DeficitsWithoutDifference,
       0,
       "Deficits on both tasks without"},
      {"deficit on one, no difference",
       {25, 38},
       0.2L,
       DissociationPattern::DeficitWithoutDifference,
       1,
       "A deficit on Task Y1 (Task Y2 within normal limits) without a significant difference"},
      // Y1 a little below, Y2 a little above: neither a deficit.
      {"difference without deficit",
       {40, 48},
       0.03L,
       DissociationPattern::DifferenceWithoutDeficit,
       0,
       "without a deficit on either"},
      {"no deficit",
       {50, 40},
       0.9L,
       DissociationPattern::NoDeficit,
       0,
       "No deficit on either task and no significant difference"},
      // Errors on Task Y1 (higher poorer) well above the controls', Task Y2
      // (lower poorer) well above too, so the case is relatively better on Y2
      // as scored: no verdict, the findings and the advice.
      {"poorer directions differ",
       {75, 60, higher, lower},
       0.001L,
       DissociationPattern::DirectionsDiffer,
       0,
       "No verdict on a dissociation. A deficit on Task Y1 (Task Y2 within normal limits)"},
      // Opposite directions without a significant difference: the plain finding.
      {"directions differ, no difference",
       {75, 60, higher, lower},
       0.3L,
       DissociationPattern::DeficitWithoutDifference,
       1,
       "A deficit on Task Y1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<DissociationVerdict> v = Classify(row.data, row.differenceP);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->pattern, row.pattern) << PatternName(v->pattern);
    EXPECT_EQ(v->task, row.task);
    EXPECT_THAT(v->verdict, HasSubstr(row.says));
    EXPECT_THAT(v->rule, ::testing::StartsWith("Rule: "));
    EXPECT_LE(v->rule.size() + 1, 104u) << "the rule fits one report line";
    const bool dissociation = row.pattern == DissociationPattern::ClassicalDissociation ||
                              row.pattern == DissociationPattern::StrongDissociation;
    EXPECT_EQ(v->verdict.find("not a dissociation") == std::string::npos &&
                  row.pattern != DissociationPattern::DirectionsDiffer,
              dissociation);
    EXPECT_EQ(v->differenceSignificant, row.differenceP < 0.05L);
  }
  // The strong dissociation's caution, the advice where the directions differ.
  EXPECT_THAT(Classify({20, 25}, 0.03L)->note, HasSubstr("equally impaired"));
  EXPECT_THAT(Classify({75, 60, higher, lower}, 0.001L)->note,
              HasSubstr("reverse one task's scores"));
  EXPECT_EQ(Classify({25, 38}, 0.01L)->note, "");
}

// "Further in its poorer direction" is -Z-CCC for a lower-is-poorer task and
// +Z-CCC for a higher-is-poorer one.
TEST(Dissociation, ImpairmentScoreTurnsZcccToThePoorerSide) {
  DeficitResult r;
  r.effectSize = -2.5L;
  r.poorer = PoorerScores::Lower;
  EXPECT_EQ(ImpairmentScore(r), 2.5L);
  r.poorer = PoorerScores::Higher;
  EXPECT_EQ(ImpairmentScore(r), -2.5L);
}

// p exactly .05 is not significant, either test; what cannot be classified is
// refused.
TEST(Dissociation, ThresholdsAndRefusals) {
  auto result = [](int task, long double p) {
    DeficitResult r;
    r.problem = DeficitProblem::None;
    r.task = task;
    r.oneTailedP = p;
    r.effectSize = p < 0.5L ? -2 : 0;
    return r;
  };
  struct Row {
    long double p1, p2, pDiff;
    DissociationPattern pattern;
  };
  const Row rows[] = {
      {0.05L, 0.3L, 0.01L, DissociationPattern::DifferenceWithoutDeficit},
      {0.0499L, 0.3L, 0.01L, DissociationPattern::ClassicalDissociation},
      {0.0499L, 0.3L, 0.05L, DissociationPattern::DeficitWithoutDifference},
      {0.3L, 0.3L, 0.05L, DissociationPattern::NoDeficit},
  };
  for (const Row& row : rows) {
    const auto v = ClassifyDissociation(result(1, row.p1), result(2, row.p2), row.pDiff);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->pattern, row.pattern) << row.p1 << " " << row.pDiff;
  }
  // A test with limits missing still classifies; one without a test does not.
  DeficitResult noLimits = result(1, 0.01L);
  noLimits.problem = DeficitProblem::LimitsNotFound;
  EXPECT_TRUE(ClassifyDissociation(noLimits, result(2, 0.3L), 0.01L).has_value());
  DeficitResult none = result(1, 0.01L);
  none.problem = DeficitProblem::NotAnalysable;
  EXPECT_FALSE(ClassifyDissociation(none, result(2, 0.3L), 0.01L).has_value());
  EXPECT_FALSE(ClassifyDissociation(result(2, 0.01L), result(2, 0.3L), 0.01L).has_value());
  EXPECT_FALSE(ClassifyDissociation(result(1, 0.01L), result(2, 0.3L),
                                    std::numeric_limits<long double>::quiet_NaN())
                   .has_value());
  EXPECT_FALSE(ClassifyDissociation(result(1, 0.01L), result(2, 0.3L), 1.5L).has_value());
}

}  // namespace
}  // namespace quorvane
