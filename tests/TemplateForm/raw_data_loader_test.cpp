#include "TemplateForm/raw_data_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TemplateForm/temp_dir.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

using testing::TempDir;

// Three controls and a case, one covariate: 4 rows of 3 numbers.
constexpr int kRows = 4;
constexpr int kCols = 3;
const std::vector<std::vector<long double>> kValues = {
    {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12.5}};

std::string Join(const std::vector<std::string>& lines, const std::string& end) {
  std::string s;
  for (const std::string& l : lines) s += l + end;
  return s;
}
const std::vector<std::string> kLines = {"1 2 3", "4 5 6", "7 8 9", "10 11 12.5"};

enum class Outcome { Complete, Missing };

TextReader Text(const std::string& content) {
  return TextReader::FromText(content, TextReadOptions{"raw data file", 0, {}});
}

Outcome Read(const std::string& content, DataMatrix& data, int rows = kRows, int cols = kCols,
             RawDataShape* shape = nullptr) {
  TextReader in = Text(content);
  ReadRawData(in, rows, cols, data, 0, shape);
  const bool missing = data.Rows() < rows || Data_Has_Missing(rows, cols, data);
  return missing ? Outcome::Missing : Outcome::Complete;
}

void ExpectValues(const DataMatrix& data, const std::string& name) {
  for (int i = 1; i <= kRows; ++i) {
    for (int j = 1; j <= kCols; ++j) {
      EXPECT_EQ(data(i, j),
                kValues[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)])
          << name << " cell " << i << "," << j;
    }
  }
}

TEST(ReadRawData, FileVariantsThatLoadCompletely) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"CR LF", Join(kLines, "\r\n")},
      {"LF only", Join(kLines, "\n")},
      {"CR only", Join(kLines, "\r")},
      {"no line end after the case", "1 2 3\r\n4 5 6\r\n7 8 9\r\n10 11 12.5"},
      {"mixed line ends", "1 2 3\r\n4 5 6\n7 8 9\r10 11 12.5\r\n"},
      {"tabs", "1\t2\t3\r\n4\t5\t6\r\n7\t8\t9\r\n10\t11\t12.5\r\n"},
      {"leading, repeated and trailing blanks",
       "  1   2 3 \r\n\t4 \t 5 6\t\r\n7 8 9   \r\n 10 11 12.5 \t \r\n"},
      {"more numbers than needed and a further line",
       "1 2 3 99\r\n4 5 6 98 97\r\n7 8 9 junk\r\n10 11 12.5 1,5\r\n13 14 15\r\n"},
      {"exponents and signs", "1E0 +2 0.3e1\r\n40e-1 5.0 6\r\n7 8 9\r\n1e1 11 125E-1\r\n"},
      {"Ctrl-Z after the data", Join(kLines, "\r\n") + "\x1A" + "13 14 15\r\n"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + Join(kLines, "\r\n")},
  };
  for (const Case& c : cases) {
    DataMatrix data;
    ASSERT_EQ(Read(c.content, data), Outcome::Complete) << c.name;
    ExpectValues(data, c.name);
    EXPECT_EQ(data.Rows(), kRows) << c.name;  // the table holds what was asked for
    EXPECT_EQ(data.Cols(), 3) << c.name;
  }
}

TEST(ReadRawData, LineFeedEndsLoadLikeCarriageReturnLineFeed) {
  DataMatrix crlf, lf;
  Read(Join(kLines, "\r\n"), crlf);
  Read(Join(kLines, "\n"), lf);
  EXPECT_TRUE(crlf == lf);
}

