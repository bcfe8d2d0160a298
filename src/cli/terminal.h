// The command-line program's terminal: whether standard error is one, the
// progress bar drawn there while the engine runs, and Ctrl-C.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane::cli {

bool StandardErrorIsTerminal();

// Standard output takes the bytes as written: on Windows it would otherwise
// turn each line feed into CR LF (and CSV's CR LF into CR CR LF), and the
// output would differ from the other systems'. Call before writing to it.
void WriteStandardOutputAsIs();

// "Running 1,000,000 draws [#####     ]  50%" redrawn in place on standard
// error; nothing at all when shown is false.
class ProgressBar {
 public:
  explicit ProgressBar(bool shown) : shown_(shown) {}
  void Show(std::int64_t done, std::int64_t total);
  // Ends the bar's line (before other text, and at the end).
  void End();

 private:
  bool shown_;
  bool onScreen_ = false;
  int lastPercent_ = -1;
};

// Ctrl-C (SIGINT) and SIGTERM set the flag that Interrupted() gives, which
// the reading of files and the engine ask often, so a run ends promptly and
// says so. A second interrupt, or one while a BlockingWrite lives (a write to
// a reader that may never take it), ends the program at once with exit code
// 8. A closed pipe (SIGPIPE) does not end the program: the write fails and is
// reported.
void InstallInterruptHandlers(int exitCode);
bool Interrupted();

class BlockingWrite {
 public:
  BlockingWrite();
  ~BlockingWrite();
  BlockingWrite(const BlockingWrite&) = delete;
  BlockingWrite& operator=(const BlockingWrite&) = delete;
};

}  // namespace quorvane::cli
