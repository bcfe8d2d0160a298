#include "TemplateForm/raw_data_loader.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "TemplateForm/variable_names.h"
#include "file_io/number_text.h"
#include "matrix_handling/matrix_ops.h"
#include "text/format_text.h"

namespace quorvane {

namespace {

[[noreturn]] void InvalidNumber(int line, int column, const std::string& shown) {
  throw RawDataError(RawDataError::Problem::Content,
                     "Invalid numeric input at line " + std::to_string(line) + ", column " +
                         std::to_string(column) + ": \"" + shown + "\"");
}

// A new table of rows rows of cols cells, every cell missing.
DataMatrix MissingTable(int rows, int cols) {
  DataMatrix table(rows, cols);
  Data_Fill_Missing(table);
  return table;
}

// Makes room for row i (at most limit rows), doubling the table so that a
// file of many rows costs few copies.
void MakeRoomForRow(int i, int limit, DataMatrix& rawData) {
  if (i <= rawData.Rows()) return;
  DataMatrix bigger = MissingTable(
      static_cast<int>(std::min<long long>(2LL * rawData.Rows(), limit)), rawData.Cols());
  std::copy_n(rawData.data(), rawData.size(), bigger.data());
  rawData = std::move(bigger);
}

// Whether the line's first cols items are numbers.
bool HoldsARow(const TextLine& line, int cols) {
  if (static_cast<int>(line.items.size()) < cols) return false;
  for (int j = 0; j < cols; ++j) {
    if (!ParsePlainDecimal(line.items[static_cast<std::size_t>(j)])) return false;
  }
  return true;
}

// Whether the line names the variables: it holds items, none a number.
bool NamesTheVariables(const TextLine& line) {
  return !line.items.empty() &&
         std::none_of(line.items.begin(), line.items.end(), [](const std::string& item) {
           return item.size() <= kMaxNumberLength && ParsePlainDecimal(item).has_value();
         });
}

std::vector<std::string> NamesOnLine(const TextLine& line, int cols) {
  std::vector<std::string> names;
  for (int j = 1; j <= cols && j <= static_cast<int>(line.items.size()); ++j) {
    const std::string& name = line.items[static_cast<std::size_t>(j - 1)];
    if (name.size() > kMaxVariableName) {
      throw RawDataError(RawDataError::Problem::Content,
                         FormatText("Line 1 names the variables, but its name %d is longer than "
                                    "%d characters: \"%s...\"",
                                    j, static_cast<int>(kMaxVariableName),
                                    ShowableItem(name.substr(0, kMaxVariableName)).c_str()));
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace

RawDataError ToRawDataError(const TextFileError& e, const std::string& path) {
  switch (e.problem()) {
    case TextFileError::Problem::CannotOpen:
    case TextFileError::Problem::Folder:
    case TextFileError::Problem::Unreadable:
      return RawDataError(RawDataError::Problem::Unreadable, e.what());
    case TextFileError::Problem::Cancelled:
      return RawDataError(RawDataError::Problem::Cancelled, e.what());
    case TextFileError::Problem::Utf16:
    case TextFileError::Problem::NotText:
      break;
  }
  if (e.line() > 0) {
    return RawDataError(RawDataError::Problem::NotText,
                        "Invalid numeric input at line " + std::to_string(e.line()) + ", column " +
                            std::to_string(e.column()) + ": \"" + e.item() +
                            "\" holds a control character: the file does not look like plain "
                            "text");
  }
  // A line that is no text is named with the file it is in.
  if (e.problem() == TextFileError::Problem::NotText && !path.empty()) {
    return RawDataError(RawDataError::Problem::NotText,
                        std::string(e.what()) + " (\"" + path + "\")");
  }
  return RawDataError(RawDataError::Problem::NotText, e.what());
}

namespace {

void ReadRows(TextReader& in, int rows, int cols, DataMatrix& rawData, int capacity,
              RawDataShape* shape, const std::string& path);

}  // namespace

void ReadRawData(TextReader& in, int rows, int cols, DataMatrix& rawData, int capacity,
                 RawDataShape* shape) {
  ReadRows(in, rows, cols, rawData, capacity, shape, std::string());
}

namespace {

void ReadRows(TextReader& in, int rows, int cols, DataMatrix& rawData, int capacity,
              RawDataShape* shape, const std::string& path) {
  if (cols < 1 || cols > kMaxOrder) {
    throw RawDataError(RawDataError::Problem::Content, "The raw data file can hold 1 to " +
                                                           std::to_string(kMaxOrder) +
                                                           " columns, not " + std::to_string(cols));
  }
  // The table grows with the rows actually present, so a large count with a
  // short file costs no more than the file; it holds just the columns read.
  const int limit = std::max(rows, 1);
  rawData = MissingTable(std::clamp(capacity > 0 ? capacity : kDefaultDataRows, 1, limit), cols);
  RawDataShape seen;
  TextLine line;
  try {
    int nameLines = 0;  // 1 when the first line names the variables
    while (in.NextLine(line)) {
      if (line.number == 1 && NamesTheVariables(line)) {
        seen.names = NamesOnLine(line, cols);
        nameLines = 1;
        continue;
      }
      const int i = line.number - nameLines;  // the row
      const int found = static_cast<int>(line.items.size());
      if (i > rows) {
        if (HoldsARow(line, cols)) ++seen.completeRows;
        if (i - rows >= kMaxCountedLines) {
          seen.completeRowsAtLeast = true;
          break;
        }
        continue;
      }
      MakeRoomForRow(i, limit, rawData);
      const int used = std::min(found, cols);
      for (int j = 1; j <= used; ++j) {
        const std::string& item = line.items[static_cast<std::size_t>(j - 1)];
        const std::optional<long double> value =
            item.size() <= kMaxNumberLength ? ParsePlainDecimal(item) : std::nullopt;
        if (!value) InvalidNumber(line.number, j, ShowableItem(item));
        rawData(i, j) = *value;
        if (!KeepsItsDigits(item, *value) &&
            (seen.impreciseLines.empty() || seen.impreciseLines.back() != line.number) &&
            seen.impreciseLines.size() < 5) {
          seen.impreciseLines.push_back(line.number);
        }
      }
      if (found < cols) {
        if (seen.firstShortLine == 0) {
          seen.firstShortLine = line.number;
          seen.numbersOnShortLine = found;
        }
      } else {
        ++seen.completeRows;
      }
      if (found > cols) {
        if (seen.widerLines++ == 0) {
          seen.firstWiderLine = i;
          seen.itemsOnFirstWiderLine = found;
        }
      }
    }
  } catch (const TextFileError& e) {
    throw ToRawDataError(e, path);
  }
  // Rows the data never reached are missing too; the first of them is short.
  const int lastLine = std::max(line.number, 0);
  if (seen.firstShortLine == 0 && lastLine - (seen.names.empty() ? 0 : 1) < rows) {
    seen.firstShortLine = lastLine + 1;
    seen.numbersOnShortLine = 0;
  }
  seen.lines = lastLine;
  if (shape != nullptr) *shape = std::move(seen);
}

}  // namespace

void ReadRawDataFile(const std::string& path, int rows, int cols, DataMatrix& rawData,
                     RawDataShape* shape, const std::function<bool()>& stop) {
  try {
    TextReader in(path, TextReadOptions{"raw data file", 0, stop});
    // A row takes at least two characters a number: a file cannot hold more
    // rows than that allows, so the table is made large enough at once and
    // never copied while it grows.
    int capacity = 0;
    if (const std::optional<std::uintmax_t> size = in.Size()) {
      capacity = static_cast<int>(
          std::min<std::uintmax_t>(*size / (2 * static_cast<std::uintmax_t>(std::max(cols, 1))) + 1,
                                   static_cast<std::uintmax_t>(std::max(rows, 1))));
    }
    ReadRows(in, rows, cols, rawData, capacity, shape, path);
  } catch (const TextFileError& e) {
    throw ToRawDataError(e, path);
  }
}

int CompleteRows(const DataMatrix& rawData, int rows, int cols) {
  int complete = 0;
  for (int i = 1; i <= rows && i <= rawData.Rows(); ++i) {
    for (int j = 1; j <= cols; ++j) {
      if (rawData(i, j) == MissingValueMarker) return complete;
    }
    ++complete;
  }
  return complete;
}

}  // namespace quorvane
