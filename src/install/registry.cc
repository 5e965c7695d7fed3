#include "install/registry.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "base/error_report.h"
#include "base/full_path.h"
#include "base/text.h"

namespace {

const char* const kInstallationKeys[] = {
    "SOFTWARE\\Lotus\\Domino\\",
    "SOFTWARE\\Wow6432Node\\Lotus\\Domino\\",
    "SOFTWARE\\HCL\\Domino\\",
    "SOFTWARE\\Wow6432Node\\HCL\\Domino\\",
};

bool OpenInstallationKey(HKEY* key) {
  for (const char* path : kInstallationKeys) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &opened) == ERROR_SUCCESS &&
        opened != nullptr) {
      *key = opened;
      return true;
    }
  }
  return false;
}

// Reads a text value into `value` (kPathChars wide characters). The platform
// leaves a buffer undefined when the value does not fit, and a value that
// fills the buffer exactly has no terminator in it: both are treated as a
// missing value, so a path is never cut to a different path. On any failure
// `value` keeps what it held.
void ReadPathValue(HKEY key, const wchar_t* name, wchar_t* value) {
  wchar_t buffer[kPathChars];
  memset(buffer, 0, sizeof(buffer));
  DWORD size = sizeof(buffer);
  LONG result = RegQueryValueExW(key, name, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buffer), &size);
  if (result != ERROR_SUCCESS) return;
  if (wmemchr(buffer, L'\0', kPathChars) == nullptr) return;
  memcpy(value, buffer, sizeof(buffer));
}

// "1\\" to "16\\": decimal digits, no sign or leading zeros, one backslash.
void FormatSubkeyName(int number, wchar_t* name) {
  int length = 0;
  if (number >= 10) name[length++] = static_cast<wchar_t>(L'0' + number / 10);
  name[length++] = static_cast<wchar_t>(L'0' + number % 10);
  name[length++] = L'\\';
  name[length] = L'\0';
}

bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// Leaves a directory that cannot be made full as it stands: the run goes on
// with it rather than with none.
void MakeFull(std::wstring& directory) {
  if (directory.empty() || IsFullPath(directory)) return;
  try {
    std::wstring full;
    if (GetFullPath(directory, &full)) directory.swap(full);
  } catch (...) {
    // Without memory for the full path the directory stays as it stands.
  }
}

}  // namespace

bool GetServerRegistryData(wchar_t* programDirectory, PartitionList* partitions, int& count) {
  if (programDirectory == nullptr || partitions == nullptr) return false;

  HKEY installation = nullptr;
  if (!OpenInstallationKey(&installation)) {
    ReportError("Error: unable to obtain domino dir.\n");
  } else {
    ReadPathValue(installation, L"Path", programDirectory);
    for (int k = 1; k <= kMaxPartitions; ++k) {
      wchar_t subkeyName[8];
      FormatSubkeyName(k, subkeyName);
      HKEY subkey = nullptr;
      if (RegOpenKeyExW(installation, subkeyName, 0, KEY_READ, &subkey) != ERROR_SUCCESS ||
          subkey == nullptr) {
        break;
      }
      wchar_t dataPath[kPathChars];
      memset(dataPath, 0, sizeof(dataPath));
      ReadPathValue(subkey, L"DataPath", dataPath);
      partitions->dataDirectories[k - 1].append(dataPath);
      ++count;
      RegCloseKey(subkey);
    }
    RegCloseKey(installation);
  }

  if (count == 0) {
    ReportError("Error: unable to obtain domino data dir.\n");
    return false;
  }
  return true;
}

// A relative data directory would otherwise be taken against whatever
// directory the previous partition left current.
void MakeDataDirectoriesFull(PartitionList* partitions, int count) {
  for (int k = 0; k < count && k < kMaxPartitions; ++k) MakeFull(partitions->dataDirectories[k]);
}

void MakeProgramDirectoryFull(std::wstring* directory) { MakeFull(*directory); }
