// libFuzzer target: the raw data loader and the number parser on any bytes.
// Refusals must come as RawDataError; anything else (a crash, a sanitizer
// report, another exception, a hang) is a fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "TemplateForm/raw_data_loader.h"
#include "file_io/number_text.h"
#include "file_io/text_reader.h"
#include "matrix_handling/matrix_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvane;
  if (size < 2) return 0;
  // The first two bytes choose the shape asked for: 1..64 rows, 1..20 columns.
  const int rows = 1 + data[0] % 64;
  const int cols = 1 + data[1] % 20;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  DataMatrix table{1};
  RawDataShape shape;
  try {
    TextReader in = TextReader::FromText(text, TextReadOptions{"raw data file", 0, {}});
    ReadRawData(in, rows, cols, table, 0, &shape);
    if (table.Cols() != cols || table.Rows() > rows) __builtin_trap();
    if (shape.firstShortLine == 0 && CompleteRows(table, rows, cols) != rows) __builtin_trap();
    Data_Has_Missing(std::min(rows, table.Rows()), cols, table);
  } catch (const RawDataError&) {
  }

  // Every item the reader gives through the number parser: a value, when
  // there is one, is finite.
  try {
    TextReader in = TextReader::FromText(text, TextReadOptions{"raw data file", 0, {}});
    TextLine line;
    while (in.NextLine(line)) {
      for (const std::string& item : line.items) {
        const auto value = ParsePlainDecimal(item);
        if (value && !std::isfinite(*value)) __builtin_trap();
        if (value) KeepsItsDigits(item, *value);
      }
    }
  } catch (const TextFileError&) {
  }
  return 0;
}
