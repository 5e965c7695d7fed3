#ifndef BREVON_INSTALL_REGISTRY_H_
#define BREVON_INSTALL_REGISTRY_H_

#include <string>

constexpr int kMaxPartitions = 16;
constexpr int kPathChars = 260;  // wide characters in a registry value buffer

/// Data directories of the server's partitions; slot j is partition j+1.
struct PartitionList {
  std::wstring dataDirectories[kMaxPartitions];
};

/// Reads the server's program directory ("Path") and the data directory
/// ("DataPath") of partitions 1 to 16 from the first installation key that
/// opens. `programDirectory` holds kPathChars wide characters and is not
/// cleared here. `count` is incremented once per partition read. Returns true
/// when at least one partition was read.
bool GetServerRegistryData(wchar_t* programDirectory, PartitionList* partitions, int& count);

/// Makes every data directory of the first `count` partitions that is not
/// full ("data", "..\data", "\data", "D:data") full against the current
/// directory. Full are those that start with a drive letter, a colon and a
/// backslash, or with two backslashes: they are left exactly as they stand.
void MakeDataDirectoriesFull(PartitionList* partitions, int count);

/// Makes `directory` (the program directory) full in the same way: a
/// relative one would be taken against the data directory current at each
/// load, and name another folder for every partition.
void MakeProgramDirectoryFull(std::wstring* directory);

#endif  // BREVON_INSTALL_REGISTRY_H_
