// The one text reader: lines and items, and every refusal with its line, for
// text in memory and for files that are not text or never end.
#include "file_io/text_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "TemplateForm/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::string_literals;
using testing::TempDir;

std::vector<TextLine> Lines(TextReader& in) {
  std::vector<TextLine> lines;
  TextLine line;
  while (in.NextLine(line)) lines.push_back(line);
  return lines;
}

std::vector<TextLine> Lines(const std::string& text, char comment = 0) {
  TextReader in = TextReader::FromText(text, TextReadOptions{"test file", comment, {}});
  return Lines(in);
}

TextFileError RefusalOf(TextReader& in) {
  try {
    Lines(in);
  } catch (const TextFileError& e) {
    return e;
  }
  ADD_FAILURE() << "not refused";
  return TextFileError(TextFileError::Problem::Unreadable, "");
}

TextFileError RefusalOf(const std::string& text) {
  TextReader in = TextReader::FromText(text, TextReadOptions{"test file", '#', {}});
  return RefusalOf(in);
}

TEST(TextReader, SplitsLinesAtEveryLineEndAndItemsAtBlanksAndTabs) {
  const std::vector<TextLine> lines = Lines(
      "\xEF\xBB\xBF"
      "a b\r\n\tc\t d \n\ne\rf  # g\x1A"
      "after the end");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].items, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(lines[1].items, (std::vector<std::string>{"c", "d"}));
  EXPECT_TRUE(lines[2].items.empty());
  EXPECT_EQ(lines[3].items, (std::vector<std::string>{"e"}));
  EXPECT_EQ(lines[4].items, (std::vector<std::string>{"f", "#", "g"}));  // no comments here
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].number, int(i) + 1);
  // With comments: the rest of the line is no item, and may hold anything.
  const std::vector<TextLine> commented = Lines("N 20 # twenty\x01\x7F\n# only\n", '#');
  ASSERT_EQ(commented.size(), 2u);
  EXPECT_EQ(commented[0].items, (std::vector<std::string>{"N", "20"}));
  EXPECT_TRUE(commented[1].items.empty());
}

TEST(TextReader, RefusesWhatIsNoTextNamingTheLineAndItem) {
  struct Case {
    std::string text;
    TextFileError::Problem problem;
    int line, column;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"1 2\n3 4\x7F 5\n", TextFileError::Problem::NotText, 2, 2,
       "Line 2 of the test file holds a control character in item 2: \"4\\x7F\"; the file does not "
       "look like plain text"},
      {"1\0 2\n"s, TextFileError::Problem::NotText, 1, 1,
       "Line 1 of the test file holds a control character in item 1: \"1\\x00\"; the file does not "
       "look like plain text"},
      {"1 2 \x0C\n", TextFileError::Problem::NotText, 1, 3,
       "Line 1 of the test file holds a control character in item 3: \"\\x0C\"; the file does not "
       "look like plain text"},
      {std::string(1000, '\0'), TextFileError::Problem::NotText, 1, 1,
       "Line 1 of the test file holds a control character in item 1: "
       "\"\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00...\"; the file does not look like plain text"},
      {"\xFF\xFE"
       "1\0"s,
       TextFileError::Problem::Utf16, 0, 0,
       "Invalid numeric input: the test file is UTF-16 (\"Unicode\") text; save it as plain text "
       "(ANSI or UTF-8) and load it again"},
      {"1\0 \0"
       "2\0\n\0"s,
       TextFileError::Problem::Utf16, 0, 0,
       "Invalid numeric input: the test file is UTF-16 (\"Unicode\") text; save it as plain text "
       "(ANSI or UTF-8) and load it again"},
      {"\0"
       "1\0 \0"
       "2\0\n"s,
       TextFileError::Problem::Utf16, 0, 0,  // big-endian
       "Invalid numeric input: the test file is UTF-16 (\"Unicode\") text; save it as plain text "
       "(ANSI or UTF-8) and load it again"},
      {"1" + std::string(kMaxSeparatorRun + 1, ' ') + "2", TextFileError::Problem::NotText, 0, 0,
       "Line 1 of the test file holds more than 65536 blanks in a row: the file does not look "
       "like a text file of numbers"},
      {"1\n" + std::string(kMaxLineLength + 1, '9'), TextFileError::Problem::NotText, 0, 0,
       "Line 2 of the test file is longer than 1048576 characters: the file does not look like a "
       "text file of numbers"},
      {"# " + std::string(kMaxLineLength + 1, 'x'), TextFileError::Problem::NotText, 0, 0,
       "Line 1 of the test file is longer than 1048576 characters: the file does not look like a "
       "text file of numbers"},
  };
  for (const Case& c : cases) {
    const TextFileError e = RefusalOf(c.text);
    EXPECT_EQ(e.problem(), c.problem) << c.message;
    EXPECT_EQ(e.line(), c.line) << c.message;
    EXPECT_EQ(e.column(), c.column) << c.message;
    EXPECT_EQ(std::string(e.what()), c.message);
  }
  // Long runs within the limits are only separators.
  EXPECT_EQ(Lines("1" + std::string(kMaxSeparatorRun, ' ') + "2")[0].items.size(), 2u);
}

