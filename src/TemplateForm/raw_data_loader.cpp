#include "TemplateForm/raw_data_loader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "TemplateForm/number_text.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {

namespace {

using Traits = std::istream::traits_type;

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kCtrlZ = '\x1A';

bool IsLineEnd(Traits::int_type c) {
  return c == Traits::eof() || c == Traits::to_int_type(kCR) || c == Traits::to_int_type(kLF) ||
         c == Traits::to_int_type(kCtrlZ);
}

bool IsSeparator(Traits::int_type c) {
  return static_cast<unsigned char>(Traits::to_char_type(c)) < 33;
}

// The offending text as it can be shown in a message: printable characters
// as they are, others as \xNN; cut after the longest valid length.
std::string Printable(const std::string& token, bool cut) {
  std::string out;
  for (const char ch : token) {
    const auto u = static_cast<unsigned char>(ch);
    if (u >= 32 && u < 127) {
      out += ch;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    }
  }
  if (cut) out += "...";
  return out;
}

// Text editors often start a UTF-8 file with a byte-order mark; it is not
// data. A UTF-16 file (its mark FF FE or FE FF) cannot be read as numbers at
// all, and says so rather than naming its first bytes.
void SkipByteOrderMark(std::istream& in) {
  const Traits::int_type first = in.peek();
  if (first == 0xEF) {
    char mark[3] = {};
    in.read(mark, 3);
    if (in.gcount() == 3 && mark[1] == '\xBB' && mark[2] == '\xBF') return;
    in.clear();
    in.seekg(0);
    return;
  }
  if (first == 0xFF || first == 0xFE) {
    char mark[2] = {};
    in.read(mark, 2);
    const bool utf16 = in.gcount() == 2 && ((mark[0] == '\xFF' && mark[1] == '\xFE') ||
                                            (mark[0] == '\xFE' && mark[1] == '\xFF'));
    if (utf16) {
      throw RawDataError(
          RawDataError::Problem::Content,
          "Invalid numeric input: the raw data file is UTF-16 (\"Unicode\") text; save it as "
          "plain text (ANSI or UTF-8) and load it again");
    }
    in.clear();
    in.seekg(0);
  }
}

void CheckStream(const std::istream& in, int line) {
  if (in.bad()) {
    throw RawDataError(RawDataError::Problem::Unreadable,
                       "Error reading the raw data file at line " + std::to_string(line));
  }
}

// Counts the characters of one line, so that a file that is not text (a run
// of zero bytes without end, say) is refused instead of read for ever.
class LineBudget {
 public:
  explicit LineBudget(int line) : line_(line) {}
  // One more character of the line; run: a blank or control character.
  void Take(bool run) {
    if (++length_ > kMaxLineLength) {
      throw RawDataError(RawDataError::Problem::Content,
                         "Line " + std::to_string(line_) + " of the raw data file is longer than " +
                             std::to_string(kMaxLineLength) +
                             " characters: the file does not look like a text file of numbers");
    }
    run_ = run ? run_ + 1 : 0;
    if (run_ > kMaxSeparatorRun) {
      throw RawDataError(RawDataError::Problem::Content,
                         "Line " + std::to_string(line_) +
                             " of the raw data file holds more than " +
                             std::to_string(kMaxSeparatorRun) +
                             " blanks or control characters in a row: the file does not look "
                             "like a text file of numbers");
    }
  }

