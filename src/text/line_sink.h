// Append-only lists of text lines: where the report and the matrix printer
// write (the results viewer's memo, a string list in tests and the command-line
// program).
#pragma once

#include <string>
#include <vector>

namespace quorvane {

class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Add(const std::string& line) = 0;
  virtual int Count() const = 0;
};

// A LineSink that keeps its lines in memory.
class LineList : public LineSink {
 public:
  void Add(const std::string& line) override { lines_.push_back(line); }
  int Count() const override { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

}  // namespace quorvane
