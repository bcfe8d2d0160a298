// The raw data file loader: asks the user for a plain text file of scores and
// reads rows x cols numbers from it into a DataMatrix.
//
// File format: one row per line (controls first, then the case); numbers
// separated by blanks, tabs or other control characters; a line ends at a
// carriage return, a carriage return + line feed, or a line feed alone; a
// Ctrl-Z (0x1A) or the end of the file ends the data. Numbers beyond the
// first cols of a line, and lines beyond the first rows, are ignored. A row
// short of numbers, or an empty line, leaves its cells missing
// (MissingValueMarker); a number is never taken from the next line.
//
// A number is plain decimal text of at most 64 characters: optional sign,
// digits with an optional point and fraction (at least one digit), optional
// exponent (e or E, optional sign, digits); its value must be finite. Commas,
// hexadecimal, "nan", "inf" and the like are invalid.
#pragma once

#include <cstddef>
#include <istream>
#include <stdexcept>
#include <string>

#include "matrix_handling/matrix_types.h"

namespace quorvane {

// A raw data file that cannot be read. For a number that cannot be converted,
// what() begins "Invalid numeric input" and names the line, the column and
// the offending text, e.g. Invalid numeric input at line 3, column 2: "1,5".
// For a file that cannot be opened or read, what() names the file.
class RawDataError : public std::runtime_error {
 public:
  enum class Problem { Unreadable, Content };
  RawDataError(Problem problem, const std::string& what)
      : std::runtime_error(what), problem_(problem) {}
  Problem problem() const { return problem_; }

 private:
  Problem problem_;
};

// Longest text accepted as one number.
inline constexpr std::size_t kMaxNumberLength = 64;
// Longest line, and longest run of blanks or control characters within a
// line, that a raw data file may hold (a file beyond them is not text).
inline constexpr std::size_t kMaxLineLength = 1 << 20;
inline constexpr std::size_t kMaxSeparatorRun = 1 << 16;

// The reading core. rawData := a new table of cols columns, every cell
// MissingValueMarker;
// then rows 1..rows, columns 1..cols are filled from the stream as described
// above (cells not found stay missing). The table starts with capacity rows
// (at most rows) and grows with the rows present in the stream up to rows;
// when the data end before row rows it may have fewer than rows rows, and
// every row beyond its end counts as missing.
// @throws RawDataError for a number that cannot be converted (line and column
//   1-based: the row and the position of the number in its row), for a stream
//   read error, or for cols outside 1..20.
// capacity: the rows to make room for at once (0: 500), when the caller knows
// how many the stream can hold at most.
// @throws RawDataError also for a line longer than kMaxLineLength characters
//   or with more than kMaxSeparatorRun separators in a row.
void ReadRawData(std::istream& in, int rows, int cols, DataMatrix& rawData, int capacity = 0);

// Reads the file at path (opened as given) with ReadRawData.
// @throws RawDataError (Unreadable) when the file cannot be opened or read, is
//   a folder, or is UTF-16 text; (Content) for a number that cannot be
//   converted or a line that is not text.
void ReadRawDataFile(const std::string& path, int rows, int cols, DataMatrix& rawData);

// The number of leading rows among 1..rows whose cols cells are all filled.
int CompleteRows(const DataMatrix& rawData, int rows, int cols);

}  // namespace quorvane
