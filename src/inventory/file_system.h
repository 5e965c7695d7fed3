#ifndef BREVON_INVENTORY_FILE_SYSTEM_H_
#define BREVON_INVENTORY_FILE_SYSTEM_H_

#include <windows.h>

// The calls through which the inventory opens and lists what lies on disk.
// Tests put their own, to see what is asked for and to make the file system
// refuse what some file systems refuse.
struct FileSystemSeam {
  HANDLE(WINAPI* createFile)
  (LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
   DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* getFileInformationByHandleEx)
  (HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID information, DWORD size);
  HANDLE(WINAPI* findFirstFile)(LPCWSTR pattern, LPWIN32_FIND_DATAW found);
  BOOL(WINAPI* findNextFile)(HANDLE search, LPWIN32_FIND_DATAW found);
  BOOL(WINAPI* findClose)(HANDLE search);
};

/// The calls in use: the system's own unless a test set others.
const FileSystemSeam& FileSystem();

/// Replaces the calls; null puts back the system's own.
void SetFileSystemSeam(const FileSystemSeam* seam);

/// Opens `path` for `access` with `flags`, sharing everything, as a file or
/// folder on a disk only. The paths come from the registry and from link
/// files that anybody may have written: the open asks for identification
/// only, so that the server of a named pipe cannot act as the administrator,
/// and a handle of anything else (a pipe, a device, a console) is closed
/// unused. INVALID_HANDLE_VALUE when it cannot be opened so.
HANDLE OpenOnDisk(const wchar_t* path, DWORD access, DWORD flags);

#endif  // BREVON_INVENTORY_FILE_SYSTEM_H_
