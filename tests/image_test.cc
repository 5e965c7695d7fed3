// Checks the built Brevon.exe itself: what it imports, its version resource
// and its manifest, read back from the file as Windows reads them, and how
// it was linked, read from its headers.
//
// The build passes the project's version (BREVON_PROJECT_VERSION and its
// parts) and its folders (BREVON_SOURCE_DIR, BREVON_BUILD_DIR) to compare
// the image with.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/banner.h"
#include "gtest/gtest.h"
#include "pe_image.h"
#include "test_env.h"

namespace {

std::wstring BrevonPath() { return BinaryDirectory() + L"\\Brevon.exe"; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

TEST(ImportTable, OnlyWindowsSystemLibraries) {
  std::vector<std::string> dlls;
  ASSERT_TRUE(ReadImportedDlls(BrevonPath(), &dlls)) << Utf8(BrevonPath());
  ASSERT_FALSE(dlls.empty());
  const std::vector<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll",
                                           "ucrtbase.dll", "user32.dll",   "ntdll.dll"};
  for (const std::string& dll : dlls) {
    std::string name = Lower(dll);
    bool isSystem = std::find(system.begin(), system.end(), name) != system.end() ||
                    name.rfind("api-ms-win-", 0) == 0;
    EXPECT_TRUE(isSystem) << "Brevon.exe imports " << dll << ", which a bare server lacks";
    EXPECT_EQ(std::string::npos, name.find("libstdc++")) << dll;
    EXPECT_EQ(std::string::npos, name.find("libgcc")) << dll;
    EXPECT_EQ(std::string::npos, name.find("winpthread")) << dll;
    EXPECT_NE("nnotes.dll", name) << "the server library must be loaded at run time";
  }
}

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name) {
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || value == nullptr) {
    return L"<missing>";
  }
  return std::wstring(static_cast<wchar_t*>(value));
}

// The version resource as Windows reads it.
void ReadVersionBlock(std::vector<char>* block) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(BrevonPath().c_str(), &ignored);
  ASSERT_NE(0u, size) << "no version resource in " << Utf8(BrevonPath());
  block->resize(size);
  ASSERT_TRUE(GetFileVersionInfoW(BrevonPath().c_str(), 0, size, block->data()));
}

TEST(VersionResource, NamesTheProductAndVersion) {
  std::vector<char> block;
  ASSERT_NO_FATAL_FAILURE(ReadVersionBlock(&block));
  // The version is checked against the project's below.
  EXPECT_EQ(L"Norvell Mail Security command-line tool", VersionString(block, L"FileDescription"));
  EXPECT_EQ(L"Norvell Mail Security command-line tool", VersionString(block, L"ProductName"));
  EXPECT_EQ(L"Norvell", VersionString(block, L"CompanyName"));
  EXPECT_EQ(L"Brevon.exe", VersionString(block, L"OriginalFilename"));
  EXPECT_EQ(L"Brevon.exe", VersionString(block, L"InternalName"));
  std::wstring rights = VersionString(block, L"LegalCopyright");
  EXPECT_NE(std::wstring::npos, rights.find(L"Norvell")) << Utf8(rights);
}

TEST(VersionResource, CarriesTheProjectVersion) {
  std::vector<char> block;
  ASSERT_NO_FATAL_FAILURE(ReadVersionBlock(&block));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD ms = MAKELONG(BREVON_PROJECT_VERSION_MINOR, BREVON_PROJECT_VERSION_MAJOR);
  EXPECT_EQ(ms, fixed->dwFileVersionMS);
  EXPECT_EQ(ms, fixed->dwProductVersionMS);
  EXPECT_EQ(static_cast<DWORD>(BREVON_PROJECT_VERSION_PATCH), HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(static_cast<DWORD>(BREVON_PROJECT_VERSION_PATCH), HIWORD(fixed->dwProductVersionLS));

  std::string project(BREVON_PROJECT_VERSION);
  std::wstring expected(project.begin(), project.end());
  EXPECT_EQ(expected, VersionString(block, L"FileVersion"));
  EXPECT_EQ(expected, VersionString(block, L"ProductVersion"));
}

TEST(VersionResource, CopyrightMatchesTheBannersRightsLine) {
  std::vector<char> block;
  ASSERT_NO_FATAL_FAILURE(ReadVersionBlock(&block));
  std::string banner(kRightsLine);
  EXPECT_EQ(std::wstring(banner.begin(), banner.end()), VersionString(block, L"LegalCopyright"));
}

// The RT_MANIFEST resource 1 of Brevon.exe, as the loader reads it.
void ReadManifest(std::string* manifest) {
  HMODULE image = LoadLibraryExW(BrevonPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, image) << Utf8(BrevonPath());
  HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  if (resource == nullptr) FreeLibrary(image);
  ASSERT_NE(nullptr, resource) << "no RT_MANIFEST resource 1";
  HGLOBAL loaded = LoadResource(image, resource);
  if (loaded != nullptr) {
    manifest->assign(static_cast<const char*>(LockResource(loaded)),
                     SizeofResource(image, resource));
  }
  FreeLibrary(image);
  ASSERT_NE(nullptr, loaded);
}

TEST(Manifest, AsInvokerWithoutUiAccessOrCodePage) {
  std::string manifest;
  ASSERT_NO_FATAL_FAILURE(ReadManifest(&manifest));

  EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << manifest;
  EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\"")) << manifest;
  EXPECT_EQ(std::string::npos, manifest.find("activeCodePage"))
      << "the argument vector must stay in the ANSI code page";
  EXPECT_EQ(std::string::npos, manifest.find("requireAdministrator"));
}

