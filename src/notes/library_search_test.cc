#include "notes/library_search.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"

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
  EXPECT_EQ("C:\\Windows", PathAfter(L"C:\\Windows", L"")) << "no program directory";
}

}  // namespace
