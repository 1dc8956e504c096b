// nestkeep-check: reads config.json files with the module's own reading code and tells an
// administrator what the module would make of them, before a server or a reload uses them.
#include <string>
#include <vector>

#include "sandbox/platform/Program.h"
#include "tools/check/Run.h"
#include "tools/check/Streams.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = Platform::StartProgram("nestkeep-check", argc, argv);
  PrepareStandardStreams();
  return RunChecker(std::vector<std::string>(args.begin() + 1, args.end()));
}
