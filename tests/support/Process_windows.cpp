#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <filesystem>

#include "plugin/engine/Unicode.h"
#include "tests/support/Process.h"

namespace {

std::wstring Wide(const std::string& utf8) { return Unicode::Utf8Path(utf8).wstring(); }

// One argument as the C runtime splits a command line again: in quotes when it holds a blank or a
// quote, with backslashes doubled where a quote follows them.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

HANDLE OpenOutput(const std::string& path, SECURITY_ATTRIBUTES* inherit) {
  return CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& out_path, const std::string& err_path,
                           const std::string& cwd, bool stoppable) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    why_ = "cannot make a pipe";
    return;
  }
  SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE out = OpenOutput(out_path, &inherit);
  HANDLE err = OpenOutput(err_path, &inherit);

  std::wstring command_line = Quoted(Wide(program));
  for (const std::string& arg : args) command_line += L" " + Quoted(Wide(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = read_end;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION info{};
  const std::wstring folder = Wide(cwd);
  // A console of its own, without a window, is what Terminate sends its Ctrl-C to.
  const bool ok = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                  CreateProcessW(Wide(program).c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                 stoppable ? CREATE_NO_WINDOW : CREATE_NEW_PROCESS_GROUP, nullptr,
                                 cwd.empty() ? nullptr : folder.c_str(), &startup, &info);
  const DWORD error = ok ? 0 : GetLastError();  // before the closing below overwrites it
  CloseHandle(read_end);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!ok) {
    CloseHandle(write_end);
    why_ = "cannot run " + program + " (error " + std::to_string(error) + ")";
    return;
  }
  CloseHandle(info.hThread);
  process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
  input_ = reinterpret_cast<std::intptr_t>(write_end);
  started_ = true;
}

void ChildProcess::Release() {
  if (started_) CloseHandle(reinterpret_cast<HANDLE>(process_));
}

bool ChildProcess::Write(std::string_view bytes) {
  while (!bytes.empty() && input_ != -1) {
    DWORD n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(input_), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &n, nullptr) ||
        n == 0)
      return false;
    bytes.remove_prefix(n);
  }
  return bytes.empty();
}

void ChildProcess::CloseInput() {
  if (input_ != -1) CloseHandle(reinterpret_cast<HANDLE>(input_));
  input_ = -1;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (status_ || !started_) return status_;
  const HANDLE process = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  status_ = static_cast<int>(code);
  return status_;
}

void ChildProcess::Kill() {
  // The status a killed program has on POSIX, so that tests read alike.
  if (started_ && !status_) TerminateProcess(reinterpret_cast<HANDLE>(process_), 128 + 9);
}

// A console's Ctrl-C reaches the processes attached to that console only, and a child of a process
// without a console (as under a test runner) shares none: so a stoppable child has a console of its
// own, which this process joins just long enough to send the Ctrl-C there. This process takes no
// notice of it through a handler of its own; ignoring Ctrl-C outright would be inherited by every
// later child. Any console of this process's own is left for good; tests write to pipes and files.
void ChildProcess::Terminate() {
  if (!started_ || status_) return;
  static const bool handled =
      SetConsoleCtrlHandler([](DWORD event) -> BOOL { return event == CTRL_C_EVENT; }, TRUE);
  FreeConsole();
  if (!handled || !AttachConsole(GetProcessId(reinterpret_cast<HANDLE>(process_)))) return;
  GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  FreeConsole();
}

std::optional<std::uint64_t> ChildProcess::PeakMemory() const {
  if (!started_ || status_) return std::nullopt;
  PROCESS_MEMORY_COUNTERS counters{};
  if (!K32GetProcessMemoryInfo(reinterpret_cast<HANDLE>(process_), &counters, sizeof counters))
    return std::nullopt;
  return counters.PeakWorkingSetSize;
}
