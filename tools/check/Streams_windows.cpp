#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/check/Streams.h"

// Windows raises no signal for a closed pipe; its text mode would write "\r\n".
void PrepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}
