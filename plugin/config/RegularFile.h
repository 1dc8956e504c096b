// Reading a whole file that must be a plain file on disk. Anything else at the path (a directory,
// a pipe, a device) is refused at once instead of read: a pipe would block the reader until someone
// writes into it, and a device such as /dev/zero never ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class FileRead { Read, NotAFile, TooLarge };

// Reads the file at path (links followed) into bytes when it is a regular file of at most limit
// bytes; size receives the file's size whenever it could be told, so a refusal can name it.
FileRead ReadRegularFile(const std::string& path, std::uint64_t limit, std::string& bytes,
                         std::uint64_t& size);

// What ReadRegularFile asks of the platform, one file a platform (RegularFile_posix.cpp,
// RegularFile_windows.cpp).
namespace DiskFile {

// Opens the file at path for reading without waiting on anything, when it is a regular file on
// disk; gives its handle and size, or -1.
std::intptr_t Open(const std::string& path, std::uint64_t& size);
// Reads what comes next: the bytes read, 0 at the end, below 0 on a failure.
std::int64_t Read(std::intptr_t file, char* buffer, std::size_t size);
void Close(std::intptr_t file);

}  // namespace DiskFile
