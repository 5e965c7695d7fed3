#include "base/open_on_disk.h"

namespace {
CreateFileFunction g_createFile = CreateFileW;
}  // namespace

HANDLE OpenOnDisk(const wchar_t* path, DWORD access, DWORD flags) {
  HANDLE handle = g_createFile(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING,
                               flags | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

void SetCreateFileSeam(CreateFileFunction createFile) {
  g_createFile = createFile != nullptr ? createFile : CreateFileW;
}
