#include <sys/stat.h>

#include "tests/support/NonRegularFile.h"

bool MakePipeAt(const std::filesystem::path& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool MakeLinkToEndlessDevice(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_symlink("/dev/zero", path, error);
  return !error;
}
