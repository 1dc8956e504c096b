// Runs the project's real programs (the sandbox, the checker) as a user would, for tests of what a
// user sees.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct SandboxRun {
  int status = -1;                // exit status
  std::vector<std::string> out;   // standard output, a line each
  std::vector<std::string> err;   // standard error, a line each
};

// Where the build put the programs, and where the sources are; the environment may say otherwise.
inline std::string BinDir() {
  const char* dir = std::getenv("NESTKEEP_BIN_DIR");
  return dir ? dir : NESTKEEP_BIN_DIR;
}

inline std::string SourceDir() {
  const char* dir = std::getenv("NESTKEEP_SOURCE_DIR");
  return dir ? dir : NESTKEEP_SOURCE_DIR;
}

inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a program of the build with the given options, feeding it input on standard input, in the
// given working directory (the current one when empty).
inline SandboxRun RunProgram(const std::string& program, const std::vector<std::string>& options,
                             const std::string& input, const std::string& cwd = "") {
  static int serial = 0;
  std::filesystem::path base = std::filesystem::temp_directory_path() /
                               ("nestkeep-run-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
  std::ofstream(base.string() + ".in", std::ios::binary) << input;
  std::string command = cwd.empty() ? "" : "cd " + Quote(cwd) + " && ";
  command += Quote(BinDir() + "/" + program);
  for (const std::string& option : options) command += " " + Quote(option);
  command += " <" + Quote(base.string() + ".in") + " >" + Quote(base.string() + ".out") + " 2>" +
             Quote(base.string() + ".err");
  SandboxRun run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = ReadLines(base.string() + ".out");
  run.err = ReadLines(base.string() + ".err");
  for (const char* ext : {".in", ".out", ".err"}) std::filesystem::remove(base.string() + ext);
  return run;
}

inline SandboxRun RunSandbox(const std::vector<std::string>& options, const std::string& input) {
  return RunProgram("nestkeep-sandbox", options, input);
}
