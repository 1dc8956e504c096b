#include "tests/support/NonRegularFile.h"

// Windows keeps its pipes in a namespace of their own and has no endless device to link to.
bool MakePipeAt(const std::filesystem::path&) { return false; }
bool MakeLinkToEndlessDevice(const std::filesystem::path&) { return false; }
