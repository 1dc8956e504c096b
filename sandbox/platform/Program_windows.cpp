#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose declarations it uses.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "plugin/engine/Unicode.h"
#include "sandbox/platform/Program.h"

namespace Platform {
namespace {

const char* ProgramName = "";
bool WaitAtEnd = false;

// Started from Explorer, a console program gets a console of its own, which closes as it ends;
// started from a command prompt, it shares the prompt's. Automation that gives it pipes or files
// gets no wait either way.
bool HasConsoleOfItsOwn() {
  DWORD mode = 0, processes[2];
  return GetConsoleProcessList(processes, 2) == 1 &&
         GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
         GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

UINT ConsolePage = 0;

// The console goes on serving the command prompt it was started from.
void RestoreConsolePage() { SetConsoleOutputCP(ConsolePage); }

// The arguments as the command line has them in UTF-16, split the way the C runtime splits them.
std::vector<std::string> CommandLine() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; words && i < count; ++i)
    args.push_back(
        Unicode::Utf16ToUtf8(std::u16string(words[i], words[i] + std::wcslen(words[i]))));
  LocalFree(words);
  return args;
}

void WaitForKey() {
  if (!WaitAtEnd) return;
  std::fflush(stderr);
  std::printf(
      "\n%s ran in a window of its own, which closes when you press a key. Run it from a "
      "command prompt in the server folder to keep what it says; GUIDE.md says how.\n",
      ProgramName);
  std::fflush(stdout);
  // Keys pressed while it ran are not the answer.
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  _getch();
}

}  // namespace

std::vector<std::string> StartProgram(const char* name, int, char**) {
  // Text mode would write "\r\n" for each "\n". The C runtime has no line buffering: it takes
  // _IOLBF for full buffering, so standard output goes out as each call writes it.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // A console shows the bytes written in its code page, which is not UTF-8 unless told so.
  if (const UINT page = GetConsoleOutputCP(); page != 0 && page != CP_UTF8) {
    ConsolePage = page;
    SetConsoleOutputCP(CP_UTF8);
    std::atexit(RestoreConsolePage);
  }
  ProgramName = name;
  WaitAtEnd = HasConsoleOfItsOwn();
  std::atexit(WaitForKey);
  return CommandLine();
}

void ConsoleTakesCommands() { WaitAtEnd = false; }

}  // namespace Platform
