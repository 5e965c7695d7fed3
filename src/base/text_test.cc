#include "base/text.h"

#include "gtest/gtest.h"

namespace {

TEST(EqualIgnoringAsciiCase, FoldsOnlyAsciiLettersOfWholeTexts) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("Mail1/ACME", "mail1/acme"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("a", "ab"));
  EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
  EXPECT_FALSE(EqualIgnoringAsciiCase("[", "{")) << "only letters fold, not their neighbours";
  EXPECT_FALSE(EqualIgnoringAsciiCase("\x82", "\x90")) << "accented letters do not fold";
  EXPECT_TRUE(EqualIgnoringAsciiCase(L"\\Domino\\HTML", L"\\domino\\html", 12));
  EXPECT_FALSE(EqualIgnoringAsciiCase(L"\x17F", L"S", 1)) << "long s is no ASCII letter";
}

}  // namespace
