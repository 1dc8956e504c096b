#include <cstdio>

#include "sandbox/platform/Program.h"

namespace Platform {

// A program here runs in a terminal of someone else's making, or in none: it never waits.
std::vector<std::string> StartProgram(const char*, int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  return {argv, argv + argc};
}
void ConsoleTakesCommands() {}

}  // namespace Platform
