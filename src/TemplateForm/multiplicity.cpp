#include "TemplateForm/multiplicity.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorvane {

std::vector<long double> HolmAdjusted(const std::vector<long double>& p) {
  std::vector<long double> adjusted = p;
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] >= 0 && p[i] <= 1) order.push_back(i);  // false for NaN
  }
  std::stable_sort(order.begin(), order.end(),
                   [&p](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  const auto m = static_cast<long double>(order.size());
  long double running = 0;
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    const std::size_t i = order[rank];
    const long double scaled = std::min(1.0L, (m - static_cast<long double>(rank)) * p[i]);
    running = std::max(running, scaled);
    adjusted[i] = running;
  }
  return adjusted;
}

}  // namespace quorvane
