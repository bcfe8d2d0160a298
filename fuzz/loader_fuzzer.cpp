// libFuzzer target: the raw data loader, the number parser and the summary
// file reader on any bytes. Refusals must come as RawDataError (or a
// problem returned); anything else (a crash, a sanitizer report, another
// exception, a hang) is a fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "TemplateForm/raw_data_loader.h"
#include "TemplateForm/summary_file.h"
#include "file_io/number_text.h"
#include "matrix_handling/matrix_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvane;
  if (size < 2) return 0;
  // The first two bytes choose the shape asked for: 1..64 rows, 1..20 columns.
  const int rows = 1 + data[0] % 64;
  const int cols = 1 + data[1] % 20;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::istringstream in(text);
  DataMatrix table{1};
  try {
    ReadRawData(in, rows, cols, table);
    if (table.Cols() != cols || table.Rows() > rows) __builtin_trap();
    CompleteRows(table, rows, cols);
    Data_Has_Missing(std::min(rows, table.Rows()), cols, table);
  } catch (const RawDataError&) {
  }

  // Every blank-separated token through the number parser: a value, when
  // there is one, is finite.
  std::istringstream tokens(text);
  std::string token;
  while (tokens >> token) {
    if (const auto value = ParsePlainDecimal(token); value && !std::isfinite(*value)) {
      __builtin_trap();
    }
  }

  std::istringstream summaryText(text);
  SummaryStatistics statistics;
  if (!ReadSummary(summaryText, statistics)) {
    // Accepted: the statistics are usable numbers.
    if (CheckSummaryStatistics(statistics)) __builtin_trap();
  }
  return 0;
}
