#include "inventory/file_system.h"

namespace {

const FileSystemSeam kSystem = {CreateFileW, GetFileInformationByHandleEx, FindFirstFileW,
                                FindNextFileW, FindClose};
const FileSystemSeam* g_fileSystem = &kSystem;

}  // namespace

const FileSystemSeam& FileSystem() { return *g_fileSystem; }

void SetFileSystemSeam(const FileSystemSeam* seam) {
  g_fileSystem = seam != nullptr ? seam : &kSystem;
}

HANDLE OpenOnDisk(const wchar_t* path, DWORD access, DWORD flags) {
  HANDLE handle = g_fileSystem->createFile(
      path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      flags | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}
