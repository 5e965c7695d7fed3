#ifndef BREVON_BASE_OPEN_ON_DISK_H_
#define BREVON_BASE_OPEN_ON_DISK_H_

#include <windows.h>

/// Opens `path` for `access` with `flags`, sharing everything, as a file or
/// folder on a disk only. Every path that the tool opens was named by
/// someone else (the registry, a link file that anybody may have written):
/// the open asks for identification only, so that the server of a named
/// pipe cannot act as the administrator, and a handle of anything else (a
/// pipe, a device, a console) is closed unused. INVALID_HANDLE_VALUE when
/// it cannot be opened so.
HANDLE OpenOnDisk(const wchar_t* path, DWORD access, DWORD flags);

/// The system call that opens; tests put their own to see what is asked
/// for. Null puts back the system's.
typedef HANDLE(WINAPI* CreateFileFunction)(LPCWSTR path, DWORD access, DWORD share,
                                           LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                           DWORD flags, HANDLE templateFile);
void SetCreateFileSeam(CreateFileFunction createFile);

#endif  // BREVON_BASE_OPEN_ON_DISK_H_
