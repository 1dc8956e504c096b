#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <system_error>
#include <thread>

#include "sandbox/platform/Process.h"

namespace Platform {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

void OnShutdownRequest(std::function<void(const char* signal)> request) {
  // Blocked here, before other threads exist, the signals stay blocked in every thread and wait
  // for sigwait: no handler runs in the middle of whatever a thread was doing.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // Never joined: it waits for signals as long as the process lives.
  std::thread([signals, request = std::move(request)] {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0) continue;
      request(signal == SIGINT ? "SIGINT" : "SIGTERM");
    }
  }).detach();
}

}  // namespace Platform
