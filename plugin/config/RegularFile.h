// Reading a whole file that must be a plain file on disk. Anything else at the path (a directory,
// a pipe, a device) is refused at once instead of read: a pipe would block the reader until someone
// writes into it, and a device such as /dev/zero never ends.
#pragma once

#include <cstdint>
#include <string>

enum class FileRead { Read, NotAFile, TooLarge };

// Reads the file at path (links followed) into bytes when it is a regular file of at most limit
// bytes; size receives the file's size whenever it could be told, so a refusal can name it.
FileRead ReadRegularFile(const std::string& path, std::uint64_t limit, std::string& bytes,
                         std::uint64_t& size);
