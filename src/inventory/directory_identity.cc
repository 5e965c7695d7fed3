#include "inventory/directory_identity.h"

#include <string>

#include "base/open_on_disk.h"

HANDLE OpenFolder(const std::wstring& prefix) {
  // "directory\" names the folder that "directory\*.*" searches: the empty
  // text is the current drive's root, "D:" the root of drive D.
  return OpenOnDisk(prefix.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_FLAG_BACKUP_SEMANTICS);
}

bool IdentityOf(HANDLE handle, DirectoryIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return false;
  identity->volume = information.dwVolumeSerialNumber;
  identity->file = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                   information.nFileIndexLow;
  // A file system without file IDs gives 0 or all ones: no identity to go by.
  return IsFileId(identity->file);
}

bool TakeDirectoryIdentity(const wchar_t* directory, DirectoryIdentity* identity) {
  HANDLE handle;
  try {
    handle = OpenFolder(std::wstring(directory) + L'\\');
  } catch (...) {
    return false;
  }
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool taken = IdentityOf(handle, identity);
  CloseHandle(handle);
  return taken;
}
