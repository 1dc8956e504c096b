// Things at a path that are not regular files, made where the platform has them.
#pragma once

#include <filesystem>

// A pipe (FIFO) at path; false where the platform has none that lives at a file's path.
bool MakePipeAt(const std::filesystem::path& path);
// A link at path to a device that never ends when read; false where there is none.
bool MakeLinkToEndlessDevice(const std::filesystem::path& path);
