// The standard streams, on POSIX systems and on Windows.
#pragma once

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvane::cli {

inline bool StandardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) == 1;
#endif
}

// The report's bytes are the same everywhere: on Windows standard output would
// otherwise turn each line feed into CR LF.
inline void WriteStandardOutputAsIs() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace quorvane::cli
