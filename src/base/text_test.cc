#include "base/text.h"

#include <string>

#include "gtest/gtest.h"

namespace {

// Each letter's bounds and the bytes just outside them: '@' and '[' around
// 'A' to 'Z', '`' and '{' around 'a' to 'z'; 0xC4 and 0xE4 are a capital
// and small letter of many single-byte sets, which must not fold.
TEST(EqualIgnoringAsciiCase, FoldsExactlyTheAsciiLetters) {
  struct Pair {
    char a, b;
    bool equal;
  };
  const Pair pairs[] = {
      {'A', 'a', true},  {'Z', 'z', true},  {'M', 'm', true},  {'z', 'Z', true},
      {'@', '`', false}, {'[', '{', false}, {'@', 'a', false}, {'[', 'z', false},
      {'`', 'A', false}, {'{', 'Z', false}, {'a', 'a', true},  {'\xC4', '\xE4', false},
  };
  for (const Pair& p : pairs) {
    const char a[] = {'x', p.a, '\0'};
    const char b[] = {'X', p.b, '\0'};
    EXPECT_EQ(p.equal, EqualIgnoringAsciiCase(a, b)) << "'" << p.a << "' and '" << p.b << "'";
    const wchar_t wa[] = {static_cast<wchar_t>(static_cast<unsigned char>(p.a))};
    const wchar_t wb[] = {static_cast<wchar_t>(static_cast<unsigned char>(p.b))};
    EXPECT_EQ(p.equal, EqualIgnoringAsciiCase(wa, wb, 1))
        << "wide '" << p.a << "' and '" << p.b << "'";
  }
}

TEST(EqualIgnoringAsciiCase, ComparesWholeTexts) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("CN=Zurich/O=Acme", "cn=zurich/o=acme"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("a", "ab"));
  EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
  EXPECT_TRUE(EqualIgnoringAsciiCase(L"\\Domino\\HTML", L"\\domino\\html", 12));
  EXPECT_FALSE(EqualIgnoringAsciiCase(L"\x17F", L"S", 1)) << "long s is no ASCII letter";
}

TEST(BlankLineBreaks, EachCrAndLfBecomesOneBlankAndNothingElseChanges) {
  const struct {
    std::string text, quoted;
  } rows[] = {
      {"D:\\data\r\nTotal counted mailboxes: 9999", "D:\\data  Total counted mailboxes: 9999"},
      {"\rMail1\n", " Mail1 "},
      {"\n\n\r", "   "},
      {"tab\tzero\x01high\xE4", "tab\tzero\x01high\xE4"},  // other scripts' bytes stay
      {"", ""},
  };
  for (const auto& row : rows) {
    std::string text = row.text;
    BlankLineBreaks(text);
    EXPECT_EQ(row.quoted, text) << testing::PrintToString(row.text);
  }
}

}  // namespace
