// A program run as a child process, the way a user runs it: its arguments passed as they are (no
// shell in between), its standard input a pipe the test writes into, its standard output and
// error files the test reads. The one piece of the tests that differs by platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ChildProcess {
 public:
  // Starts program with args in cwd (the current folder when empty); why() tells what went wrong
  // when it could not start. Terminate reaches it only when started stoppable: on Windows that
  // gives it a console of its own, which may outlive it for a moment and hold its folder.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& out_path, const std::string& err_path,
               const std::string& cwd = "", bool stoppable = false);
  // A child still running is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return started_; }
  const std::string& why() const { return why_; }

  // Writes to its standard input; false once it no longer reads.
  bool Write(std::string_view bytes);
  void CloseInput();
  // Its exit status once it has ended (128 plus the signal when a signal ended it), or nothing
  // when it still runs after timeout.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  void Kill();
  // Asks it to shut down as a service manager would: SIGTERM, or on Windows the console's break.
  void Terminate();
  // The most memory it has held resident so far, in bytes; nothing where that cannot be told.
  std::optional<std::uint64_t> PeakMemory() const;

 private:
  bool started_ = false;
  std::string why_;
  std::intptr_t process_ = -1;  // the pid, or the process handle
  std::intptr_t input_ = -1;    // the pipe's end we write into
  std::optional<int> status_;

  // Lets go of what the platform still holds of the process once it has ended.
  void Release();
};

// The exit status of a program run to its end with input on its standard input; -1 when it could
// not start or did not end within the timeout (then it is killed).
int RunToEnd(const std::string& program, const std::vector<std::string>& args,
             const std::string& input, const std::string& out_path, const std::string& err_path,
             const std::string& cwd = "",
             std::chrono::milliseconds timeout = std::chrono::seconds(120));
