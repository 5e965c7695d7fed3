#ifndef BREVON_TESTS_SUPPORT_PE_IMAGE_H_
#define BREVON_TESTS_SUPPORT_PE_IMAGE_H_

#include <string>
#include <vector>

// Reads the import and export tables of a PE32+ file straight from its bytes,
// so tests can prove what a built program needs and what a library offers.

/// Names of the DLLs in the import table, as stored. False when the file
/// cannot be read or is no 64-bit PE image.
bool ReadImportedDlls(const std::wstring& path, std::vector<std::string>* dlls);

/// Names in the export table, as stored.
bool ReadExportedNames(const std::wstring& path, std::vector<std::string>* names);

#endif  // BREVON_TESTS_SUPPORT_PE_IMAGE_H_
