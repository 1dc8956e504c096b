#include "plugin/config/RegularFile.h"

namespace {

struct OpenFile {
  std::intptr_t handle;
  ~OpenFile() {
    if (handle != -1) DiskFile::Close(handle);
  }
};

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit, std::string& bytes,
                         std::uint64_t& size) {
  const OpenFile file{DiskFile::Open(path, size)};
  if (file.handle == -1) return FileRead::NotAFile;
  if (size > limit) return FileRead::TooLarge;

  // The file may grow while it is read; never read past the limit.
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(size));
  char block[1 << 16];
  for (;;) {
    const std::int64_t n = DiskFile::Read(file.handle, block, sizeof block);
    if (n < 0) return FileRead::NotAFile;
    if (n == 0) break;
    bytes.append(block, static_cast<std::size_t>(n));
    if (bytes.size() > limit) {
      size = bytes.size();
      return FileRead::TooLarge;
    }
  }
  size = bytes.size();
  return FileRead::Read;
}
