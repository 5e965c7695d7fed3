#include "notes/library_search.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/error_report.h"
#include "base/open_on_disk.h"
#include "base/text.h"

namespace {

// The program directory as UseProgramDirectory gave it: set again as the
// dll directory before each load, and named in the message about a library
// that cannot be loaded.
std::wstring g_programDirectory;
// What AddDllDirectory gave for it.
void* g_addedProgramDirectory = nullptr;

FARPROC SystemKernelFunction(const char* name) {
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}
const LibrarySearchSeam kSystem = {SystemKernelFunction, LoadLibraryW};
const LibrarySearchSeam* g_seam = &kSystem;

constexpr uint16_t kMachineX86 = 0x014C;
// Every linker puts the PE headers within the first page of the file.
constexpr DWORD kHeaderBytes = 4096;

// Looked up at run time: the program must start where they are missing.
template <typename Function>
bool ResolveKernel32Function(const char* name, Function& function) {
  FARPROC address = g_seam->kernelFunction(name);
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}

uint32_t ReadLittleEndian(const unsigned char* bytes, size_t count) {
  uint32_t value = 0;
  for (size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

// Reads the start of the program directory's nnotes.dll; false when there
// is no such file on a disk to read. A disk file gives all it holds up to
// the size asked in one read.
bool ReadLibraryHeaders(const std::wstring& path, unsigned char* bytes, DWORD* size) {
  HANDLE file = OpenOnDisk(path.c_str(), GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool read = ReadFile(file, bytes, kHeaderBytes, size, nullptr) != 0;
  CloseHandle(file);
  return read;
}

// A 64-bit process cannot load a 32-bit library: the load fails as for a
// file that is no library at all, so the headers tell the administrator.
void ReportThirtyTwoBitLibrary() {
  if (g_programDirectory.empty()) return;
  try {
    std::wstring path = g_programDirectory;
    if (path.back() != L'\\') path += L'\\';
    path += L"nnotes.dll";
    unsigned char bytes[kHeaderBytes];
    memset(bytes, 0, sizeof(bytes));
    DWORD size = 0;
    if (!ReadLibraryHeaders(path, bytes, &size) || !IsX86Image(bytes, size)) return;
    std::string printable;
    AppendUtf8(path.data(), path.size(), printable);
    BlankLineBreaks(printable);
    ReportError("Error: the server library is 32-bit (%s); this Brevon.exe is 64-bit.\n",
                printable.c_str());
  } catch (...) {
    // Without memory for the path the load failure stands alone.
  }
}

}  // namespace

bool RestrictLibrarySearch() {
  BOOL(WINAPI * setDefault)(DWORD) = nullptr;
  return ResolveKernel32Function("SetDefaultDllDirectories", setDefault) &&
         setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS) != 0;
}

bool UseProgramDirectory(const std::wstring& directory) {
  // One program directory at a time: the one added before goes.
  BOOL(WINAPI * remove)(void*) = nullptr;
  if (g_addedProgramDirectory != nullptr &&
      ResolveKernel32Function("RemoveDllDirectory", remove)) {
    remove(g_addedProgramDirectory);
  }
  g_addedProgramDirectory = nullptr;
  g_programDirectory = directory;
  bool set = SetDllDirectoryW(directory.c_str()) != 0;
  if (!directory.empty()) {
    void*(WINAPI * add)(const wchar_t*) = nullptr;
    if (ResolveKernel32Function("AddDllDirectory", add)) {
      g_addedProgramDirectory = add(directory.c_str());
    }
  }
  PutFirstInPath(directory.c_str());
  return set;
}

HMODULE LoadServerLibrary() {
  if (!RestrictLibrarySearch()) {
    ReportError("Error: unable to restrict where libraries are loaded from.\n");
    return nullptr;
  }
  SetDllDirectoryW(g_programDirectory.c_str());
  HMODULE library = g_seam->loadLibrary(L"nnotes.dll");
  if (library == nullptr) {
    ReportError("Error: unable to load dll (nnotes.dll).\n");
    ReportThirtyTwoBitLibrary();
  }
  return library;
}

void SetLibrarySearchSeam(const LibrarySearchSeam* seam) {
  g_seam = seam != nullptr ? seam : &kSystem;
}

void PutFirstInPath(const wchar_t* directory) {
  if (directory[0] == L'\0') return;
  try {
    std::wstring path = directory;
    if (path.find(L';') != std::wstring::npos) path = L"\"" + path + L"\"";
    DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (length > 0) {
      std::wstring old(length, L'\0');
      length = GetEnvironmentVariableW(L"PATH", &old[0], length);
      if (length >= old.size()) return;
      // An empty PATH gives 0 here: it becomes the directory alone.
      if (length > 0) path += L";" + old.substr(0, length);
    }
    SetEnvironmentVariableW(L"PATH", path.c_str());
  } catch (...) {
    // Without memory for it, the library is left to find its directory as
    // before.
  }
}

bool IsX86Image(const unsigned char* bytes, size_t size) {
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  uint32_t peHeader = ReadLittleEndian(bytes + 0x3C, 4);
  if (peHeader > size || size - peHeader < 6) return false;
  const unsigned char* pe = bytes + peHeader;
  if (memcmp(pe, "PE\0\0", 4) != 0) return false;
  return ReadLittleEndian(pe + 4, 2) == kMachineX86;
}
