#include "tools/check/Streams.h"

// Windows raises no signal for a closed pipe: a write to it fails as it is. Line ends are every
// program's own (Platform::StartProgram).
void PrepareStandardStreams() {}
