#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/support/Process.h"

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& out_path, const std::string& err_path,
                           const std::string& cwd, bool /*stoppable: any child is*/) {
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    why_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  // A child that stops reading must not end the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  std::vector<const char*> argv{program.c_str()};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0 || err < 0 || dup2(in[0], STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
        dup2(err, STDERR_FILENO) < 0 || (!cwd.empty() && chdir(cwd.c_str()) != 0))
      _exit(127);
    signal(SIGPIPE, SIG_DFL);
    execv(program.c_str(), const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(in[0]);
  if (pid < 0) {
    close(in[1]);
    why_ = std::string("fork: ") + std::strerror(errno);
    return;
  }
  process_ = pid;
  input_ = in[1];
  started_ = true;
}

// A reaped child leaves nothing behind to let go of.
void ChildProcess::Release() {}

bool ChildProcess::Write(std::string_view bytes) {
  while (!bytes.empty() && input_ >= 0) {
    const ssize_t n = write(static_cast<int>(input_), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return bytes.empty();
}

void ChildProcess::CloseInput() {
  if (input_ >= 0) close(static_cast<int>(input_));
  input_ = -1;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (status_ || !started_) return status_;
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int raw = 0;
    const pid_t done = waitpid(static_cast<pid_t>(process_), &raw, WNOHANG);
    if (done == static_cast<pid_t>(process_)) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= until) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ChildProcess::Kill() {
  if (started_ && !status_) kill(static_cast<pid_t>(process_), SIGKILL);
}

void ChildProcess::Terminate() {
  if (started_ && !status_) kill(static_cast<pid_t>(process_), SIGTERM);
}

std::optional<std::uint64_t> ChildProcess::PeakMemory() const {
  std::ifstream status("/proc/" + std::to_string(process_) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  return std::nullopt;
}
