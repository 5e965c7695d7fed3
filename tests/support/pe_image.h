#ifndef BREVON_TESTS_SUPPORT_PE_IMAGE_H_
#define BREVON_TESTS_SUPPORT_PE_IMAGE_H_

#include <cstdint>
#include <string>
#include <vector>

// Reads the headers, import and export tables of a PE32+ file straight from
// its bytes, so tests can prove what a built program needs, what a library
// offers and how the loader will treat an image.

/// Names of the DLLs in the import table, as stored. False when the file
/// cannot be read or is no 64-bit PE image.
bool ReadImportedDlls(const std::wstring& path, std::vector<std::string>* dlls);

/// Names in the export table, as stored.
bool ReadExportedNames(const std::wstring& path, std::vector<std::string>* names);

/// What the headers of an image say about how it was linked.
struct ImageHeaders {
  uint32_t timeDateStamp = 0;        // of the COFF file header
  uint16_t dllCharacteristics = 0;   // of the optional header
  uint32_t baseRelocationSize = 0;   // size of the base relocation directory
  /// Section names. A name longer than eight characters is stored as "/NNN",
  /// an offset into the COFF string table; it is given here as found there,
  /// or left as "/NNN" when the image has no string table that holds it.
  std::vector<std::string> sectionNames;
  /// Time stamps of the entries of the debug directory, if there is one.
  std::vector<uint32_t> debugTimeStamps;
};

/// False when the file cannot be read or is no 64-bit PE image.
bool ReadImageHeaders(const std::wstring& path, ImageHeaders* headers);

/// The whole file, for searches through its bytes.
bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>* bytes);

#endif  // BREVON_TESTS_SUPPORT_PE_IMAGE_H_
