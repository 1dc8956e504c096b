#include <csignal>

#include "tools/check/Streams.h"

void PrepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }
