#include "base/full_path.h"

#include <windows.h>

bool GetFullPath(const std::wstring& path, std::wstring* full) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  std::wstring result(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, &result[0], nullptr);
  if (size == 0 || size >= result.size()) return false;
  result.resize(size);
  full->swap(result);
  return true;
}
