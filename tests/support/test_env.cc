#include "test_env.h"

#include <windows.h>

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[4096];
  DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
  if (length == 0 || length >= 4096) return std::wstring();
  return std::wstring(buffer, length);
}

std::wstring BinaryDirectory() { return EnvironmentText(L"BREVON_BIN_DIR"); }

std::wstring SimulatorDirectory() { return EnvironmentText(L"BREVON_SIM_DIR"); }

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}
