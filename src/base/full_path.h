#ifndef BREVON_BASE_FULL_PATH_H_
#define BREVON_BASE_FULL_PATH_H_

#include <string>

/// The full form of `path` against the current directory, of any length
/// (GetFullPathNameW). False when the system cannot give it. May throw
/// std::bad_alloc.
bool GetFullPath(const std::wstring& path, std::wstring* full);

#endif  // BREVON_BASE_FULL_PATH_H_
