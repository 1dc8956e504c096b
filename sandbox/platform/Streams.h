// The sandbox's standard streams, the part of them that differs by platform.
#pragma once

#include <cstddef>

namespace Platform {

// Whether standard output is a terminal (colour and pacing are for people, not for files).
bool StandardOutputIsTerminal();
// Blocks until some of standard input has come, whatever it is (a terminal, a pipe, a file), and
// gives how many bytes went into buffer; 0 at its end or when it cannot be read.
std::size_t ReadStandardInput(char* buffer, std::size_t size);

}  // namespace Platform