TEST(ReadRawData, RowsShortOfNumbersAreMissingNeverBorrowed) {
  struct Case {
    const char* name;
    std::string content;
    int missingRow;  // the first row with a missing cell
    int missingCol;
  };
  const std::vector<Case> cases = {
      {"short line", "1 2 3\r\n4 5\r\n7 8 9\r\n10 11 12.5\r\n", 2, 3},
      {"short line ending in a blank", "1 2 3\r\n4 5 \r\n7 8 9\r\n10 11 12.5\r\n", 2, 3},
      {"short line ending in blanks and tabs, LF", "1 2 3\n4 5 \t \n7 8 9\n10 11 12.5\n", 2, 3},
      {"short last line ending in a blank, no line end", "1 2 3\r\n4 5 6\r\n7 8 9\r\n10 11 ", 4, 3},
      {"short last line, no line end", "1 2 3\r\n4 5 6\r\n7 8 9\r\n10 11", 4, 3},
      {"empty line in the middle", "1 2 3\r\n\r\n4 5 6\r\n7 8 9\r\n10 11 12.5\r\n", 2, 1},
      {"line of blanks in the middle", "1 2 3\r\n   \t \r\n4 5 6\r\n7 8 9\r\n10 11 12.5\r\n", 2, 1},
      {"case row missing", "1 2 3\r\n4 5 6\r\n7 8 9\r\n", 4, 1},
      {"Ctrl-Z before the case",
       "1 2 3\r\n4 5 6\r\n7 8 9\r\n\x1A"
       "10 11 12.5\r\n",
       4, 1},
      {"Ctrl-Z inside a row", "1 2 3\r\n4 5\x1A 6\r\n7 8 9\r\n10 11 12.5\r\n", 2, 3},
      {"empty file", "", 1, 1},
      {"only line ends", "\r\n\r\n\r\n\r\n\r\n", 1, 1},
  };
  for (const Case& c : cases) {
    DataMatrix data;
    ASSERT_EQ(Read(c.content, data), Outcome::Missing) << c.name;
    EXPECT_EQ(data(c.missingRow, c.missingCol), MissingValueMarker) << c.name;
    // No cell ever reads as 0 in these files, and a short row never takes a
    // number from the next line.
    for (int i = 1; i <= kRows; ++i) {
      for (int j = 1; j <= kCols; ++j) EXPECT_NE(data(i, j), 0.0L) << c.name;
    }
  }
}

TEST(ReadRawData, ShortRowLeavesTheNextRowIntact) {
  DataMatrix data;
  Read("1 2 3\r\n4 5 \r\n7 8 9\r\n10 11 12.5\r\n", data);
  EXPECT_EQ(data(2, 1), 4.0L);
  EXPECT_EQ(data(2, 2), 5.0L);
  EXPECT_EQ(data(2, 3), MissingValueMarker);
  EXPECT_EQ(data(3, 1), 7.0L);
  EXPECT_EQ(data(3, 2), 8.0L);
  EXPECT_EQ(data(3, 3), 9.0L);
  EXPECT_EQ(data(4, 3), 12.5L);
}

TEST(ReadRawData, InvalidNumbersNameLineColumnAndText) {
  using namespace std::string_literals;
  struct Case {
    std::string content;
    std::string message;
  };
  const std::string rest = "\r\n4 5 6\r\n7 8 9\r\n10 11 12.5\r\n";
  const std::vector<Case> cases = {
      // A first line of names holds no number; one that holds some is a row.
      {"Y1 2 X" + rest, "Invalid numeric input at line 1, column 1: \"Y1\""},
      {"1 2 3\r\n4 5 6\r\n7 8,5 9\r\n10 11 12\r\n",
       "Invalid numeric input at line 3, column 2: \"8,5\""},
      {"1 2 nan" + rest, "Invalid numeric input at line 1, column 3: \"nan\""},
      {"1 2 inf" + rest, "Invalid numeric input at line 1, column 3: \"inf\""},
      {"1 2 0x1p3" + rest, "Invalid numeric input at line 1, column 3: \"0x1p3\""},
      {"1 2 1e99999" + rest, "Invalid numeric input at line 1, column 3: \"1e99999\""},
      {"1 2 3\n4 5 6\n7 8 9\n10 -11- 12\n", "Invalid numeric input at line 4, column 2: \"-11-\""},
      {"1 \xff\xfe 3" + rest, "Invalid numeric input at line 1, column 2: \"\\xFF\\xFE\""},
      // Control characters are no text: never separators, never part of a number.
      {"1 2\x7f 3" + rest,
       "Invalid numeric input at line 1, column 2: \"2\\x7F\" holds a control character: the "
       "file does not look like plain text"},
      {"28 2\0"
       "8 121 14"s +
           rest,
       "Invalid numeric input at line 1, column 2: \"2\\x008\" holds a control character: the "
       "file does not look like plain text"},
      {"1 2 3\r\n4\x02 5 6\r\n7 8 9\r\n10 11 12.5\r\n",
       "Invalid numeric input at line 2, column 1: \"4\\x02\" holds a control character: the "
       "file does not look like plain text"},
      {"1 2 3 \f\r\n4 5 6\r\n7 8 9\r\n10 11 12.5\r\n",
       "Invalid numeric input at line 1, column 4: \"\\x0C\" holds a control character: the "
       "file does not look like plain text"},
      {"1 " + std::string(65, '1') + " 3" + rest,
       "Invalid numeric input at line 1, column 2: \"" + std::string(65, '1') + "\""},
      {"1 " + std::string(100000, '1') + " 3" + rest,
       "Invalid numeric input at line 1, column 2: \"" + std::string(65, '1') + "...\""},
      // A lone first byte of a byte-order mark is data, and not a number.
      {"\xEF"
       "1 2 3" +
           rest,
       "Invalid numeric input at line 1, column 1: \"\\xEF1\""},
      {"\xFF\xFE"
       "1\0 \0" +
           rest,
       "Invalid numeric input: the raw data file is UTF-16 (\"Unicode\") text; save it as plain "
       "text (ANSI or UTF-8) and load it again"},
      // UTF-16 without its mark: every other byte zero.
      {"1\0 \0002\0 \0003\0\r\0\n\0"s,
       "Invalid numeric input: the raw data file is UTF-16 (\"Unicode\") text; save it as plain "
       "text (ANSI or UTF-8) and load it again"},
  };
  for (const Case& c : cases) {
    DataMatrix data;
    try {
      Read(c.content, data);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const RawDataError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(ReadRawData, TableGrowsWithTheRowsAsked) {
  std::string content;
  for (int i = 1; i <= 601; ++i) content += std::to_string(i) + " " + std::to_string(-i) + "\n";
  DataMatrix data;
  ASSERT_EQ(Read(content, data, 601, 2), Outcome::Complete);
  EXPECT_EQ(data.Rows(), 601);
  EXPECT_EQ(data(601, 1), 601.0L);
  EXPECT_EQ(data(601, 2), -601.0L);

  DataMatrix shortOne;
  EXPECT_EQ(Read(content, shortOne, 602, 2), Outcome::Missing);
  EXPECT_EQ(shortOne.Rows(), 602);

  // A huge count with a short file: the table grows only with the data.
  DataMatrix bogus;
  EXPECT_EQ(Read("1 2\n3 4\n", bogus, 100'000'000, 2), Outcome::Missing);
  EXPECT_EQ(bogus.Rows(), kDefaultDataRows);
  EXPECT_EQ(bogus(2, 2), 4.0L);

  DataMatrix small;
  Read("1 2\n", small, 2, 2);
  EXPECT_EQ(small.Rows(), 2);
  EXPECT_EQ(small(2, 2), MissingValueMarker);  // every cell starts missing
}

TEST(ReadRawData, LongSingleLine) {
  std::string line = "1 2 3";
  line.reserve(kMaxLineLength);
  while (line.size() + 10 < kMaxLineLength) line += " 12345.678";
  DataMatrix data;
  ASSERT_EQ(Read(line, data, 1, 3), Outcome::Complete);
  EXPECT_EQ(data(1, 3), 3.0L);
}

// A file whose reading fails (here /proc/self/mem, unreadable at its start)
// is reported as unreadable, never taken for a short file.
TEST(ReadRawDataFile, ReadErrorIsReportedNotTakenForEndOfFile) {
  DataMatrix data;
  try {
    ReadRawDataFile("/proc/self/mem", kRows, kCols, data);
    ADD_FAILURE() << "no error";
  } catch (const RawDataError& e) {
    EXPECT_EQ(e.problem(), RawDataError::Problem::Unreadable);
    EXPECT_NE(std::string(e.what()).find("Error reading the raw data file"), std::string::npos)
        << e.what();
  }
}

TEST(ReadRawData, ColumnsBeyondTheTableAreRefused) {
  TextReader in = Text("1 2\n");
  DataMatrix data;
  EXPECT_THROW(ReadRawData(in, 1, 21, data), RawDataError);
  EXPECT_THROW(ReadRawData(in, 1, 0, data), RawDataError);
}

// ---------------------------------------------------------------- files

// N = 10 controls and a case, one covariate.
std::string TenControls(const std::string& sep, const std::string& end) {
  std::string s;
  for (int i = 1; i <= 11; ++i) {
    s += std::to_string(i) + sep + std::to_string(2 * i % 7) + sep + std::to_string(i * i) + end;
  }
  return s;
}

TEST(ReadRawDataFile, ReadsBlankOrTabSeparatedFiles) {
  TempDir dir;
  for (const std::string sep : {" ", "\t"}) {
    DataMatrix data{1};
    ReadRawDataFile(dir.Write("data.txt", TenControls(sep, "\r\n")), 11, 3, data);
    EXPECT_EQ(data(11, 3), 121.0L);
    EXPECT_EQ(CompleteRows(data, 11, 3), 11);
  }
}

TEST(ReadRawDataFile, AFileThatCannotBeOpenedIsNamedAndUnreadable) {
  TempDir dir;
  for (const std::string& path : {dir / "no-such-file.txt", dir.Path().string()}) {
    DataMatrix data{1};
    try {
      ReadRawDataFile(path, 11, 3, data);
      ADD_FAILURE() << "no error for " << path;
    } catch (const RawDataError& e) {
      EXPECT_EQ(e.problem(), RawDataError::Problem::Unreadable);
      EXPECT_NE(std::string(e.what()).find("Cannot open the raw data file \"" + path + "\""),
                std::string::npos)
          << e.what();
    }
  }
}

TEST(ReadRawDataFile, AnInvalidNumberIsAContentProblem) {
  TempDir dir;
  DataMatrix data{1};
  try {
    ReadRawDataFile(dir.Write("comma.txt", "1,5 2 3\r\n"), 11, 3, data);
    ADD_FAILURE() << "no error";
  } catch (const RawDataError& e) {
    EXPECT_EQ(e.problem(), RawDataError::Problem::Content);
    EXPECT_EQ(std::string(e.what()), "Invalid numeric input at line 1, column 1: \"1,5\"");
  }
}

TEST(ReadRawDataFile, LargeSamplesAndHugeCountsWithShortFiles) {
  TempDir dir;
  std::string content;
  for (int i = 1; i <= 700; ++i) {
    content += std::to_string(i) + " " + std::to_string(i % 13) + " 1\n";
  }
  DataMatrix data{1};
  ReadRawDataFile(dir.Write("big.txt", content), 700, 3, data);
  EXPECT_GE(data.Rows(), 700);
  EXPECT_EQ(data(700, 1), 700.0L);
  EXPECT_EQ(CompleteRows(data, 700, 3), 700);

  // The worksheet admits N up to 999999; this file holds 11 rows, and the
  // table grows only with the rows present.
  ReadRawDataFile(dir.Write("data.txt", TenControls(" ", "\r\n")), 1'000'000, 3, data);
  EXPECT_LT(data.Rows(), 1000);
  EXPECT_EQ(CompleteRows(data, 1'000'000, 3), 11);
}

// A stream that is not text (zero bytes without end, as /dev/zero gives) or a
// line of unbounded length is refused with a message naming the line, instead
// of being read for ever.
TEST(ReadRawData, WhatIsNotTextIsRefusedNamingTheLine) {
  const struct {
    const char* what;
    std::string data;
    const char* message;
  } cases[] = {
      {"zero bytes", std::string(kMaxSeparatorRun + 10, '\0'),
       "Invalid numeric input at line 1, column 1: \"\\x00\\x00"},
      {"an endless second line", "1 2 3\n4 5 6 " + std::string(kMaxLineLength, '7'),
       "Line 2 of the raw data file is longer than 1048576 characters"},
      {"blanks after the numbers", "1 2 3" + std::string(kMaxLineLength, ' ') + "\n",
       "Line 1 of the raw data file holds more than 65536 blanks in a row"},
      {"a run of tabs", "1\t2\t3\n" + std::string(kMaxSeparatorRun + 1, '\t') + "4",
       "Line 2 of the raw data file holds more than 65536 blanks in a row"},
  };
  for (const auto& c : cases) {
    TextReader in = Text(c.data);
    DataMatrix data{1};
    try {
      ReadRawData(in, 3, 3, data);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const RawDataError& e) {
      EXPECT_EQ(e.problem(), RawDataError::Problem::NotText) << c.what;
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.what << ": " << e.what();
    }
  }
  // Long runs within the limits are still only separators.
  TextReader fine = Text("1" + std::string(kMaxSeparatorRun, ' ') + "2\t3\n");
  DataMatrix data{1};
  ReadRawData(fine, 1, 3, data);
  EXPECT_EQ(data(1, 2), 2.0L);
}

// The table holds just the columns read, and a file's rows are made room for
// at once (its size bounds them): a large sample costs what it holds.
TEST(ReadRawDataFile, TheTableHoldsTheColumnsReadAndNeverGrowsByCopying) {
  TempDir dir;
  std::string content;
  for (int i = 1; i <= 2000; ++i) content += std::to_string(i) + " 2 3 4 5\n";
  DataMatrix data{1};
  ReadRawDataFile(dir.Write("wide.txt", content), 1500, 3, data);
  EXPECT_EQ(data.Cols(), 3);
  EXPECT_EQ(data.Rows(), 1500);
  EXPECT_EQ(data(1500, 1), 1500.0L);
}

// A first line none of whose items is a number names the variables: the
// rows below it read as the same file without it, and every message names
// the file's own lines.
TEST(ReadRawData, AFirstLineOfNamesNamesTheColumns) {
  struct Case {
    std::string nameLine;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"Fluency Naming Age", {"Fluency", "Naming", "Age"}},
      {"\tFluency  Naming\tAge extra", {"Fluency", "Naming", "Age"}},  // beyond cols: not used
      {"Fluency Naming", {"Fluency", "Naming"}},                       // the rest: standard
      {"1st 2nd -", {"1st", "2nd", "-"}},
  };
  for (const Case& c : cases) {
    DataMatrix data;
    RawDataShape shape;
    ASSERT_EQ(Read(c.nameLine + "\n" + Join(kLines, "\r\n"), data, kRows, kCols, &shape),
              Outcome::Complete)
        << c.nameLine;
    ExpectValues(data, c.nameLine);
    EXPECT_EQ(shape.names, c.names) << c.nameLine;
    EXPECT_EQ(shape.completeRows, kRows) << c.nameLine;
    EXPECT_EQ(shape.lines, kRows + 1) << c.nameLine;
  }
  // Without the line: no names. An empty first line is a row (missing).
  DataMatrix data;
  RawDataShape shape;
  EXPECT_EQ(Read(Join(kLines, "\n"), data, kRows, kCols, &shape), Outcome::Complete);
  EXPECT_TRUE(shape.names.empty());
  EXPECT_EQ(Read("\n" + Join(kLines, "\n"), data, kRows, kCols, &shape), Outcome::Missing);
  EXPECT_TRUE(shape.names.empty());
  EXPECT_EQ(shape.firstShortLine, 1);

  // Messages name the file's lines: the bad number of row 2 stands on line 3.
  try {
    Read("A B C\n1 2 3\n4 x 6\n7 8 9\n10 11 12\n", data);
    ADD_FAILURE() << "read";
  } catch (const RawDataError& e) {
    EXPECT_STREQ(e.what(), "Invalid numeric input at line 3, column 2: \"x\"");
  }
  // A short row 3 is line 4; rows never reached start after the last line.
  EXPECT_EQ(Read("A B C\n1 2 3\n4 5 6\n7 8\n10 11 12\n", data, kRows, kCols, &shape),
            Outcome::Missing);
  EXPECT_EQ(shape.firstShortLine, 4);
  EXPECT_EQ(Read("A B C\n1 2 3\n4 5 6\n", data, kRows, kCols, &shape), Outcome::Missing);
  EXPECT_EQ(shape.firstShortLine, 4);
  EXPECT_EQ(shape.lines, 3);
  // Only the first line names: a line of words further down is a bad row.
  try {
    Read("A B C\n1 2 3\nD E F\n7 8 9\n10 11 12\n", data);
    ADD_FAILURE() << "read";
  } catch (const RawDataError& e) {
    EXPECT_STREQ(e.what(), "Invalid numeric input at line 3, column 1: \"D\"");
  }
  // A name longer than 40 characters is refused, saying which.
  try {
    Read("A " + std::string(41, 'n') + " C\n" + Join(kLines, "\n"), data);
    ADD_FAILURE() << "read";
  } catch (const RawDataError& e) {
    EXPECT_EQ(e.problem(), RawDataError::Problem::Content);
    EXPECT_EQ(std::string(e.what()).rfind("Line 1 names the variables, but its name 2 is longer "
                                          "than 40 characters",
                                          0),
              0u)
        << e.what();
  }
}

TEST(CompleteRows, CountsTheLeadingRowsWithEveryCell) {
  TextReader in = Text("1 2 3\n4 5 6\n7 8\n9 10 11\n");
  DataMatrix data{1};
  ReadRawData(in, 4, 3, data);
  EXPECT_EQ(CompleteRows(data, 4, 3), 2);
  EXPECT_EQ(CompleteRows(data, 4, 2), 4);
  EXPECT_EQ(CompleteRows(data, 1, 3), 1);
}

}  // namespace
}  // namespace quorvane