 private:
  int line_;
  std::size_t length_ = 0;
  std::size_t run_ = 0;
};

// Reads the next number of the current line into cell. Blanks and other
// control characters are skipped, but a line end, a Ctrl-Z or the end of the
// data leaves the cell as it is (missing).
void ReadCell(std::istream& in, int line, int column, long double& cell, LineBudget& budget) {
  Traits::int_type c = in.peek();
  while (!IsLineEnd(c) && IsSeparator(c)) {
    budget.Take(true);
    in.get();
    c = in.peek();
  }
  CheckStream(in, line);
  if (IsLineEnd(c)) return;
  std::string token;
  bool cut = false;
  while (c != Traits::eof() && !IsSeparator(c)) {
    if (token.size() <= kMaxNumberLength) {
      token += Traits::to_char_type(c);
    } else {
      cut = true;
    }
    budget.Take(false);
    in.get();
    c = in.peek();
  }
  CheckStream(in, line);
  const std::optional<long double> value = ParsePlainDecimal(token);
  if (!value) {
    throw RawDataError(RawDataError::Problem::Content,
                       "Invalid numeric input at line " + std::to_string(line) + ", column " +
                           std::to_string(column) + ": \"" + Printable(token, cut) + "\"");
  }
  cell = *value;
}

// Consumes the rest of the line with its line end (CR, CR LF or LF). A
// Ctrl-Z or the end of the data is left in place.
void SkipRestOfLine(std::istream& in, int line, LineBudget& budget) {
  for (;;) {
    const Traits::int_type c = in.peek();
    if (c == Traits::eof() || c == Traits::to_int_type(kCtrlZ)) break;
    // Only the length counts here: the rest of a line may hold anything.
    budget.Take(false);
    in.get();
    if (c == Traits::to_int_type(kLF)) break;
    if (c == Traits::to_int_type(kCR)) {
      if (in.peek() == Traits::to_int_type(kLF)) in.get();
      break;
    }
  }
  CheckStream(in, line);
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

bool AtEndOfData(std::istream& in) {
  const Traits::int_type c = in.peek();
  return c == Traits::eof() || c == Traits::to_int_type(kCtrlZ);
}

}  // namespace

void ReadRawData(std::istream& in, int rows, int cols, DataMatrix& rawData, int capacity) {
  if (cols < 1 || cols > kMaxOrder) {
    throw RawDataError(RawDataError::Problem::Content, "The raw data file can hold 1 to " +
                                                           std::to_string(kMaxOrder) +
                                                           " columns, not " + std::to_string(cols));
  }
  SkipByteOrderMark(in);
  // The table grows with the rows actually present, so a large count with a
  // short file costs no more than the file; it holds just the columns read.
  const int limit = std::max(rows, 1);
  rawData = MissingTable(std::clamp(capacity > 0 ? capacity : kDefaultDataRows, 1, limit), cols);
  for (int i = 1; i <= rows; ++i) {
    if (i > rawData.Rows()) {
      if (AtEndOfData(in)) break;  // the rest is missing
      MakeRoomForRow(i, limit, rawData);
    }
    LineBudget budget(i);
    for (int j = 1; j <= cols; ++j) ReadCell(in, i, j, rawData(i, j), budget);
    SkipRestOfLine(in, i, budget);
  }
}

void ReadRawDataFile(const std::string& path, int rows, int cols, DataMatrix& rawData) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw RawDataError(RawDataError::Problem::Unreadable,
                       "Cannot open the raw data file \"" + path + "\": it is a folder");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw RawDataError(RawDataError::Problem::Unreadable,
                       "Cannot open the raw data file \"" + path + "\"");
  }
  // A row takes at least two characters a number: a file cannot hold more rows
  // than that allows, so the table is made large enough at once and never
  // copied while it grows.
  int capacity = 0;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && std::filesystem::is_regular_file(path, ec)) {
    capacity = static_cast<int>(
        std::min<std::uintmax_t>(size / (2 * static_cast<std::uintmax_t>(std::max(cols, 1))) + 1,
                                 static_cast<std::uintmax_t>(std::max(rows, 1))));
  }
  try {
    ReadRawData(in, rows, cols, rawData, capacity);
  } catch (const RawDataError& e) {
    const std::string what = e.what();
    if (what.rfind("Invalid numeric input", 0) == 0) throw;
    throw RawDataError(e.problem(), what + " (\"" + path + "\")");
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
