// libFuzzer target: the summary file reader on any bytes (through the one
// text reader and its guards). Accepted statistics must be usable numbers and
// come back the same when written and read again; refusals come as problems.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "TemplateForm/summary_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvane;
  const std::string text(reinterpret_cast<const char*>(data), size);
  SummaryStatistics statistics;
  if (auto problem = ReadSummaryText(text, statistics)) {
    if (problem->message.empty()) __builtin_trap();
    return 0;
  }
  if (CheckSummaryStatistics(statistics)) __builtin_trap();
  std::ostringstream written;
  WriteSummary(written, statistics);
  SummaryStatistics again;
  if (ReadSummaryText(written.str(), again)) __builtin_trap();
  if (!(again.means == statistics.means && again.sds == statistics.sds &&
        again.caseScores == statistics.caseScores && again.R == statistics.R)) {
    __builtin_trap();
  }
  return 0;
}
