#include <windows.h>

#include <cwchar>
#include <filesystem>

#include "plugin/engine/Unicode.h"
#include "sandbox/host/ModuleLoader.h"

namespace {

// Paths are UTF-8 text in the sandbox; the loader takes UTF-16, and wants "\\" between the parts.
std::wstring Wide(const std::string& path) {
  return Unicode::Utf8Path(path).make_preferred().wstring();
}

// The loader's message for the last error, in the system's words, after the path it is about in
// the platform's own form.
std::string LastError(const std::string& path) {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text ? Unicode::Utf16ToUtf8(std::u16string(text, text + std::wcslen(text)))
                             : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return Unicode::ShownPath(path) + ": " + message;
}

}  // namespace

namespace Sandbox {

bool IsOtherThanFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

void* OpenModule(const std::string& path, std::string& why) {
  HMODULE handle = LoadLibraryW(Wide(path).c_str());
  if (!handle) why = LastError(path);
  return reinterpret_cast<void*>(handle);
}

std::string CloseModule(void* handle) {
  if (FreeLibrary(static_cast<HMODULE>(handle))) return std::string();
  return LastError("the module");
}

bool IsMapped(const std::string& path) { return GetModuleHandleW(Wide(path).c_str()) != nullptr; }

bool Exports(const std::string& path, const char* symbol) {
  HMODULE handle = GetModuleHandleW(Wide(path).c_str());
  return handle && GetProcAddress(handle, symbol);
}

}  // namespace Sandbox
