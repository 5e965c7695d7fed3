#include "inventory/walk.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "base/text.h"

namespace {

constexpr size_t kLinkBytes = 260;  // a link file's text, read at most
constexpr int kLinkChars = 260;     // the linked directory's path, with its terminator

// The server's web folders hold no databases of ours and can be large.
const wchar_t* const kSkippedEndings[] = {
    L"\\domino\\html",
    L"\\domino\\icons",
    L"\\domino\\java",
    L"\\domino\\js",
};

bool IsSkippedDirectory(const std::wstring& path) {
  for (const wchar_t* ending : kSkippedEndings) {
    size_t length = wcslen(ending);
    if (path.size() >= length &&
        EqualIgnoringAsciiCase(path.data() + path.size() - length, ending, length)) {
      return true;
    }
  }
  return false;
}

bool IsDotOrDotDot(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

bool IsLineBreak(char byte) { return byte == '\r' || byte == '\n'; }

// Walks the directory named in the link file `path`, keeping the file open
// meanwhile. Empty files and files of kLinkBytes or more are not followed:
// a longer text would be cut to some other path.
void FollowLink(uint16_t depth, const std::wstring& path, ListingLines& lines) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return;

  char text[kLinkBytes];
  memset(text, 0, sizeof(text));
  size_t length = fread(text, 1, kLinkBytes, file);
  if (length == 0 || length == kLinkBytes) {
    fclose(file);
    return;
  }
  // One line break, in whatever form an editor left it; at most two bytes.
  if (IsLineBreak(text[length - 1])) {
    text[--length] = '\0';
    if (length >= 1 && IsLineBreak(text[length - 1])) text[--length] = '\0';
  }

  wchar_t target[kLinkChars];
  memset(target, 0, sizeof(target));
  // At most 259 bytes give at most 259 units, so `target` stays terminated;
  // an empty text gives the empty path, a zero byte ends it early.
  MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), target, kLinkChars);

  WalkDirectory(static_cast<uint16_t>(depth + 1), target, lines);
  fclose(file);
}

// A file counts by the last four characters of its name, compared exactly.
enum class FileKind { kOther, kLink, kDatabase };

FileKind KindOfFile(const wchar_t* name) {
  size_t length = wcslen(name);
  if (length <= 4) return FileKind::kOther;
  const wchar_t* extension = name + length - 4;
  if (wmemcmp(extension, L".dir", 4) == 0) return FileKind::kLink;
  if (wmemcmp(extension, L".nsf", 4) == 0 || wmemcmp(extension, L".box", 4) == 0) {
    return FileKind::kDatabase;
  }
  return FileKind::kOther;
}

// Adds the line `prefix` + `name` to `databases`; `prefixUtf8` caches the
// prefix's UTF-8 form, empty until the directory's first database.
void AppendDatabase(const wchar_t* prefix, size_t prefixLength, const wchar_t* name,
                    std::string& prefixUtf8, ListingLines& databases) {
  try {
    if (prefixUtf8.empty()) AppendUtf8(prefix, prefixLength, prefixUtf8);
    std::string& line = databases.StartLine();
    line.append(prefixUtf8);
    AppendUtf8(name, wcslen(name), line);
    databases.FinishLine();
  } catch (...) {
    // The path is left out; the walk goes on.
    databases.DiscardLine();
  }
}

}  // namespace

bool WalkDirectory(uint16_t depth, const wchar_t* directory, ListingLines& lines) {
  if (directory == nullptr) return false;
  if (depth > kMaxWalkDepth) return true;

  std::wstring pattern(directory);
  pattern.append(L"\\*.*");
  WIN32_FIND_DATAW entry;
  memset(&entry, 0, sizeof(entry));
  HANDLE search = FindFirstFileW(pattern.c_str(), &entry);

  // The path of the current entry: the prefix, then the name.
  std::wstring path(directory);
  path.push_back(L'\\');
  const size_t prefixLength = path.size();
  // This directory's databases, kept apart until the nested walks are done.
  // The prefix is converted once: as it ends in a backslash, each name
  // converts on its own.
  ListingLines databases;
  std::string prefixUtf8;

  if (search != INVALID_HANDLE_VALUE) {
    do {
      path.resize(prefixLength);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDotOrDotDot(entry.cFileName)) continue;
        path.append(entry.cFileName);
        if (!IsSkippedDirectory(path)) {
          WalkDirectory(static_cast<uint16_t>(depth + 1), path.c_str(), lines);
        }
        continue;
      }
      switch (KindOfFile(entry.cFileName)) {
        case FileKind::kLink:
          path.append(entry.cFileName);
          FollowLink(depth, path, lines);
          break;
        case FileKind::kDatabase:
          AppendDatabase(path.data(), prefixLength, entry.cFileName, prefixUtf8, databases);
          break;
        case FileKind::kOther:
          break;
      }
    } while (FindNextFileW(search, &entry) != 0);
  }

  // After the nested walks: a directory's own databases come last.
  lines.Append(databases);

  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return true;
}
