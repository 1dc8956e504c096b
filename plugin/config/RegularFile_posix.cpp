#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "plugin/config/RegularFile.h"

namespace DiskFile {

std::intptr_t Open(const std::string& path, std::uint64_t& size) {
  // Opening a pipe for reading waits for a writer unless it is opened without blocking; for a
  // regular file the flag changes nothing.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return fd;
}

std::int64_t Read(std::intptr_t file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(static_cast<int>(file), buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

void Close(std::intptr_t file) { close(static_cast<int>(file)); }

}  // namespace DiskFile
