#include "notes/library_search.h"

#include <windows.h>

#include <string>

void PutFirstInPath(const wchar_t* directory) {
  if (directory[0] == L'\0') return;
  try {
    std::wstring path = directory;
    if (path.find(L';') != std::wstring::npos) path = L"\"" + path + L"\"";
    DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (length > 0) {
      std::wstring old(length, L'\0');
      length = GetEnvironmentVariableW(L"PATH", &old[0], length);
      if (length == 0 || length >= old.size()) return;
      old.resize(length);
      path += L";" + old;
    }
    SetEnvironmentVariableW(L"PATH", path.c_str());
  } catch (...) {
    // Without memory for it, the library is left to find its directory as
    // before.
  }
}
