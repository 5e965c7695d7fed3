#ifndef BREVON_NOTES_LIBRARY_SEARCH_H_
#define BREVON_NOTES_LIBRARY_SEARCH_H_

#include <windows.h>

#include <cstddef>
#include <string>

// Which nnotes.dll runs, and where it finds its program directory. The tool
// runs as administrator on production servers: a library of that name
// beside Brevon.exe, in the current folder or in a PATH folder must never
// be loaded, nor the libraries that the server library loads by name from
// such places.

/// Restricts every later load of a library named without a path (the
/// server library, what it imports and what it loads later) to the system
/// folder and the directories added for it. False when the system cannot:
/// SetDefaultDllDirectories exists from Windows 8 and Server 2012 on, and on
/// Windows 7 and Server 2008 R2 with update KB2533623.
bool RestrictLibrarySearch();

/// Makes the server's program directory (possibly empty; full, so that it
/// is one folder whatever the current directory) the place where nnotes.dll
/// is found: the dll directory, and once more through AddDllDirectory,
/// which stays whatever the server library does with the dll directory
/// itself. Also puts it first in PATH. False when SetDllDirectoryW fails;
/// the rest is done all the same.
bool UseProgramDirectory(const std::wstring& directory);

/// Loads nnotes.dll by its bare name, after restricting the search and
/// setting the dll directory afresh: the library of an earlier partition
/// may have changed either. On failure prints why, naming a 32-bit library
/// in the program directory as such; returns null.
HMODULE LoadServerLibrary();

/// Puts `directory` in front of the process's own PATH (quoted when it holds
/// a ";"), or makes it the whole PATH when there is none or it is empty. The
/// server library finds its program directory through the folder of
/// argv[0], and failing that through PATH; the tool may be started from any
/// folder. Nothing is changed for an empty `directory`, or when the new
/// value cannot be built.
void PutFirstInPath(const wchar_t* directory);

/// The system calls through which the search is restricted and the library
/// loaded; tests put their own. Null puts back the system's.
struct LibrarySearchSeam {
  FARPROC (*kernelFunction)(const char* name);  // a function of kernel32.dll, or null
  HMODULE(WINAPI* loadLibrary)(LPCWSTR name);
};
void SetLibrarySearchSeam(const LibrarySearchSeam* seam);

/// Stores the address of the function `name` of `library` in `slot`, null
/// included; true when found.
template <typename Function>
bool ResolveFunction(HMODULE library, const char* name, Function& slot) {
  FARPROC address = GetProcAddress(library, name);
  // Through a pointer to a function without parameters, which converts to
  // every function pointer type without a warning.
  slot = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}

/// True when `bytes`, the start of a file, are the headers of a PE image for
/// 32-bit x86.
bool IsX86Image(const unsigned char* bytes, size_t size);

#endif  // BREVON_NOTES_LIBRARY_SEARCH_H_
