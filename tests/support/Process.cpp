#include "tests/support/Process.h"

ChildProcess::~ChildProcess() {
  CloseInput();
  if (started_ && !status_) {
    Kill();
    Wait(std::chrono::seconds(10));
  }
  Release();
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args,
             const std::string& input, const std::string& out_path, const std::string& err_path,
             const std::string& cwd, std::chrono::milliseconds timeout) {
  ChildProcess child(program, args, out_path, err_path, cwd);
  if (!child.Started()) return -1;
  child.Write(input);
  child.CloseInput();
  const std::optional<int> status = child.Wait(timeout);
  return status.value_or(-1);
}
