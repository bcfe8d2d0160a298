// Probabilities adjusted for the number of tests made together, as a case
// series makes one test per case.
#pragma once

#include <vector>

namespace quorvane {

// Holm's step-down adjustment of m probabilities, in their own order: with
// p(1) <= ... <= p(m) sorted, the adjusted p(i) is the largest of
// min(1, (m - j + 1) p(j)) over j <= i. Ties keep their input order. A value
// that is not a number in [0, 1] stays as it is and takes no part (m counts
// only the others).
std::vector<long double> HolmAdjusted(const std::vector<long double>& p);

}  // namespace quorvane
