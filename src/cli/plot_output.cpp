#include "cli/plot_output.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
extern char** environ;
#endif

namespace quorvane::cli {

bool IsPlotFileName(const std::string& path) {
  std::string suffix = std::filesystem::path(path).extension().string();
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return suffix == ".png" || suffix == ".svg" || suffix == ".pdf";
}

std::string PlotProgram() {
#if defined(_WIN32)
  return "quorvane-plot";
#else
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path beside = self.parent_path() / "quorvane-plot";
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return "quorvane-plot";
#endif
}

bool WritePlotImage(const std::string& program, const std::string& path, const PlotData& plot,
                    std::string& why) {
#if defined(_WIN32)
  // The plot program is a Qt program, and there is no Qt for the Windows build.
  (void)program;
  (void)path;
  (void)plot;
  why = "plots are not available in the Windows build";
  return false;
#else
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    why = std::string("no pipe to the plot program: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                          nullptr};
  pid_t child = 0;
  const int spawned =
      ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[0]);
  if (spawned != 0) {
    ::close(pipeEnds[1]);
    why = "the plot program " + program + " could not be started: " + std::strerror(spawned);
    return false;
  }
  // A plot program that stops reading must not end this one.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  const std::string text = WritePlotData(plot);
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::write(pipeEnds[1], text.data() + sent, text.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  ::close(pipeEnds[1]);
  ::sigaction(SIGPIPE, &previous, nullptr);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && sent == text.size()) return true;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    why = "the plot program " + program + " could not be run";
  } else {
    why = "the plot program " + program + " failed";
  }
  return false;
#endif
}

}  // namespace quorvane::cli
