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
#include <utility>
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

// Where a run keeps its input and output: a fresh base name for ".in", ".out" and ".err".
inline std::string RunFiles() {
  static int serial = 0;
  return (std::filesystem::temp_directory_path() /
          ("nestkeep-run-" + std::to_string(getpid()) + "-" + std::to_string(++serial)))
      .string();
}

// The shell command that runs a program of the build with the given options.
inline std::string ProgramCommand(const std::string& program,
                                  const std::vector<std::string>& options) {
  std::string command = Quote(BinDir() + "/" + program);
  for (const std::string& option : options) command += " " + Quote(option);
  return command;
}

inline SandboxRun Collect(int raw, const std::string& base) {
  SandboxRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = ReadLines(base + ".out");
  run.err = ReadLines(base + ".err");
  for (const char* ext : {".in", ".out", ".err"}) std::filesystem::remove(base + ext);
  return run;
}

// Runs a program of the build with the given options, feeding it input on standard input, in the
// given working directory (the current one when empty).
inline SandboxRun RunProgram(const std::string& program, const std::vector<std::string>& options,
                             const std::string& input, const std::string& cwd = "") {
  const std::string base = RunFiles();
  std::ofstream(base + ".in", std::ios::binary) << input;
  std::string command = cwd.empty() ? "" : "cd " + Quote(cwd) + " && ";
  command += ProgramCommand(program, options) + " <" + Quote(base + ".in") + " >" +
             Quote(base + ".out") + " 2>" + Quote(base + ".err");
  return Collect(std::system(command.c_str()), base);
}

inline SandboxRun RunSandbox(const std::vector<std::string>& options, const std::string& input) {
  return RunProgram("nestkeep-sandbox", options, input);
}

// A sandbox typed at line by line, for a session that changes files between its lines.
class LiveSandbox {
 public:
  explicit LiveSandbox(const std::vector<std::string>& options) : base_(RunFiles()) {
    const std::string command = ProgramCommand("nestkeep-sandbox", options) + " >" +
                                Quote(base_ + ".out") + " 2>" + Quote(base_ + ".err");
    input_ = popen(command.c_str(), "w");
  }
  ~LiveSandbox() {
    if (input_) Finish();
  }

  // Types lines and waits until standard output holds at least lines_out lines in all.
  bool Type(const std::string& lines, std::size_t lines_out) {
    std::fputs(lines.c_str(), input_);
    std::fflush(input_);
    for (int i = 0; i < 500; ++i) {
      if (ReadLines(base_ + ".out").size() >= lines_out) return true;
      usleep(10000);
    }
    return false;
  }

  SandboxRun Finish() {
    const int raw = pclose(std::exchange(input_, nullptr));
    return Collect(raw, base_);
  }

 private:
  std::string base_;
  std::FILE* input_ = nullptr;
};
