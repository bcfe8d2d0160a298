// The pattern the three tests of one analysis add up to: the deficit test of
// each task (one-tailed p < .05 in the task's poorer direction) and the test
// of the standardized difference (two-tailed p < .05).
//
//   deficit on one task only, difference significant  classical dissociation
//                                                     (the impaired task named)
//   deficits on both, difference significant          strong dissociation (the
//                                                     task further in its poorer
//                                                     direction named), with a
//                                                     caution
//   deficits on both, no significant difference       not a dissociation
//   deficit on one task only, no significant diff.    not a dissociation
//   significant difference, no deficit                not a dissociation
//   neither                                           not a dissociation
//
// "Further in its poorer direction": each task's Z-CCC turned so that positive
// means poorer, ImpairmentScore = -Z-CCC when lower scores are poorer and
// +Z-CCC when higher scores are; the larger score is the more impaired task.
//
// The difference test compares Task Y1 minus Task Y2 as scored. When both
// tasks have the same poorer direction, that difference, the two t values and
// the two Z-CCCs are the case's conditional z scores times factors common to
// both tasks, so a significant difference always points to the task with the
// larger ImpairmentScore: a deficit on one task with a significant difference
// "the other way" cannot arise. When the poorer directions differ (lower
// scores poorer on one task, higher on the other), Y1 - Y2 grows when either
// or both tasks are impaired: it measures the impairments together, not
// against each other, and cannot show a dissociation. A deficit with a
// significant difference then gets no dissociation verdict (DirectionsDiffer):
// the findings are stated, with the advice to reverse one task's scores.
#pragma once

#include <optional>
#include <string>

#include "Bayes_Engines/deficit_test.h"
#include "TemplateForm/variable_names.h"

namespace quorvane {

inline constexpr long double kDeficitAlpha = 0.05L;     // one-tailed, each task
inline constexpr long double kDifferenceAlpha = 0.05L;  // two-tailed, the difference

enum class DissociationPattern {
  ClassicalDissociation,      // task: the impaired task
  StrongDissociation,         // task: the more impaired task
  DeficitsWithoutDifference,  // deficits on both tasks
  DeficitWithoutDifference,   // task: the impaired task
  DifferenceWithoutDeficit,
  NoDeficit,  // no deficit and no significant difference
  // The tasks' poorer directions differ, a deficit was found and the
  // difference is significant: no verdict on a dissociation.
  DirectionsDiffer,
};

struct DissociationVerdict {
  DissociationPattern pattern = DissociationPattern::NoDeficit;
  int task = 0;  // the task the verdict names (1 or 2); 0 when it names none
  bool deficitY1 = false, deficitY2 = false;
  bool differenceSignificant = false;
  std::string verdict;  // what was found, one sentence
  std::string note;     // a caution or advice (strong dissociation, DirectionsDiffer); else empty
  std::string rule;     // the rule applied, one line
  friend bool operator==(const DissociationVerdict&, const DissociationVerdict&) = default;
};

// How far the case lies in the task's poorer direction, in Z-CCC units:
// -Z-CCC when lower scores are poorer, +Z-CCC when higher scores are.
long double ImpairmentScore(const DeficitResult& r);

// The verdict from Task Y1's and Task Y2's deficit tests (task 1 and 2, each
// HasTest()) and the difference test's two-tailed p. std::nullopt when a test
// is missing or not for its task, or the p is not a number in [0, 1].
// The tasks are called by their names in names.
std::optional<DissociationVerdict> ClassifyDissociation(const DeficitResult& y1,
                                                        const DeficitResult& y2,
                                                        long double differenceTwoTailedP,
                                                        const VariableNames& names = {});

// A short name for the pattern, for machine-readable output
// ("classical-dissociation", ..., "directions-differ").
const char* PatternName(DissociationPattern pattern);

}  // namespace quorvane
