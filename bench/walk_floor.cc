// The inventory floor: a bare recursive FindFirstFileW loop that visits the
// entries the tool's walk visits (the same depth limit, link files read and
// followed, the web folder left out) and writes each database's path in
// UTF-8 as it finds it, as the tool lists it: indented, ended by CR LF, in
// binary mode.
//
//   walk_floor.exe DATA_DIR

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
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
    if (length <= 4) continue;
    const wchar_t* extension = name + length - 4;
    if (wcscmp(extension, L".dir") == 0) {
      Follow(depth, directory + L"\\" + name);
    } else if (wcscmp(extension, L".nsf") == 0 || wcscmp(extension, L".box") == 0) {
      std::wstring path = directory + L"\\" + name;
      char line[4 * 520 + 4];
      line[0] = line[1] = ' ';
      int bytes = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()),
                                      line + 2, sizeof(line) - 4, nullptr, nullptr);
      char* end = line + 2 + (bytes > 0 ? bytes : 0);
      memcpy(end, "\r\n", 2);
      fwrite(line, 1, static_cast<size_t>(end + 2 - line), stdout);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  _setmode(_fileno(stdout), _O_BINARY);
  Walk(1, argv[1]);
  return visited > 0 ? 0 : 1;
}
