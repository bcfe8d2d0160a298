/* pdftotext for Windows programs under Wine, as the desktop program's tests
 * use it (pdftotext [OPTION...] PDF -): runs the build machine's
 * /usr/bin/pdftotext, a Linux program that Wine starts as such, with the
 * Windows paths among the arguments turned into the Linux paths Wine maps
 * them to. Wine neither passes a pipe to a Linux program nor waits for one
 * to end, so a shell runs pdftotext into a temporary file and renames it when
 * pdftotext has succeeded (or leaves a ".failed" file); this waits for either
 * (at most a minute) and copies the text to standard output.
 *
 *   x86_64-w64-mingw32-gcc -municode -o wine-pdftotext.exe wine-pdftotext.c
 */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

typedef char*(__cdecl* UnixFileName)(const WCHAR*);

static int IsWindowsPath(const WCHAR* arg) {
  return ((arg[0] >= L'A' && arg[0] <= L'Z') || (arg[0] >= L'a' && arg[0] <= L'z')) &&
         arg[1] == L':' && (arg[2] == L'\\' || arg[2] == L'/');
}

/* Appends one argument, quoted for the C runtime's command-line parsing. */
static void Append(WCHAR* line, const WCHAR* arg) {
  size_t n = wcslen(line);
  size_t backslashes = 0;
  if (n > 0) line[n++] = L' ';
  line[n++] = L'"';
  for (const WCHAR* c = arg; *c; ++c) {
    if (*c == L'\\') {
      ++backslashes;
      continue;
    }
    for (size_t i = 0; i < (*c == L'"' ? 2 * backslashes + 1 : backslashes); ++i) line[n++] = L'\\';
    backslashes = 0;
    line[n++] = *c;
  }
  for (size_t i = 0; i < 2 * backslashes; ++i) line[n++] = L'\\';
  line[n++] = L'"';
  line[n] = 0;
}

static UnixFileName toUnix;

/* Appends the Linux path of a Windows path; 0 when Wine knows none. */
static int AppendUnixPath(WCHAR* line, const WCHAR* path) {
  char* unixPath = toUnix(path);
  WCHAR wide[4096];
  if (unixPath == NULL || MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, wide, 4096) == 0) {
    fwprintf(stderr, L"wine-pdftotext: no Linux path for %ls\n", path);
    return 0;
  }
  HeapFree(GetProcessHeap(), 0, unixPath);
  Append(line, wide);
  return 1;
}

int wmain(int argc, WCHAR** argv) {
  FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (found == NULL) {
    fputs("wine-pdftotext: not running under Wine\n", stderr);
    return 99;
  }
  memcpy(&toUnix, &found, sizeof(toUnix));
  if (argc < 3 || wcscmp(argv[argc - 1], L"-") != 0) {
    fputs("usage: wine-pdftotext [OPTION...] PDF -\n", stderr);
    return 99;
  }
  WCHAR folder[MAX_PATH];
  WCHAR text[MAX_PATH];
  if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"pdt", 0, text) == 0) {
    fputs("wine-pdftotext: no temporary file\n", stderr);
    return 99;
  }
  DeleteFileW(text);
  WCHAR failed[MAX_PATH + 8];
  swprintf(failed, MAX_PATH + 8, L"%ls.failed", text);
  static WCHAR line[32768];
  Append(line, L"/bin/sh");
  Append(line, L"-c");
  Append(line,
         L"out=$1; shift; if /usr/bin/pdftotext \"$@\" \"$out.part\"; then mv \"$out.part\" "
         L"\"$out\"; else echo failed > \"$out.failed\"; fi");
  Append(line, L"sh");
  if (!AppendUnixPath(line, text)) return 99;
  for (int i = 1; i < argc - 1; ++i) {
    if (IsWindowsPath(argv[i]) ? !AppendUnixPath(line, argv[i]) : (Append(line, argv[i]), 0)) {
      return 99;
    }
  }

  STARTUPINFOW startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child;
  if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child)) {
    fwprintf(stderr, L"wine-pdftotext: cannot start /usr/bin/pdftotext (error %lu)\n",
             GetLastError());
    return 99;
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  FILE* in = NULL;
  for (int waited = 0; in == NULL && waited < 60000; waited += 20) {
    if (GetFileAttributesW(failed) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileW(failed);
      fputs("wine-pdftotext: pdftotext failed\n", stderr);
      return 1;
    }
    in = _wfopen(text, L"rb");
    if (in == NULL) Sleep(20);
  }
  if (in == NULL) {
    fputs("wine-pdftotext: pdftotext wrote no text in a minute\n", stderr);
    return 1;
  }
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), in)) > 0) fwrite(buffer, 1, n, stdout);
  fclose(in);
  DeleteFileW(text);
  return fflush(stdout) == 0 ? 0 : 1;
}
