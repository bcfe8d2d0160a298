#include "cli/terminal.h"

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvane::cli {

bool StandardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) == 1;
#endif
}

void WriteStandardOutputAsIs() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void ProgressBar::Show(std::int64_t done, std::int64_t total) {
  if (!shown_ || total <= 0) return;
  const int percent = static_cast<int>(done * 100 / total);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\rRunning %s draws [%s%s] %3d%%", GroupDigits(total).c_str(),
               std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
  std::fflush(stderr);
  onScreen_ = true;
}

void ProgressBar::End() {
  if (!onScreen_) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  onScreen_ = false;
  lastPercent_ = -1;
}

std::string GroupDigits(std::int64_t value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0 && digits[i - 1] != '-'; i -= 3) {
    digits.insert(static_cast<std::size_t>(i), ",");
  }
  return digits;
}

}  // namespace quorvane::cli
