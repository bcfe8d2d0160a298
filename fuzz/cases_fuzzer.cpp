// libFuzzer target: the cases file reader on any bytes (through the one text
// reader and its guards). A usable row holds K finite scores; a bad row has
// its message; the file's refusals come as TextFileError.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "TemplateForm/case_batch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvane;
  if (size < 1) return 0;
  const int K = 3 + data[0] % 5;  // 1 to 5 covariates
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    TextReader in = TextReader::FromText(text, TextReadOptions{"cases file", 0, {}});
    int previous = 0;
    for (const CaseRow& row : ReadCaseRows(in, K)) {
      if (row.origin.line <= previous) __builtin_trap();  // in file order, each once
      previous = row.origin.line;
      if (row.error.empty()) {
        if (static_cast<int>(row.scores.size()) != K) __builtin_trap();
        for (const long double v : row.scores) {
          if (!std::isfinite(v)) __builtin_trap();
        }
      } else if (!row.scores.empty()) {
        __builtin_trap();
      }
    }
  } catch (const TextFileError&) {
  }
  return 0;
}
