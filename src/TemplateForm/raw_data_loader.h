// The raw data file loader: reads rows x cols numbers from a plain text file
// of scores into a DataMatrix (the worksheet's open dialog chooses the file).
//
// File format (read with the program's one text reader, file_io/text_reader.h):
// one row per line (controls first, then the case); numbers separated by blanks
// or tabs; a line ends at a carriage return, a carriage return + line feed, or
// a line feed alone; a Ctrl-Z (0x1A) or the end of the file ends the data.
// Numbers beyond the first cols of a line, and lines beyond the first rows,
// are not used (they are counted, so that a caller can say so). The first
// line may name the variables instead: a line none of whose items is a
// number holds the names of Task Y1, Task Y2 and the covariates, in the
// columns' order (names beyond cols are not used), and row 1 is the next
// line. Messages name the file's lines as they stand. A row short of
// numbers, or an empty line, leaves its cells missing (MissingValueMarker); a
// number is never taken from the next line.
//
// A number is plain decimal text of at most 64 characters: optional sign,
// digits with an optional point and fraction (at least one digit), optional
// exponent (e or E, optional sign, digits); its value must be finite. Commas,
// hexadecimal, "nan", "inf" and the like are invalid, and so is any control
// character, which is not text.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_io/text_reader.h"
#include "matrix_handling/matrix_types.h"

namespace quorvane {

// A raw data file that cannot be read. For a number that cannot be converted,
// what() begins "Invalid numeric input" and names the line, the column and
// the offending text, e.g. Invalid numeric input at line 3, column 2: "1,5".
// For a file that cannot be opened or read, what() names the file.
class RawDataError : public std::runtime_error {
 public:
  enum class Problem {
    Unreadable,  // cannot be opened or read, or is a folder
    Content,     // a number that cannot be converted
    NotText,     // UTF-16, control characters, an endless line or run of blanks
    Cancelled,   // the wait for input was stopped
  };
  RawDataError(Problem problem, const std::string& what)
      : std::runtime_error(what), problem_(problem) {}
  Problem problem() const { return problem_; }

 private:
  Problem problem_;
};

// Longest text accepted as one number.
inline constexpr std::size_t kMaxNumberLength = 64;

// What the loader saw of the file besides the cells it filled.
struct RawDataShape {
  // The names on the first line, when it names the variables (empty when it
  // does not): at most cols of them.
  std::vector<std::string> names;
  int lines = 0;  // the file's lines read (up to the end of the data or of the counting)
  // The file's line of the first of rows 1..rows holding fewer than cols
  // numbers (0: none), and
  // how many it holds (0 for an empty line; a line after the end of the data,
  // when lines < rows, holds none).
  int firstShortLine = 0;
  int numbersOnShortLine = 0;
  // Lines of the whole file, to the end of its data, whose first cols items
  // are numbers: more than rows says that rows beyond the asked-for ones
  // were not used. Counting stops after kMaxCountedLines lines
  // (completeRowsAtLeast).
  int completeRows = 0;
  bool completeRowsAtLeast = false;
  // Rows among 1..rows with more than cols items, the first such row and its
  // item count.
  int widerLines = 0;
  int firstWiderLine = 0;
  int itemsOnFirstWiderLine = 0;
  // The file's lines among rows 1..rows with a number that keeps fewer significant digits
  // than its text gave (see KeepsItsDigits), in order, at most the first 5.
  std::vector<int> impreciseLines;
};
inline constexpr int kMaxCountedLines = 10'000'000;

// The reading core. rawData := a new table of cols columns, every cell
// MissingValueMarker; then rows 1..rows, columns 1..cols are filled from the
// reader as described above (cells not found stay missing); the rest of the
// data is read to fill shape. The table holds at most rows rows: when the
// data end before row rows it may have fewer, and every row beyond its end
// counts as missing. capacity: the rows to make room for at once (0: 500).
// @throws RawDataError (Content) for a number that cannot be converted among
//   rows 1..rows (line and column 1-based: the file's line and the position
//   of the number in its row), for a name longer than kMaxVariableName, for
//   cols outside 1..20, or for text the reader
//   refuses; (Unreadable) for a read error; (Cancelled) when the reader's stop
//   function ended the wait for input.
void ReadRawData(TextReader& in, int rows, int cols, DataMatrix& rawData, int capacity = 0,
                 RawDataShape* shape = nullptr);

// Reads the file at path (opened as given) with ReadRawData, the table made
// large enough at once from the file's size. stop is asked while the file
// (a pipe, say) keeps the reader waiting.
// @throws RawDataError (Unreadable) when the file cannot be opened or read or
//   is a folder; (Content) for a number that cannot be converted or text that
//   is not text (UTF-16, control characters, endless lines).
void ReadRawDataFile(const std::string& path, int rows, int cols, DataMatrix& rawData,
                     RawDataShape* shape = nullptr, const std::function<bool()>& stop = {});

// The number of leading rows among 1..rows whose cols cells are all filled.
int CompleteRows(const DataMatrix& rawData, int rows, int cols);

// The reader's refusal as a raw data error: a control character as an
// invalid number with its line and column, the other problems as they are (a
// line that is no text named with path, when given).
RawDataError ToRawDataError(const TextFileError& e, const std::string& path = {});

}  // namespace quorvane
