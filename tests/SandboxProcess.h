// Runs the project's real programs (the sandbox, the checker) as a user would, for tests of what a
// user sees.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/Scratch.h"

struct SandboxRun {
  int status = -1;               // exit status
  std::vector<std::string> out;  // standard output, a line each
  std::vector<std::string> err;  // standard error, a line each
};

// Lines as one text, each ending in a line feed, for text looked for across lines.
inline std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A path as the programs show it: with the platform's own separator.
inline std::string Shown(std::string path) {
  std::replace(path.begin(), path.end(), '/',
               static_cast<char>(std::filesystem::path::preferred_separator));
  return path;
}

// Where the build put the programs, and where the sources are; the environment may say otherwise.
inline std::string BinDir() {
  const char* dir = std::getenv("NESTKEEP_BIN_DIR");
  return dir ? dir : NESTKEEP_BIN_DIR;
}

inline std::string SourceDir() {
  const char* dir = std::getenv("NESTKEEP_SOURCE_DIR");
  return dir ? dir : NESTKEEP_SOURCE_DIR;
}

// A program of the build by its name: nestkeep-sandbox, nestkeep-check.
inline std::string ProgramPath(const std::string& program) {
  return BinDir() + "/" + program + NESTKEEP_EXE_SUFFIX;
}

// Where a run keeps its output: a fresh base name for ".out" and ".err".
inline std::string RunFiles() { return ScratchPath("run").string(); }

inline SandboxRun Collect(int status, const std::string& base) {
  SandboxRun run;
  run.status = status;
  run.out = ReadLines(base + ".out");
  run.err = ReadLines(base + ".err");
  for (const char* ext : {".out", ".err"}) std::filesystem::remove(base + ext);
  return run;
}

// Runs a program of the build with the given options, feeding it input on standard input, in the
// given working directory (the current one when empty).
inline SandboxRun RunProgram(const std::string& program, const std::vector<std::string>& options,
                             const std::string& input, const std::string& cwd = "") {
  const std::string base = RunFiles();
  const int status =
      RunToEnd(ProgramPath(program), options, input, base + ".out", base + ".err", cwd);
  return Collect(status, base);
}

inline SandboxRun RunSandbox(const std::vector<std::string>& options, const std::string& input) {
  return RunProgram("nestkeep-sandbox", options, input);
}

// A sandbox typed at line by line, for a session that changes files between its lines.
class LiveSandbox {
 public:
  explicit LiveSandbox(const std::vector<std::string>& options)
      : base_(RunFiles()),
        child_(std::make_unique<ChildProcess>(ProgramPath("nestkeep-sandbox"), options,
                                              base_ + ".out", base_ + ".err", "", true)) {}

  // Types lines and waits until standard output holds at least lines_out lines in all. The deadline
  // is generous: a sanitized build on a busy machine reads a large bad file slowly.
  bool Type(const std::string& lines, std::size_t lines_out) {
    Write(lines);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadLines(base_ + ".out").size() < lines_out) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  // Writes to its standard input, waiting while it does not read; false once it no longer reads.
  bool Write(std::string_view bytes) { return child_->Write(bytes); }
  std::vector<std::string> Out() const { return ReadLines(base_ + ".out"); }
  std::optional<std::uint64_t> PeakMemory() const { return child_->PeakMemory(); }

  // Stops it as a service manager would, and gives how long it took to end. Writing to it may go
  // on meanwhile, and fails once it has ended.
  SandboxRun Terminate(std::chrono::duration<double>& took) {
    const auto start = std::chrono::steady_clock::now();
    child_->Terminate();
    const int status = child_->Wait(std::chrono::seconds(60)).value_or(-1);
    took = std::chrono::steady_clock::now() - start;
    return Collect(status, base_);
  }

  SandboxRun Finish() {
    child_->CloseInput();
    const int status = child_->Wait(std::chrono::seconds(60)).value_or(-1);
    child_.reset();
    return Collect(status, base_);
  }

 private:
  std::string base_;
  std::unique_ptr<ChildProcess> child_;
};
