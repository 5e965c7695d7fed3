// The inventory floor: a bare recursive FindFirstFileW loop that visits the
// entries the tool's walk visits (the same depth limit, link files read and
// followed, the web folder left out) and prints nothing.
//
//   walk_floor.exe DATA_DIR

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

bool EndsWith(const std::wstring& path, const wchar_t* ending) {
  size_t length = wcslen(ending);
  return path.size() >= length && _wcsicmp(path.c_str() + path.size() - length, ending) == 0;
}

bool Skipped(const std::wstring& path) {
  return EndsWith(path, L"\\domino\\html") || EndsWith(path, L"\\domino\\icons") ||
         EndsWith(path, L"\\domino\\java") || EndsWith(path, L"\\domino\\js");
}

unsigned long visited = 0;

void Walk(int depth, const std::wstring& directory);

void Follow(int depth, const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[260];
  DWORD length = 0;
  ReadFile(file, text, sizeof(text), &length, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;
  wchar_t target[260];
  int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), target, 259);
  target[units > 0 ? units : 0] = L'\0';
  Walk(depth + 1, target);
  CloseHandle(file);
}

void Walk(int depth, const std::wstring& directory) {
  if (depth > 6) return;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((directory + L"\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    ++visited;
    const wchar_t* name = entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
      std::wstring path = directory + L"\\" + name;
      if (!Skipped(path)) Walk(depth + 1, path);
      continue;
    }
    size_t length = wcslen(name);
    if (length > 4 && wcscmp(name + length - 4, L".dir") == 0)
      Follow(depth, directory + L"\\" + name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  Walk(1, argv[1]);
  return visited > 0 ? 0 : 1;
}
