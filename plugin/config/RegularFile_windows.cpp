#include <windows.h>

#include <filesystem>

#include "plugin/config/RegularFile.h"

namespace DiskFile {

std::intptr_t Open(const std::string& path, std::uint64_t& size) {
  // The path is UTF-8 text; forward slashes serve as separators. Others may go on writing or
  // replacing the file while it is read, as on any other platform.
  const std::wstring wide =
      std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  // A directory does not open without backup semantics; a pipe or a device is not a disk file.
  LARGE_INTEGER length{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
    CloseHandle(file);
    return -1;
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return reinterpret_cast<std::intptr_t>(file);
}

std::int64_t Read(std::intptr_t file, char* buffer, std::size_t size) {
  DWORD n = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, static_cast<DWORD>(size), &n, nullptr))
    return -1;
  return n;
}

void Close(std::intptr_t file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

}  // namespace DiskFile
