// The call log: events appended to the file that NNOTES_SIM_LOG names.

#include <cstdarg>
#include <cstdio>

#include "sim.h"

namespace sim {

void LogLine(const std::string& line) {
  wchar_t path[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableW(L"NNOTES_SIM_LOG", path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void LogFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return;
  LogLine(std::string(buffer, length < static_cast<int>(sizeof buffer) ? length
                                                                        : sizeof buffer - 1));
}

}  // namespace sim
