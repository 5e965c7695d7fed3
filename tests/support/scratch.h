#ifndef BREVON_TESTS_SUPPORT_SCRATCH_H_
#define BREVON_TESTS_SUPPORT_SCRATCH_H_

#include <string>

// Scratch folders and files for tests that work on the real file system.

/// Writes `bytes` to `path`, replacing the file.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

/// A fresh empty folder, named after `prefix`, under the temporary folder.
std::wstring MakeScratchDirectory(const wchar_t* prefix);

/// Deletes a folder given by its full path and everything in it. Link files
/// are plain files, so nothing outside is touched; names are taken
/// literally, a trailing blank included, and long paths are handled.
void RemoveTree(const std::wstring& folder);

#endif  // BREVON_TESTS_SUPPORT_SCRATCH_H_
