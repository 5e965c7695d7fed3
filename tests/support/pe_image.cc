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

bool LoadImage(const std::wstring& path, Image* image) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
    image->bytes.insert(image->bytes.end(), chunk, chunk + got);
  }
  fclose(file);
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
  return true;
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
