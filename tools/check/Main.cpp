// nestkeep-check: reads config.json files with the module's own reading code and tells an
// administrator what the module would make of them, before a server or a reload uses them.
#include <string>
#include <vector>

#include "tools/check/Run.h"
#include "tools/check/Streams.h"

int main(int argc, char** argv) {
  PrepareStandardStreams();
  return RunChecker(std::vector<std::string>(argv + 1, argv + argc));
}
