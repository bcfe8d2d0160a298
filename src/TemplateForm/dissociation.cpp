#include "TemplateForm/dissociation.h"

#include <cmath>

namespace quorvane {

namespace {

const char* kDeficitRule = "deficit = one-tailed p < .05 in the task's poorer direction";

}  // namespace

long double ImpairmentScore(const DeficitResult& r) {
  return r.poorer == PoorerScores::Higher ? r.effectSize : -r.effectSize;
}

std::optional<DissociationVerdict> ClassifyDissociation(const DeficitResult& y1,
                                                        const DeficitResult& y2,
                                                        long double differenceTwoTailedP,
                                                        const VariableNames& names) {
  if (y1.task != 1 || y2.task != 2 || !y1.HasTest() || !y2.HasTest() ||
      !(differenceTwoTailedP >= 0 && differenceTwoTailedP <= 1)) {
    return std::nullopt;
  }
  DissociationVerdict v;
  v.deficitY1 = y1.oneTailedP < kDeficitAlpha;
  v.deficitY2 = y2.oneTailedP < kDeficitAlpha;
  v.differenceSignificant = differenceTwoTailedP < kDifferenceAlpha;
  const bool sameDirection = y1.poorer == y2.poorer;

  if (v.deficitY1 && v.deficitY2) {
    if (!v.differenceSignificant) {
      v.pattern = DissociationPattern::DeficitsWithoutDifference;
      v.verdict =
          "Deficits on both tasks without a significant difference between them: not a "
          "dissociation.";
      v.rule =
          "Rule: a dissociation needs a significant difference between the tasks (two-tailed p < "
          ".05).";
    } else if (!sameDirection) {
      v.pattern = DissociationPattern::DirectionsDiffer;
    } else {
      v.pattern = DissociationPattern::StrongDissociation;
      // Ties cannot come with a significant difference from one analysis's
      // numbers; they would name Task Y1.
      v.task = ImpairmentScore(y2) > ImpairmentScore(y1) ? 2 : 1;
      v.verdict = "Strong dissociation: deficits on both tasks, " + TaskName(names, v.task) +
                  " the more impaired, and a significant difference between the tasks.";
      v.note =
          "Caution: this pattern is often found when both tasks are in fact equally impaired, so "
          "it needs confirming.";
      v.rule =
          "Rule: deficits on both tasks (one-tailed p < .05) and a significant difference "
          "(two-tailed p < .05).";
    }
  } else if (v.deficitY1 || v.deficitY2) {
    const int impaired = v.deficitY1 ? 1 : 2;
    const std::string other = TaskName(names, 3 - impaired);
    if (!v.differenceSignificant) {
      v.pattern = DissociationPattern::DeficitWithoutDifference;
      v.task = impaired;
      v.verdict = "A deficit on " + TaskName(names, impaired) + " (" + other +
                  " within normal limits) without a significant difference between the tasks: "
                  "not a dissociation.";
      v.rule =
          "Rule: a dissociation needs a significant difference between the tasks (two-tailed p < "
          ".05).";
    } else if (!sameDirection) {
      v.pattern = DissociationPattern::DirectionsDiffer;
    } else {
      v.pattern = DissociationPattern::ClassicalDissociation;
      v.task = impaired;
      v.verdict = "Classical dissociation: a deficit on " + TaskName(names, impaired) + ", " +
                  other + " within normal limits, and a significant difference between the tasks.";
      v.rule =
          "Rule: deficit on one task only (one-tailed p < .05) and a significant difference "
          "(two-tailed p < .05).";
    }
  } else if (v.differenceSignificant) {
    v.pattern = DissociationPattern::DifferenceWithoutDeficit;
    v.verdict =
        "A significant difference between the tasks without a deficit on either: not a "
        "dissociation.";
    v.rule = "Rule: a dissociation needs a deficit (one-tailed p < .05) on at least one task.";
  } else {
    v.pattern = DissociationPattern::NoDeficit;
    v.verdict =
        "No deficit on either task and no significant difference between them: not a "
        "dissociation.";
    v.rule = "Rule: " + std::string(kDeficitRule) + "; difference = two-tailed p < .05.";
  }

  if (v.pattern == DissociationPattern::DirectionsDiffer) {
    const std::string lowerTask = TaskName(names, y1.poorer == PoorerScores::Lower ? 1 : 2);
    const std::string higherTask = TaskName(names, y1.poorer == PoorerScores::Lower ? 2 : 1);
    const std::string deficits = v.deficitY1 && v.deficitY2
                                     ? "Deficits on both tasks"
                                     : "A deficit on " + TaskName(names, v.deficitY1 ? 1 : 2) +
                                           " (" + TaskName(names, v.deficitY1 ? 2 : 1) +
                                           " within normal limits)";
    v.verdict = "No verdict on a dissociation. " + deficits +
                " and a significant difference between the tasks, but lower scores are poorer on " +
                lowerTask + " and higher scores on " + higherTask +
                ": the difference Task Y1 minus Task Y2 then grows when either task is impaired "
                "and does not compare them.";
    v.note =
        "To test for a dissociation, reverse one task's scores (multiply them by -1) so that both "
        "tasks are poorer in the same direction.";
    v.rule =
        "Rule: the difference test compares the tasks only when both are poorer in the same "
        "direction.";
  }
  return v;
}

const char* PatternName(DissociationPattern pattern) {
  switch (pattern) {
    case DissociationPattern::ClassicalDissociation:
      return "classical-dissociation";
    case DissociationPattern::StrongDissociation:
      return "strong-dissociation";
    case DissociationPattern::DeficitsWithoutDifference:
      return "deficits-without-difference";
    case DissociationPattern::DeficitWithoutDifference:
      return "deficit-without-difference";
    case DissociationPattern::DifferenceWithoutDeficit:
      return "difference-without-deficit";
    case DissociationPattern::NoDeficit:
      return "no-deficit";
    case DissociationPattern::DirectionsDiffer:
      return "directions-differ";
  }
  return "no-deficit";
}

}  // namespace quorvane
