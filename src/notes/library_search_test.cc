#include "notes/library_search.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "gtest/gtest.h"

#include "base/open_on_disk.h"
#include "open_handles.h"
#include "test_env.h"

namespace {

// Runs PutFirstInPath on a PATH of the test's own and restores the
// process's afterwards.
class PathTest : public testing::Test {
 protected:
  void SetUp() override {
    hadPath_ = GetEnvironmentVariableW(L"PATH", nullptr, 0) != 0;
    saved_ = EnvironmentText(L"PATH");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"PATH", hadPath_ ? saved_.c_str() : nullptr);
  }

  std::string PathAfter(const wchar_t* before, const wchar_t* directory) {
    SetEnvironmentVariableW(L"PATH", before);
    PutFirstInPath(directory);
    return Utf8(EnvironmentText(L"PATH"));
  }

  bool hadPath_ = false;
  std::wstring saved_;
};

TEST_F(PathTest, ProgramDirectoryGoesFirstAndWholeWhateverItsName) {
  EXPECT_EQ("C:\\Domino;C:\\Windows", PathAfter(L"C:\\Windows", L"C:\\Domino"));
  EXPECT_EQ("\"C:\\Dom;ino\";C:\\Windows", PathAfter(L"C:\\Windows", L"C:\\Dom;ino"))
      << "quoted, or PATH would name two folders";
  EXPECT_EQ("C:\\Domino", PathAfter(nullptr, L"C:\\Domino")) << "no PATH at all";
  EXPECT_EQ("C:\\Domino", PathAfter(L"", L"C:\\Domino")) << "an empty PATH";
  EXPECT_EQ("C:\\Windows", PathAfter(L"C:\\Windows", L"")) << "no program directory";
}

// The start of a PE file: "MZ", at 0x3C the offset of "PE\0\0", then the
// machine.
std::string Headers(uint16_t machine) {
  const uint32_t peOffset = 0x80;
  std::string bytes(peOffset + 24, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<char>(peOffset >> (8 * i));
  bytes.replace(peOffset, 4, std::string("PE\0\0", 4));
  bytes[peOffset + 4] = static_cast<char>(machine & 0xFF);
  bytes[peOffset + 5] = static_cast<char>(machine >> 8);
  return bytes;
}

bool IsX86(const std::string& bytes) {
  return IsX86Image(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(IsX86Image, OnlyThe32BitMachineOfAWholeHeader) {
  EXPECT_TRUE(IsX86(Headers(0x014C)));
  EXPECT_FALSE(IsX86(Headers(0x8664))) << "x64";
  std::string noMz = Headers(0x014C);
  noMz[0] = 'X';
  EXPECT_FALSE(IsX86(noMz));
  // The machine field is bytes 0x84 and 0x85; what lies past the bytes read
  // is 0x01, which would make it read as x86.
  const std::string whole = Headers(0x014C);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(whole.data());
  EXPECT_TRUE(IsX86Image(bytes, 0x86)) << "ends exactly with the machine field";
  EXPECT_FALSE(IsX86Image(bytes, 0x85)) << "cut one byte before its end";
  std::string farOffset = Headers(0x014C);
  farOffset.replace(0x3C, 4, "\xF0\xFF\xFF\xFF");
  EXPECT_FALSE(IsX86(farOffset)) << "offset past the end";
}

// The program directory's nnotes.dll opens here as a pipe that holds the
// headers of a 32-bit library: the check asks for identification only and
// closes it unread.
DWORD g_openFlags = 0;
HANDLE g_pipeWriter = nullptr;
HANDLE WINAPI OpenAsPipe(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags,
                         HANDLE) {
  g_openFlags = flags;
  HANDLE reader = INVALID_HANDLE_VALUE;
  if (!CreatePipe(&reader, &g_pipeWriter, nullptr, 0)) return INVALID_HANDLE_VALUE;
  const std::string headers = Headers(0x014C);
  DWORD written = 0;
  WriteFile(g_pipeWriter, headers.data(), static_cast<DWORD>(headers.size()), &written, nullptr);
  return reader;
}
FARPROC SystemKernelFunction(const char* name) {
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}
HMODULE WINAPI LoadFails(LPCWSTR) { return nullptr; }

TEST(LoadServerLibrary, TheThirtyTwoBitCheckReadsOnlyAFileOnADisk) {
  const LibrarySearchSeam failing = {SystemKernelFunction, LoadFails};
  SetLibrarySearchSeam(&failing);
  SetCreateFileSeam(OpenAsPipe);
  UseProgramDirectory(L"C:\\Domino");
  const std::vector<unsigned long long> handlesBefore = OpenHandles();
  testing::internal::CaptureStdout();
  EXPECT_EQ(nullptr, LoadServerLibrary());
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  CloseHandle(g_pipeWriter);
  UseProgramDirectory(L"");
  SetCreateFileSeam(nullptr);
  SetLibrarySearchSeam(nullptr);
  EXPECT_EQ("Error: unable to load dll (nnotes.dll).\n", out);
  EXPECT_EQ(static_cast<DWORD>(SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION),
            g_openFlags & (SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION | SECURITY_DELEGATION));
  EXPECT_EQ(handlesBefore, OpenHandles()) << "the pipe is closed";
}

}  // namespace
