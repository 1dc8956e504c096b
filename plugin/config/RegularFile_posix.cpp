#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "plugin/config/RegularFile.h"

namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit, std::string& bytes,
                         std::uint64_t& size) {
  // Opening a pipe for reading waits for a writer unless it is opened without blocking; for a
  // regular file the flag changes nothing.
  const Descriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) return FileRead::NotAFile;
  struct stat status {};
  if (fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) return FileRead::NotAFile;
  size = static_cast<std::uint64_t>(status.st_size);
  if (size > limit) return FileRead::TooLarge;

  // The file may grow while it is read; never read past the limit.
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(size));
  char block[1 << 16];
  for (;;) {
    const ssize_t n = read(file.fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
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
