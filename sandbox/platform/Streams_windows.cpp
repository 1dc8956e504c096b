#include <io.h>
#include <windows.h>

#include <cstdio>

#include "sandbox/platform/Streams.h"

namespace Platform {

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

// ReadFile serves a console, a pipe and a file alike. It cannot be cancelled on every Windows, so
// the thread that calls it is never waited for.
std::size_t ReadStandardInput(char* buffer, std::size_t size) {
  DWORD n = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &n, nullptr))
    return 0;
  return n;
}

}  // namespace Platform
