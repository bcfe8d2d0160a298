// The one reader of the program's text files of numbers (raw data, summary
// statistics, cases, saved inputs): lines of items, every guard in one place.
//
// A line ends at a carriage return, a carriage return and line feed, or a line
// feed; a Ctrl-Z (0x1A) or the end of the file ends the data. Items are
// separated by blanks and tabs. A UTF-8 byte-order mark at the start is
// skipped. What is refused, with the line (and the item) named:
//   - UTF-16 text, with or without its byte-order mark;
//   - a control character (a byte below 0x20 other than tab, CR, LF and
//     Ctrl-Z, or DEL), which is no text: it never separates items;
//   - a line longer than kMaxLineLength characters, or a run of more than
//     kMaxSeparatorRun blanks and tabs (a file that is not text).
// Reading from a pipe or a FIFO waits for input, asking the stop function
// every tenth of a second, so a user can always end the wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvane {

inline constexpr std::size_t kMaxLineLength = 1 << 20;
inline constexpr std::size_t kMaxSeparatorRun = 1 << 16;

class TextFileError : public std::runtime_error {
 public:
  enum class Problem {
    CannotOpen,  // the file cannot be opened (what() says why)
    Folder,      // the name is a folder's
    Unreadable,  // reading it failed
    Utf16,       // UTF-16 text, with or without its byte-order mark
    NotText,     // a control character, a line too long, a run of blanks
    Cancelled,   // the stop function ended the wait for input
  };
  TextFileError(Problem problem, const std::string& what, int line = 0, int column = 0,
                std::string item = {})
      : std::runtime_error(what),
        problem_(problem),
        line_(line),
        column_(column),
        item_(std::move(item)) {}
  Problem problem() const { return problem_; }
  // For a control character: its line, the position of its item on the line
  // (1-based) and the item as ShowableItem shows it; 0 and empty otherwise.
  int line() const { return line_; }
  int column() const { return column_; }
  const std::string& item() const { return item_; }

 private:
  Problem problem_;
  int line_, column_;
  std::string item_;
};

struct TextLine {
  int number = 0;                  // 1-based, as the line stands in the file
  std::vector<std::string> items;  // in order; empty for an empty line
};

struct TextReadOptions {
  // How messages name the file: "raw data file", "summary file", ...
  std::string what = "file";
  // A character that starts a comment running to the line's end (0: none).
  // Comments are not items; only their length is checked.
  char comment = 0;
  // Asked while the reader waits for input; returning true ends the read
  // with TextFileError::Cancelled. Empty: wait as long as it takes.
  std::function<bool()> stop;
};

class TextReader {
 public:
  // Opens the file at path (as given).
  // @throws TextFileError (CannotOpen, Folder) when it cannot be opened or is
  //   a folder: what() is "Cannot open the <what> "<path>"", followed by ": it
  //   is a folder" for a folder.
  TextReader(const std::string& path, TextReadOptions options);
  // Reads text held in memory.
  static TextReader FromText(std::string text, TextReadOptions options);
  ~TextReader();
  TextReader(TextReader&&) noexcept;
  TextReader& operator=(TextReader&&) noexcept;

  // The next line; false once the data have ended (nothing is then written
  // to line). An empty line gives true with no items.
  // @throws TextFileError as the header says.
  bool NextLine(TextLine& line);

  // The file's size in bytes when it is a regular file.
  std::optional<std::uintmax_t> Size() const;

  // Where the bytes come from (a file, or text in memory).
  class Source;

 private:
  TextReader(std::unique_ptr<Source> source, TextReadOptions options);
  bool Fill();
  int Peek();
  void Take();
  [[noreturn]] void Refuse(TextFileError::Problem problem, const std::string& message) const;

  std::unique_ptr<Source> source_;
  TextReadOptions options_;
  std::vector<char> buffer_;
  std::size_t position_ = 0;
  bool atStart_ = true;
  bool ended_ = false;
  int line_ = 0;
};

// An item as a message can show it: printable characters as they are, others
// as \xNN; cut after 65 characters (marked "...").
std::string ShowableItem(const std::string& item);

}  // namespace quorvane
