#include "cli/terminal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "text/format_text.h"

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

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_blockingWrites{0};
int g_exitCode = 8;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int /*signal*/) {
  if (g_interrupted.exchange(true) || g_blockingWrites.load() > 0) {
    static const char kMessage[] = "Interrupted\n";
#if defined(_WIN32)
    _write(2, kMessage, sizeof kMessage - 1);
#else
    [[maybe_unused]] const auto written = ::write(2, kMessage, sizeof kMessage - 1);
#endif
    _exit(g_exitCode);
  }
}

}  // namespace

void InstallInterruptHandlers(int exitCode) {
  g_exitCode = exitCode;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#if !defined(_WIN32)
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool Interrupted() {
  return g_interrupted.load();
}

BlockingWrite::BlockingWrite() {
  g_blockingWrites.fetch_add(1);
}

BlockingWrite::~BlockingWrite() {
  g_blockingWrites.fetch_sub(1);
}

}  // namespace quorvane::cli