TEST(TextReader, FilesThatCannotBeReadAsTextAreRefusedAtOnce) {
  TempDir dir;
  struct Case {
    std::string path;
    TextFileError::Problem problem;
    std::string message;
  };
  const std::vector<Case> cases = {
      {dir.Path().string(), TextFileError::Problem::Folder,
       "Cannot open the test file \"" + dir.Path().string() + "\": it is a folder"},
      {dir / "missing.txt", TextFileError::Problem::CannotOpen,
       "Cannot open the test file \"" + (dir / "missing.txt") + "\""},
      {"/dev/zero", TextFileError::Problem::NotText, ""},
      {"/proc/self/mem", TextFileError::Problem::Unreadable, ""},
  };
  for (const Case& c : cases) {
    try {
      TextReader in(c.path, TextReadOptions{"test file", 0, {}});
      Lines(in);
      ADD_FAILURE() << c.path << " read";
    } catch (const TextFileError& e) {
      EXPECT_EQ(e.problem(), c.problem) << c.path << ": " << e.what();
      if (!c.message.empty()) {
        EXPECT_EQ(std::string(e.what()), c.message);
      }
    }
  }
  // Random bytes are no text: refused within the first bytes (a control
  // character, or every other byte zero), not read for ever. A Ctrl-Z ends
  // the data wherever it stands, so the bytes here hold none (random bytes
  // that meet a Ctrl-Z before any other control character, about one stream
  // in thirty, end there instead, as the read of /dev/urandom below may).
  std::mt19937 bits(20261210);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) {
    c = static_cast<char>(bits() & 0xFF);
    if (c == '\x1A') c = '\x1B';
  }
  TextReader noisy = TextReader::FromText(noise, TextReadOptions{"test file", 0, {}});
  const TextFileError e = RefusalOf(noisy);
  EXPECT_TRUE(e.problem() == TextFileError::Problem::NotText ||
              e.problem() == TextFileError::Problem::Utf16)
      << e.what();
  // An endless stream of them ends at once, one way or the other.
  TextReader random("/dev/urandom", TextReadOptions{"test file", 0, {}});
  try {
    Lines(random);
  } catch (const TextFileError& endless) {
    EXPECT_TRUE(endless.problem() == TextFileError::Problem::NotText ||
                endless.problem() == TextFileError::Problem::Utf16)
        << endless.what();
  }
}

// A FIFO that no program writes to would keep a reader waiting for ever: the
// stop function ends the wait within a fraction of a second.
TEST(TextReader, TheWaitForAFifoWithNoWriterEndsWhenStopped) {
  TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const auto stop = [start] {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300);
  };
  TextReader in(fifo, TextReadOptions{"test file", 0, stop});  // opening does not wait
  const TextFileError e = RefusalOf(in);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(e.problem(), TextFileError::Problem::Cancelled) << e.what();
  EXPECT_LT(waited, std::chrono::milliseconds(1300));
}

}  // namespace
}  // namespace quorvane
