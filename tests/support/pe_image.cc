#include "pe_image.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Image {
  std::vector<unsigned char> bytes;
  const IMAGE_NT_HEADERS64* headers = nullptr;
  const IMAGE_SECTION_HEADER* sections = nullptr;
  int sectionCount = 0;
};

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>* bytes) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + got);
  }
  fclose(file);
  return true;
}

namespace {

bool LoadImage(const std::wstring& path, Image* image) {
  if (!ReadFileBytes(path, &image->bytes)) return false;
  const std::vector<unsigned char>& b = image->bytes;
  if (b.size() < sizeof(IMAGE_DOS_HEADER)) return false;
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(b.data());
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  if (static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > b.size()) return false;
  image->headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(b.data() + dos->e_lfanew);
  if (image->headers->Signature != IMAGE_NT_SIGNATURE) return false;
  if (image->headers->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return false;
  image->sections = IMAGE_FIRST_SECTION(image->headers);
  image->sectionCount = image->headers->FileHeader.NumberOfSections;
  size_t sectionsEnd = reinterpret_cast<const unsigned char*>(image->sections) - b.data() +
                       image->sectionCount * sizeof(IMAGE_SECTION_HEADER);
  return sectionsEnd <= b.size();
}

// File offset of a relative virtual address, or 0 when no section holds it.
size_t OffsetOf(const Image& image, DWORD rva) {
  for (int i = 0; i < image.sectionCount; ++i) {
    const IMAGE_SECTION_HEADER& s = image.sections[i];
    DWORD size = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
    if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
      return rva - s.VirtualAddress + s.PointerToRawData;
    }
  }
  return 0;
}

std::string StringAt(const Image& image, DWORD rva) {
  size_t offset = OffsetOf(image, rva);
  std::string text;
  while (offset != 0 && offset < image.bytes.size() && image.bytes[offset] != 0) {
    text += static_cast<char>(image.bytes[offset++]);
  }
  return text;
}

const IMAGE_DATA_DIRECTORY& Directory(const Image& image, int index) {
  return image.headers->OptionalHeader.DataDirectory[index];
}

// A section's name: up to eight characters in its header, or "/NNN", the
// decimal offset of the name in the string table that follows the COFF
// symbol table (18 bytes a symbol).
std::string SectionName(const Image& image, const IMAGE_SECTION_HEADER& section) {
  const char* raw = reinterpret_cast<const char*>(section.Name);
  std::string name(raw, strnlen(raw, IMAGE_SIZEOF_SHORT_NAME));
  if (name.size() < 2 || name[0] != '/') return name;
  size_t offset = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return name;
    offset = offset * 10 + (name[i] - '0');
  }
  const IMAGE_FILE_HEADER& file = image.headers->FileHeader;
  if (file.PointerToSymbolTable == 0) return name;
  size_t table = static_cast<size_t>(file.PointerToSymbolTable) +
                 static_cast<size_t>(file.NumberOfSymbols) * 18;
  if (table + offset >= image.bytes.size()) return name;
  std::string resolved;
  for (size_t at = table + offset; at < image.bytes.size() && image.bytes[at] != 0; ++at) {
    resolved += static_cast<char>(image.bytes[at]);
  }
  return resolved;
}

}  // namespace

bool ReadImportedDlls(const std::wstring& path, std::vector<std::string>* dlls) {
  Image image;
  if (!LoadImage(path, &image)) return false;
  const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
  if (dir.VirtualAddress == 0) return true;
  size_t offset = OffsetOf(image, dir.VirtualAddress);
  if (offset == 0) return false;
  for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    if (offset + sizeof(IMAGE_IMPORT_DESCRIPTOR) > image.bytes.size()) return false;
    IMAGE_IMPORT_DESCRIPTOR descriptor;
    memcpy(&descriptor, image.bytes.data() + offset, sizeof(descriptor));
    if (descriptor.Name == 0) break;
    dlls->push_back(StringAt(image, descriptor.Name));
  }
  return true;
}

bool ReadExportedNames(const std::wstring& path, std::vector<std::string>* names) {
  Image image;
  if (!LoadImage(path, &image)) return false;
  const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_EXPORT);
  if (dir.VirtualAddress == 0) return true;
  size_t offset = OffsetOf(image, dir.VirtualAddress);
  if (offset == 0 || offset + sizeof(IMAGE_EXPORT_DIRECTORY) > image.bytes.size()) return false;
  IMAGE_EXPORT_DIRECTORY exports;
  memcpy(&exports, image.bytes.data() + offset, sizeof(exports));
  size_t nameTable = OffsetOf(image, exports.AddressOfNames);
  for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
    DWORD nameRva;
    if (nameTable + (i + 1) * sizeof(DWORD) > image.bytes.size()) return false;
    memcpy(&nameRva, image.bytes.data() + nameTable + i * sizeof(DWORD), sizeof(DWORD));
    names->push_back(StringAt(image, nameRva));
  }
  return true;
}

bool ReadImageHeaders(const std::wstring& path, ImageHeaders* headers) {
  Image image;
  if (!LoadImage(path, &image)) return false;
  headers->timeDateStamp = image.headers->FileHeader.TimeDateStamp;
  headers->dllCharacteristics = image.headers->OptionalHeader.DllCharacteristics;
  headers->baseRelocationSize = Directory(image, IMAGE_DIRECTORY_ENTRY_BASERELOC).Size;
  for (int i = 0; i < image.sectionCount; ++i) {
    headers->sectionNames.push_back(SectionName(image, image.sections[i]));
  }
  const IMAGE_DATA_DIRECTORY& debug = Directory(image, IMAGE_DIRECTORY_ENTRY_DEBUG);
  if (debug.VirtualAddress == 0 || debug.Size == 0) return true;
  size_t offset = OffsetOf(image, debug.VirtualAddress);
  if (offset == 0 || offset + debug.Size > image.bytes.size()) return false;
  for (size_t at = 0; at + sizeof(IMAGE_DEBUG_DIRECTORY) <= debug.Size;
       at += sizeof(IMAGE_DEBUG_DIRECTORY)) {
    IMAGE_DEBUG_DIRECTORY entry;
    memcpy(&entry, image.bytes.data() + offset + at, sizeof(entry));
    headers->debugTimeStamps.push_back(entry.TimeDateStamp);
  }
  return true;
}

