#include "inventory/file_system.h"

namespace {

const FileSystemSeam kSystem = {GetFileInformationByHandleEx, FindFirstFileW, FindNextFileW,
                                FindClose, GetDriveTypeW};
const FileSystemSeam* g_fileSystem = &kSystem;

}  // namespace

const FileSystemSeam& FileSystem() { return *g_fileSystem; }

void SetFileSystemSeam(const FileSystemSeam* seam) {
  g_fileSystem = seam != nullptr ? seam : &kSystem;
}
