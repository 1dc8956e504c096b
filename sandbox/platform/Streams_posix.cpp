#include <unistd.h>

#include <cerrno>

#include "sandbox/platform/Streams.h"

namespace Platform {

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::size_t ReadStandardInput(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

}  // namespace Platform
