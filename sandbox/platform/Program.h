// What every program of the project (the sandbox, the checker) does alike, the part of it that
// differs by platform: how it reads its arguments, how it writes its lines, and how it ends when it
// has a console window of its own.
#pragma once

#include <string>
#include <vector>

namespace Platform {

// Call first in main; gives the program's arguments, argv[0] first, as UTF-8 text, whatever
// letters they hold (on Windows they are read as the command line's Unicode, not in the system's
// narrow code page). From then on every line the program writes to standard output and standard
// error ends with "\n" as written, on every platform, and standard output goes out line by line,
// so that the two read in the order written when both go to one file. A program with a console
// window of its own (on Windows, one started from Explorer rather than from a command prompt)
// waits for a key when it ends, so that what it wrote can be read before the window closes; name
// says which program it was, in the line that asks for the key.
std::vector<std::string> StartProgram(const char* name, int argc, char** argv);

// The program's console is from now on read for commands, so its end comes from the one at that
// console (or over RCON): it ends without waiting for a key.
void ConsoleTakesCommands();

}  // namespace Platform
