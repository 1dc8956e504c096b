// Folders and files of a test run.
#pragma once

#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/engine/Unicode.h"

// A fresh name under the system's temporary folder, unique to this test run and named for what
// it holds; nothing is made there.
inline std::filesystem::path ScratchPath(std::string_view what) {
  static const std::string run = [] {
    std::random_device random;
    return std::to_string(random()) + std::to_string(random());
  }();
  static int serial = 0;
  return std::filesystem::temp_directory_path() /
         Unicode::Utf8Path("nestkeep-" + std::string(what) + "-" + run + "-" +
                           std::to_string(++serial));
}

// Where the server in folder keeps the module's config, as the module finds it.
inline std::filesystem::path ConfigPath(const std::filesystem::path& server) {
  return Unicode::Utf8Path(ConfigPath(Unicode::PathUtf8(server)));
}

// A fresh server folder under ScratchPath(what), with the module's folder made in it.
inline std::filesystem::path MakeServerFolder(std::string_view what) {
  const std::filesystem::path server = ScratchPath(what);
  std::filesystem::create_directories(ConfigPath(server).parent_path());
  return server;
}

inline void WriteConfig(const std::filesystem::path& server, const std::string& text) {
  std::ofstream(ConfigPath(server), std::ios::binary) << text;
}

// Text's lines, without their line feeds. A carriage return stays: every line of every program
// ends with a line feed alone, on Windows too.
inline std::vector<std::string> SplitLines(std::istream&& in) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A file's bytes; none when it cannot be read.
inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  return SplitLines(std::ifstream(path, std::ios::binary));
}
