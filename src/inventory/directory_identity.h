#ifndef BREVON_INVENTORY_DIRECTORY_IDENTITY_H_
#define BREVON_INVENTORY_DIRECTORY_IDENTITY_H_

#include <windows.h>

#include <cstdint>
#include <string>

/// What makes a directory itself, whatever path leads to it: a junction, a
/// symbolic link, a link file or another spelling of its path.
struct DirectoryIdentity {
  uint32_t volume;  // the volume's serial number
  uint64_t file;    // the file ID within the volume

  bool operator==(const DirectoryIdentity& other) const {
    return volume == other.volume && file == other.file;
  }
};

/// False for the values that file systems give for "no file ID".
inline bool IsFileId(uint64_t file) { return file != 0 && file != ~uint64_t{0}; }

/// Opens the folder that a search of `prefix` followed by "*.*" lists, for
/// listing; `prefix` is a directory's path and a backslash. Returns the
/// handle, or INVALID_HANDLE_VALUE, also for anything but a folder on a disk
/// (OpenOnDisk, base/open_on_disk.h). Reparse points (junctions, symbolic links) are followed.
HANDLE OpenFolder(const std::wstring& prefix);

/// The identity of the directory open as `handle`. False when the system
/// does not give it.
bool IdentityOf(HANDLE handle, DirectoryIdentity* identity);

/// The identity of `directory`. False when it cannot be opened or the
/// system does not give its identity.
bool TakeDirectoryIdentity(const wchar_t* directory, DirectoryIdentity* identity);

#endif  // BREVON_INVENTORY_DIRECTORY_IDENTITY_H_
