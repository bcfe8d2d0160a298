#include "cli/plot_output.h"

#if defined(_WIN32)
#include <windows.h>

#include "file_io/program_folders.h"
#else
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
#if defined(_WIN32)
  return suffix == ".png" || suffix == ".pdf";
#else
  return suffix == ".png" || suffix == ".svg" || suffix == ".pdf";
#endif
}

const char* PlotFileTypes() {
#if defined(_WIN32)
  return ".png or .pdf";
#else
  return ".png, .svg or .pdf";
#endif
}

#if defined(_WIN32)
namespace {

// A narrow string of this program (file names and paths: the process's code
// page, UTF-8 by the programs' manifest) as UTF-16.
std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// One argument quoted so that the C runtime's command-line parsing gives it
// back unchanged: backslashes are literal except before a quote.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace
#endif

std::string PlotProgram() {
#if defined(_WIN32)
  const std::string folder = GetProgramDirectory();
  if (!folder.empty()) {
    const std::filesystem::path beside =
        std::filesystem::path(Widen(folder)) / L"quorvane-plot.exe";
    std::error_code error;
    if (std::filesystem::is_regular_file(beside, error)) return folder + "\\quorvane-plot.exe";
  }
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
  // The plot data go through an anonymous pipe to the program's standard
  // input; only the pipe's reading end is inherited.
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    why = "no pipe to the plot program: " + SystemMessage(GetLastError());
    return false;
  }
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = Quoted(Widen(program)) + L" " + Quoted(Widen(path));
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child);
  const DWORD startError = started ? 0 : GetLastError();
  CloseHandle(readEnd);
  if (!started) {
    CloseHandle(writeEnd);
    why = "the plot program " + program + " could not be started: " + SystemMessage(startError);
    return false;
  }
  CloseHandle(child.hThread);
  const std::string text = WritePlotData(plot);
  std::size_t sent = 0;
  while (sent < text.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - sent, 1 << 16));
    if (!WriteFile(writeEnd, text.data() + sent, chunk, &n, nullptr) || n == 0) break;
    sent += n;
  }
  CloseHandle(writeEnd);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(child.hProcess, &status);
  CloseHandle(child.hProcess);
  if (status == 0 && sent == text.size()) return true;
  why = "the plot program " + program + " failed";
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
