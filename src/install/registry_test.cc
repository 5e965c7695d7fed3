#include "install/registry.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"

#include "base/error_report.h"
#include "test_env.h"

namespace {

// Points HKEY_LOCAL_MACHINE at a scratch key of this process for the length
// of one test, so tests neither see nor leave keys in the shared prefix.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    scratchPath_ = L"Software\\BrevonRegistryTest\\" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr,
                                             0, KEY_ALL_ACCESS, nullptr, &scratch_, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_));
  }

  void TearDown() override {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
  }

  // Creates `path` below the scratch hive; sets `name` to `data` unless null.
  void SetValue(const std::wstring& path, const wchar_t* name, const void* data, DWORD size,
                DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(scratch_, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << Utf8(path);
    if (name != nullptr) {
      ASSERT_EQ(ERROR_SUCCESS,
                RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
    }
    RegCloseKey(key);
  }

  void SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    SetValue(path, name, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  void AddPartition(const std::wstring& installation, int number, const std::wstring& data) {
    SetText(installation + std::to_wstring(number) + L"\\", L"DataPath", data);
  }

  // Runs the lookup and keeps what it printed and how many error lines.
  bool Lookup() {
    memset(programDirectory_, 0, sizeof(programDirectory_));
    unsigned errorsBefore = ReportedErrorCount();
    testing::internal::CaptureStdout();
    bool result = GetServerRegistryData(programDirectory_, &partitions_, count_);
    fflush(stdout);
    printed_ = testing::internal::GetCapturedStdout();
    reportedErrors_ = ReportedErrorCount() - errorsBefore;
    return result;
  }

  std::wstring scratchPath_;
  HKEY scratch_ = nullptr;
  wchar_t programDirectory_[kPathChars];
  PartitionList partitions_;
  int count_ = 0;
  std::string printed_;
  unsigned reportedErrors_ = 0;
};

const wchar_t kLotus[] = L"SOFTWARE\\Lotus\\Domino\\";
const wchar_t kLotus32[] = L"SOFTWARE\\Wow6432Node\\Lotus\\Domino\\";
const wchar_t kHcl[] = L"SOFTWARE\\HCL\\Domino\\";
const wchar_t kHcl32[] = L"SOFTWARE\\Wow6432Node\\HCL\\Domino\\";

TEST_F(RegistryTest, NoInstallationKeyPrintsBothMessages) {
  EXPECT_FALSE(Lookup());
  EXPECT_EQ("Error: unable to obtain domino dir.\nError: unable to obtain domino data dir.\n",
            printed_);
  EXPECT_EQ(0, count_);
  EXPECT_EQ(L'\0', programDirectory_[0]);
  EXPECT_EQ(2u, reportedErrors_) << "both lines are counted as errors";
}

TEST_F(RegistryTest, EachInstallationKeyIsFoundAlone) {
  for (const wchar_t* key : {kLotus, kLotus32, kHcl, kHcl32}) {
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(scratch_, nullptr));
    SetText(key, L"Path", L"C:\\Domino");
    AddPartition(key, 1, L"C:\\Domino\\Data");
    count_ = 0;
    partitions_ = PartitionList();
    EXPECT_TRUE(Lookup()) << Utf8(key);
    EXPECT_EQ("", printed_) << Utf8(key);
    EXPECT_EQ(1, count_) << Utf8(key);
    EXPECT_EQ(L"C:\\Domino", std::wstring(programDirectory_)) << Utf8(key);
    EXPECT_EQ(L"C:\\Domino\\Data", partitions_.dataDirectories[0]) << Utf8(key);
  }
}

TEST_F(RegistryTest, OnlyTheFirstInstallationKeyThatOpensCounts) {
  SetText(kLotus, L"Path", L"C:\\Lotus");
  AddPartition(kLotus, 1, L"C:\\Lotus\\Data");
  SetText(kHcl, L"Path", L"C:\\HCL");
  AddPartition(kHcl, 1, L"C:\\HCL\\Data1");
  AddPartition(kHcl, 2, L"C:\\HCL\\Data2");
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(1, count_);
  EXPECT_EQ(L"C:\\Lotus", std::wstring(programDirectory_));
  EXPECT_EQ(L"C:\\Lotus\\Data", partitions_.dataDirectories[0]);
  EXPECT_EQ(L"", partitions_.dataDirectories[1]);
}

TEST_F(RegistryTest, InstallationWithoutPartitionOne) {
  SetText(kHcl, L"Path", L"C:\\HCL");
  AddPartition(kHcl, 2, L"C:\\HCL\\Data2");
  EXPECT_FALSE(Lookup());
  EXPECT_EQ("Error: unable to obtain domino data dir.\n", printed_);
  EXPECT_EQ(0, count_);
  EXPECT_EQ(L"C:\\HCL", std::wstring(programDirectory_));
}

TEST_F(RegistryTest, AGapEndsThePartitions) {
  AddPartition(kLotus, 1, L"D1");
  AddPartition(kLotus, 2, L"D2");
  AddPartition(kLotus, 4, L"D4");
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(2, count_);
  EXPECT_EQ(L"D2", partitions_.dataDirectories[1]);
  EXPECT_EQ(L"", partitions_.dataDirectories[2]);
  EXPECT_EQ(L"", partitions_.dataDirectories[3]);
}

TEST_F(RegistryTest, SixteenPartitionsAtMost) {
  for (int k = 1; k <= 17; ++k) AddPartition(kLotus, k, L"D" + std::to_wstring(k));
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(16, count_);
  for (int k = 1; k <= 16; ++k) {
    EXPECT_EQ(L"D" + std::to_wstring(k), partitions_.dataDirectories[k - 1]) << "partition " << k;
  }
}

TEST_F(RegistryTest, SubkeyWithLeadingZeroIsNoPartition) {
  SetText(std::wstring(kLotus) + L"01\\", L"DataPath", L"D1");
  EXPECT_FALSE(Lookup());
  EXPECT_EQ("Error: unable to obtain domino data dir.\n", printed_);
  EXPECT_EQ(0, count_);
}

TEST_F(RegistryTest, MissingValuesGiveEmptyTexts) {
  SetValue(kLotus, nullptr, nullptr, 0);
  SetValue(std::wstring(kLotus) + L"1\\", nullptr, nullptr, 0);
  AddPartition(kLotus, 2, L"D2");
  EXPECT_TRUE(Lookup());
  EXPECT_EQ("", printed_);
  EXPECT_EQ(2, count_);
  EXPECT_EQ(L'\0', programDirectory_[0]);
  EXPECT_EQ(L"", partitions_.dataDirectories[0]);
  EXPECT_EQ(L"D2", partitions_.dataDirectories[1]);
}

// Values of 259 characters fit their buffer with the terminator; longer ones
// do not, and are taken as missing rather than cut to a different path.
TEST_F(RegistryTest, LongValuesFitWholeOrCountAsMissing) {
  const std::wstring fits(259, L'p');
  const std::wstring tooLong(260, L'q');
  const std::wstring farTooLong(600, L'r');
  SetText(kLotus, L"Path", fits);
  AddPartition(kLotus, 1, fits);
  AddPartition(kLotus, 2, tooLong);
  AddPartition(kLotus, 3, farTooLong);
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(3, count_);
  EXPECT_EQ(fits, std::wstring(programDirectory_));
  EXPECT_EQ(fits, partitions_.dataDirectories[0]);
  EXPECT_EQ(L"", partitions_.dataDirectories[1]);
  EXPECT_EQ(L"", partitions_.dataDirectories[2]);
}

TEST_F(RegistryTest, PathOfTwoHundredSixtyCharactersCountsAsMissing) {
  SetText(kLotus, L"Path", std::wstring(260, L'q'));
  AddPartition(kLotus, 1, L"D1");
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(L'\0', programDirectory_[0]);
  EXPECT_EQ(L'\0', programDirectory_[kPathChars - 1]);
}

// Windows hands back a text value stored without its terminator as it
// stands; when it fills the 520 bytes, no terminator is left in the buffer.
// Some registries refuse such a text value (ERROR_MORE_DATA) instead, so the
// values here are binary: the lookup does not look at the type, and a
// binary value comes back unchanged everywhere.
TEST_F(RegistryTest, ValueFilling520BytesWithoutTerminatorCountsAsMissing) {
  const std::wstring full(260, L'x');
  SetValue(kLotus, L"Path", full.data(), 520, REG_BINARY);
  SetValue(std::wstring(kLotus) + L"1\\", L"DataPath", full.data(), 520, REG_BINARY);
  EXPECT_TRUE(Lookup());
  EXPECT_EQ(1, count_);
  EXPECT_EQ(L'\0', programDirectory_[0]);
  EXPECT_EQ(L'\0', programDirectory_[kPathChars - 1]);
  EXPECT_EQ(L"", partitions_.dataDirectories[0]);
}

TEST_F(RegistryTest, NothingGivenIsRefusedQuietly) {
  wchar_t directory[kPathChars] = {};
  PartitionList list;
  int count = 0;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(GetServerRegistryData(nullptr, &list, count));
  EXPECT_FALSE(GetServerRegistryData(directory, nullptr, count));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ(0, count);
}

}  // namespace
