#ifndef BREVON_INVENTORY_FILE_SYSTEM_H_
#define BREVON_INVENTORY_FILE_SYSTEM_H_

#include <windows.h>

// The calls through which the inventory lists what lies on disk (it opens
// through OpenOnDisk, base/open_on_disk.h). Tests put their own, to see
// what is asked for and to make the file system refuse what some file
// systems refuse.
struct FileSystemSeam {
  BOOL(WINAPI* getFileInformationByHandleEx)
  (HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID information, DWORD size);
  HANDLE(WINAPI* findFirstFile)(LPCWSTR pattern, LPWIN32_FIND_DATAW found);
  BOOL(WINAPI* findNextFile)(HANDLE search, LPWIN32_FIND_DATAW found);
  BOOL(WINAPI* findClose)(HANDLE search);
  UINT(WINAPI* getDriveType)(LPCWSTR root);
};

/// The calls in use: the system's own unless a test set others.
const FileSystemSeam& FileSystem();

/// Replaces the calls; null puts back the system's own.
void SetFileSystemSeam(const FileSystemSeam* seam);

#endif  // BREVON_INVENTORY_FILE_SYSTEM_H_
