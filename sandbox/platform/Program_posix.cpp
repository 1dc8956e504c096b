#include <cstdio>

#include "sandbox/platform/Program.h"

namespace Platform {

// A program here runs in a terminal of someone else's making, or in none: it never waits at its end.
void StartProgram(const char*) { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }
void ConsoleTakesCommands() {}

std::string ShownPath(std::string path) { return path; }

}  // namespace Platform
