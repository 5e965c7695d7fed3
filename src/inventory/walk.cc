#include "inventory/walk.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "base/full_path.h"
#include "base/open_on_disk.h"
#include "base/progress.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "inventory/directory_identity.h"
#include "inventory/file_system.h"

namespace {

// The longest path Windows takes, in UTF-16 units: a link whose first line is
// longer names nothing. In an ANSI code page a unit takes at most three
// bytes (UTF-8, where that is the ANSI code page).
constexpr size_t kLongestPath = 32767;
constexpr size_t kLongestLinkLine = 3 * kLongestPath;
constexpr DWORD kLinkReadBytes = 4096;
// Room for a few hundred entries per call of the directory listing.
constexpr DWORD kListingBytes = 64 * 1024;

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

bool IsDotOrDotDot(const wchar_t* name, size_t length) {
  return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

// Closes a handle of the system when it goes out of scope.
struct ScopedHandle {
  HANDLE handle;
  ~ScopedHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

// A file counts by the last four characters of its name, compared exactly.
enum class FileKind { kOther, kLink, kDatabase };

FileKind KindOfFile(const wchar_t* name, size_t length) {
  if (length <= 4) return FileKind::kOther;
  const wchar_t* extension = name + length - 4;
  if (wmemcmp(extension, L".dir", 4) == 0) return FileKind::kLink;
  if (wmemcmp(extension, L".nsf", 4) == 0 || wmemcmp(extension, L".box", 4) == 0) {
    return FileKind::kDatabase;
  }
  return FileKind::kOther;
}

// What is done with a directory met during the walk.
enum class Visit {
  kPassOver,      // entered before at the same or a smaller depth
  kSearchAll,     // entered for the first time, or of unknown identity
  kSearchNested,  // entered before, deeper: its own databases are listed already
};

struct DirectoryIdentityHash {
  size_t operator()(const DirectoryIdentity& identity) const {
    return std::hash<uint64_t>()(identity.file ^ (static_cast<uint64_t>(identity.volume) << 32));
  }
};

// One walk from a data directory: where its lines go, and every directory
// entered with the smallest depth it was entered at. Without this, links
// that lead back into the tree would list it again for every way round.
struct Walk {
  ListingLines& lines;
  std::unordered_map<DirectoryIdentity, uint16_t, DirectoryIdentityHash> entered;
  // A listing buffer per depth, taken when first needed.
  std::unique_ptr<char[]> buffers[kMaxWalkDepth + 1];
  // For the progress line.
  uint32_t folders = 0;
  uint32_t databases = 0;
  bool stopped = false;  // a look found a stop asked
};

// Looks whether a stop was asked; once one was, the walk only returns.
bool Stopped(Walk& walk) {
  if (!walk.stopped && StopRequested()) walk.stopped = true;
  return walk.stopped;
}

Visit Enter(Walk& walk, const DirectoryIdentity& identity, uint16_t depth) {
  try {
    auto entered = walk.entered.emplace(identity, depth);
    if (entered.second) return Visit::kSearchAll;
    if (entered.first->second <= depth) return Visit::kPassOver;
    entered.first->second = depth;
    return Visit::kSearchNested;
  } catch (...) {
    // No memory to remember it: searched as if unknown; the depth limit
    // still bounds it.
    return Visit::kSearchAll;
  }
}

void WalkFolder(Walk& walk, uint16_t depth, std::wstring prefix,
                const DirectoryIdentity* entryIdentity);

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Databases on network shares are no layout of the server, and nothing of
// its data lies behind a device path: a link that names another machine
// (whose share would sign the administrator in) or a device, a pipe among
// them, is passed over. Those are the paths that start with two separators
// (Windows takes / for \) or with \??\, unless \\?\ or \??\ is followed by
// a drive letter and a colon; and the paths on a drive letter that is
// mapped to a share. Such a letter belongs to the administrator's logon
// session: the server, a service, cannot even see it.
bool IsLocalPath(const wchar_t* path) {
  bool doubleSeparator = IsSeparator(path[0]) && IsSeparator(path[1]);
  bool objectNamespace = wcsncmp(path, L"\\??\\", 4) == 0;
  const wchar_t* drive = path;
  if (doubleSeparator || objectNamespace) {
    bool verbatim = objectNamespace || (path[2] == L'?' && IsSeparator(path[3]));
    if (!verbatim) return false;
    drive = path + 4;
  }
  if (!IsAsciiLetter(drive[0]) || drive[1] != L':') return drive == path;
  const wchar_t root[] = {drive[0], L':', L'\\', L'\0'};
  return FileSystem().getDriveType(root) != DRIVE_REMOTE;
}

// The path by which the link file `name` in the folder `prefix` opens as
// that file: full, and with the \\?\ prefix, which takes the name as it
// stands, so that names such as aux.dir or com1.dir never open a device.
std::wstring LinkFilePath(const std::wstring& prefix, const wchar_t* name, size_t length) {
  std::wstring full;
  if (!GetFullPath(prefix, &full)) return std::wstring();
  std::wstring path;
  if (full.compare(0, 4, L"\\\\?\\") == 0) {
    path = full;
  } else if (full.compare(0, 4, L"\\\\.\\") == 0) {
    path = L"\\\\?\\" + full.substr(4);
  } else if (full.compare(0, 2, L"\\\\") == 0) {
    path = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    path = L"\\\\?\\" + full;
  }
  if (path.back() != L'\\') path.push_back(L'\\');
  path.append(name, length);
  return path;
}

// Reads the folder that a link file names: its first line. The server's
// administration writes the names of the persons and groups allowed to use
// the link on the lines after it, so the file may be of any size: it is
// read in pieces, and only as far as the first line is known to name the
// folder. A file that ends in one line break (CR, LF, or two of them in any
// mix) names its text without it; line breaks with no name after them stay
// part of the path, which then names nothing. A zero byte ends the text.
// False when the text names nothing, the first line is longer than any
// path, the file cannot be read or a stop was asked.
bool ReadLinkedPath(Walk& walk, HANDLE file, std::string* line) {
  char piece[kLinkReadBytes];
  size_t lineBreaks = 0;  // after the first line, so far
  for (;;) {
    if (Stopped(walk)) return false;
    DWORD got = 0;
    if (!ReadFile(file, piece, sizeof(piece), &got, nullptr)) return false;
    if (got == 0) return lineBreaks <= 2;
    for (DWORD i = 0; i < got; ++i) {
      const char c = piece[i];
      if (IsLineBreak(c)) {
        ++lineBreaks;
      } else if (lineBreaks > 0) {
        // A name of the access list follows, or the text ends with the line
        // breaks in the path.
        return c != '\0';
      } else if (c == '\0') {
        return true;
      } else if (line->size() == kLongestLinkLine) {
        return false;
      } else {
        line->push_back(c);
      }
    }
  }
}

// Walks the directory named in the link file `name` of the folder `prefix`,
// keeping the file open meanwhile. An empty first line names nothing.
void FollowLink(Walk& walk, uint16_t depth, const std::wstring& prefix, const wchar_t* name,
                size_t length) {
  std::wstring path = LinkFilePath(prefix, name, length);
  if (path.empty()) return;
  // Whatever else opens by that name is not read: a device could block the
  // walk.
  ScopedHandle file{OpenOnDisk(path.c_str(), GENERIC_READ, FILE_ATTRIBUTE_NORMAL)};
  if (file.handle == INVALID_HANDLE_VALUE) return;

  std::string line;
  if (!ReadLinkedPath(walk, file.handle, &line) || line.empty()) return;
  const int bytes = static_cast<int>(line.size());
  int units = MultiByteToWideChar(CP_ACP, 0, line.data(), bytes, nullptr, 0);
  if (units <= 0 || static_cast<size_t>(units) > kLongestPath) return;
  std::wstring target(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, line.data(), bytes, &target[0], units);
  if (!IsLocalPath(target.c_str())) return;

  WalkFolder(walk, static_cast<uint16_t>(depth + 1), target + L'\\', nullptr);
}

// Adds the line `prefix` + `name` to `databases`; `prefixUtf8` caches the
// prefix's UTF-8 form, empty until the directory's first database. False
// when the line found no memory: it is left out, and the walk goes on.
bool AppendDatabase(const std::wstring& prefix, const wchar_t* name, size_t length,
                    std::string& prefixUtf8, ListingLines& databases) {
  try {
    if (prefixUtf8.empty()) AppendUtf8(prefix.data(), prefix.size(), prefixUtf8);
    std::string& line = databases.StartLine();
    line.append(prefixUtf8);
    AppendUtf8(name, length, line);
    return databases.FinishLine();
  } catch (...) {
    databases.DiscardLine();
    databases.NoteLoss();
    return false;
  }
}

// One directory's search: where it is and what it collects.
struct Folder {
  uint16_t depth;
  Visit visit;
  const DirectoryIdentity* identity;  // null when unknown
  std::wstring prefix;                // the directory's path and a backslash
  ListingLines databases;             // its own, kept until the nested walks are done
  std::string prefixUtf8;
};

// One entry of a directory's listing, whichever way it was listed.
struct Entry {
  const wchar_t* name;  // not terminated
  size_t length;
  DWORD attributes;
  uint64_t file;  // the file ID, 0 when the listing gave none
};

void TreatEntry(Walk& walk, Folder& folder, const Entry& entry) {
  const wchar_t* name = entry.name;
  size_t length = entry.length;
  if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (IsDotOrDotDot(name, length)) return;
    std::wstring path = folder.prefix;
    path.append(name, length);
    if (IsSkippedDirectory(path)) return;
    // A junction's or symbolic link's entry carries the link's own ID, not
    // its target's: such a directory is known only once it is open.
    DirectoryIdentity identity;
    bool fromEntry = folder.identity != nullptr &&
                     (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                     IsFileId(entry.file);
    if (fromEntry) identity = {folder.identity->volume, entry.file};
    path.push_back(L'\\');
    WalkFolder(walk, static_cast<uint16_t>(folder.depth + 1), std::move(path),
               fromEntry ? &identity : nullptr);
    return;
  }
  switch (KindOfFile(name, length)) {
    case FileKind::kLink:
      FollowLink(walk, folder.depth, folder.prefix, name, length);
      break;
    case FileKind::kDatabase:
      if (folder.visit == Visit::kSearchAll &&
          AppendDatabase(folder.prefix, name, length, folder.prefixUtf8, folder.databases)) {
        ++walk.databases;
      }
      break;
    case FileKind::kOther:
      break;
  }
}

void TreatEntryOrLeaveItOut(Walk& walk, Folder& folder, const Entry& entry) {
  try {
    TreatEntry(walk, folder, entry);
  } catch (...) {
    // The entry that found no memory is left out; the walk goes on.
    walk.lines.NoteLoss();
  }
}

// Lists the directory by name, as FindFirstFileW does, for a file system
// that cannot list with file IDs: its subdirectories then take their
// identities from their own handles.
void SearchFolderByName(Walk& walk, Folder& folder) {
  std::wstring pattern = folder.prefix + L"*.*";
  WIN32_FIND_DATAW found;
  HANDLE search = FileSystem().findFirstFile(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    Entry entry = {found.cFileName, wcslen(found.cFileName), found.dwFileAttributes, 0};
    TreatEntryOrLeaveItOut(walk, folder, entry);
  } while (!Stopped(walk) && FileSystem().findNextFile(search, &found));
  FileSystem().findClose(search);
}

// Lists the directory open as `handle` entry by entry, in the order of the
// file system, as a search of "directory\*.*" would, and with each entry's
// file ID.
void SearchFolder(Walk& walk, Folder& folder, HANDLE handle) {
  std::unique_ptr<char[]>& buffer = walk.buffers[folder.depth];
  if (!buffer) buffer.reset(new char[kListingBytes]);
  ++walk.folders;
  bool listed = false;
  while (!Stopped(walk) &&
         FileSystem().getFileInformationByHandleEx(handle, FileIdBothDirectoryInfo, buffer.get(),
                                                   kListingBytes)) {
    listed = true;
    // Per batch: a folder of a hundred thousand files still shows time pass.
    AdvanceProgress(walk.folders, walk.databases);
    const char* at = buffer.get();
    for (;;) {
      const FILE_ID_BOTH_DIR_INFO& listing = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      Entry entry = {listing.FileName, listing.FileNameLength / sizeof(wchar_t),
                     listing.FileAttributes, static_cast<uint64_t>(listing.FileId.QuadPart)};
      TreatEntryOrLeaveItOut(walk, folder, entry);
      if (listing.NextEntryOffset == 0) break;
      at += listing.NextEntryOffset;
    }
  }
  if (!listed && !walk.stopped && GetLastError() != ERROR_NO_MORE_FILES) {
    folder.identity = nullptr;
    SearchFolderByName(walk, folder);
  }
}

// Walks the directory whose path and a backslash are `prefix` at `depth`.
// `entryIdentity` is the directory's identity as its parent's listing gave
// it, or null: it is then taken from the open directory.
void WalkFolder(Walk& walk, uint16_t depth, std::wstring prefix,
                const DirectoryIdentity* entryIdentity) {
  if (depth > kMaxWalkDepth || Stopped(walk)) return;
  Visit visit = Visit::kSearchAll;
  if (entryIdentity != nullptr) {
    visit = Enter(walk, *entryIdentity, depth);
    if (visit == Visit::kPassOver) return;
  }
  ScopedHandle handle{OpenFolder(prefix)};
  if (handle.handle == INVALID_HANDLE_VALUE) return;
  DirectoryIdentity identity;
  bool known = entryIdentity != nullptr;
  if (known) {
    identity = *entryIdentity;
  } else if (IdentityOf(handle.handle, &identity)) {
    known = true;
    visit = Enter(walk, identity, depth);
    if (visit == Visit::kPassOver) return;
  }

  Folder folder{depth, visit, known ? &identity : nullptr, std::move(prefix), ListingLines(), {}};
  SearchFolder(walk, folder, handle.handle);
  // After the nested walks: a directory's own databases come last.
  walk.lines.Append(folder.databases);
}

}  // namespace

bool WalkDirectory(uint16_t depth, const wchar_t* directory, ListingLines& lines) {
  if (directory == nullptr) return false;
  Walk walk{lines, {}, {}, 0, 0, false};
  try {
    WalkFolder(walk, depth, std::wstring(directory) + L'\\', nullptr);
  } catch (...) {
    // The directory that found no memory lists nothing.
    lines.NoteLoss();
  }
  return !walk.stopped;
}