TEST(Manifest, AssemblyIdentityCarriesTheProjectVersion) {
  std::string manifest;
  ASSERT_NO_FATAL_FAILURE(ReadManifest(&manifest));
  // The assembly's version has four parts; the project's may have three.
  std::string expected(BREVON_PROJECT_VERSION);
  if (std::count(expected.begin(), expected.end(), '.') == 2) expected += ".0";

  size_t identity = manifest.find("<assemblyIdentity ");
  ASSERT_NE(std::string::npos, identity) << manifest;
  size_t end = manifest.find("/>", identity);
  ASSERT_NE(std::string::npos, end) << manifest;
  std::string element = manifest.substr(identity, end - identity);
  EXPECT_NE(std::string::npos, element.find(" version=\"" + expected + "\"")) << element;
}

// Paths of 260 characters or more, where the system allows them: the element
// counts only inside windowsSettings of an asm.v3 application element, in its
// own namespace.
TEST(Manifest, LongPathAware) {
  std::string manifest;
  ASSERT_NO_FATAL_FAILURE(ReadManifest(&manifest));
  size_t application = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
  ASSERT_NE(std::string::npos, application) << manifest;
  size_t applicationEnd = manifest.find("</application>", application);
  size_t settings = manifest.find("<windowsSettings>", application);
  ASSERT_LT(settings, applicationEnd) << manifest;
  size_t settingsEnd = manifest.find("</windowsSettings>", settings);
  ASSERT_LT(settingsEnd, applicationEnd) << manifest;
  size_t element = manifest.find(
      "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
      "true</longPathAware>",
      settings);
  EXPECT_LT(element, settingsEnd) << manifest;
}

TEST(Image, NoDebuggingSections) {
  ImageHeaders headers;
  ASSERT_TRUE(ReadImageHeaders(BrevonPath(), &headers)) << Utf8(BrevonPath());
  ASSERT_FALSE(headers.sectionNames.empty());
  for (const std::string& name : headers.sectionNames) {
    EXPECT_NE(0u, name.rfind(".debug", 0)) << "section " << name;
    // A long name that the string table does not resolve (a stripped image
    // keeps none) cannot be told apart from a debugging section.
    EXPECT_NE('/', name[0]) << "section " << name << " has an unresolved long name";
  }
}

// A build stamps no time into the image, so two builds of one commit match.
TEST(Image, NoTimeStamp) {
  ImageHeaders headers;
  ASSERT_TRUE(ReadImageHeaders(BrevonPath(), &headers)) << Utf8(BrevonPath());
  EXPECT_EQ(0u, headers.timeDateStamp);
  for (uint32_t stamp : headers.debugTimeStamps) EXPECT_EQ(0u, stamp) << "debug directory";
}

TEST(Image, AddressRandomisationAndDataExecutionPrevention) {
  ImageHeaders headers;
  ASSERT_TRUE(ReadImageHeaders(BrevonPath(), &headers)) << Utf8(BrevonPath());
  EXPECT_TRUE(headers.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(headers.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
  EXPECT_TRUE(headers.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  // Without base relocations the loader cannot move the image, whatever
  // DYNAMIC_BASE says.
  EXPECT_NE(0u, headers.baseRelocationSize);
}

// Two clones in different folders build the same bytes only if neither
// folder is written into the image.
TEST(Image, CarriesNoBuildFolder) {
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(ReadFileBytes(BrevonPath(), &bytes)) << Utf8(BrevonPath());
  for (std::string folder : {std::string(BREVON_SOURCE_DIR), std::string(BREVON_BUILD_DIR)}) {
    for (int form = 0; form < 2; ++form) {
      if (form == 1) std::replace(folder.begin(), folder.end(), '/', '\\');
      auto found = std::search(bytes.begin(), bytes.end(), folder.begin(), folder.end());
      EXPECT_TRUE(found == bytes.end()) << folder << " at offset " << (found - bytes.begin());
    }
  }
}

}  // namespace
