#include "tests/support/Process.h"

#include <cstdio>

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
  if (!child.Started()) {
    // Said here, since the status alone cannot tell a program that never ran from one that failed.
    std::fprintf(stderr, "RunToEnd: %s\n", child.why().c_str());
    return -1;
  }
  child.Write(input);
  child.CloseInput();
  const std::optional<int> status = child.Wait(timeout);
  return status.value_or(-1);
}
