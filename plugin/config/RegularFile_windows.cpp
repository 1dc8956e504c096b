#include <windows.h>

#include <filesystem>

#include "plugin/config/RegularFile.h"

namespace {

struct Handle {
  HANDLE handle;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit, std::string& bytes,
                         std::uint64_t& size) {
  // The path is UTF-8 text; forward slashes serve as separators. Others may go on writing or
  // replacing the file while it is read, as on any other platform.
  const std::wstring wide =
      std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
  const Handle file{CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  // A directory does not open without backup semantics; a pipe or a device is not a disk file.
  if (file.handle == INVALID_HANDLE_VALUE || GetFileType(file.handle) != FILE_TYPE_DISK)
    return FileRead::NotAFile;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file.handle, &length)) return FileRead::NotAFile;
  size = static_cast<std::uint64_t>(length.QuadPart);
  if (size > limit) return FileRead::TooLarge;

  // The file may grow while it is read; never read past the limit.
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(size));
  char block[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.handle, block, sizeof block, &n, nullptr)) return FileRead::NotAFile;
    if (n == 0) break;
    bytes.append(block, n);
    if (bytes.size() > limit) {
      size = bytes.size();
      return FileRead::TooLarge;
    }
  }
  size = bytes.size();
  return FileRead::Read;
}
