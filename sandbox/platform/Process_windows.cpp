#include <windows.h>

#include <string>

#include "sandbox/platform/Process.h"

namespace Platform {
namespace {

std::function<void(const char*)>& ShutdownRequest() {
  static std::function<void(const char*)> request;
  return request;
}

// Windows calls this on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      ShutdownRequest()("Ctrl-C");
      return TRUE;
    case CTRL_BREAK_EVENT:
      ShutdownRequest()("Ctrl-Break");
      return TRUE;
    case CTRL_CLOSE_EVENT:
      // The process ends when this returns; the sandbox ends it itself once it has shut down.
      ShutdownRequest()("the console closing");
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
}

// Sockets are not bounded by a descriptor limit on Windows.
void RaiseDescriptorLimit() {}

void OnShutdownRequest(std::function<void(const char* signal)> request) {
  ShutdownRequest() = std::move(request);
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

}  // namespace Platform
