#include "base/csv_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "scratch.h"

namespace {

// Writes `row` `times` times into a new file, keeps it and returns what it
// holds after the byte-order mark.
std::string Written(const std::vector<std::string>& row, int times = 1) {
  std::wstring folder = MakeScratchDirectory(L"csv");
  std::wstring path = folder + L"\\list.csv";
  auto file = std::make_unique<CsvFile>();
  DWORD error = 0;
  EXPECT_TRUE(CreateCsvFile(path.c_str(), *file, error)) << "error " << error;
  for (int i = 0; i < times; ++i) {
    for (const std::string& field : row) WriteCsvField(*file, field.data(), field.size());
    EndCsvRow(*file);
  }
  EXPECT_TRUE(KeepCsvFile(*file));
  std::string content;
  if (FILE* in = _wfopen(path.c_str(), L"rb")) {
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof(chunk), in)) > 0;) content.append(chunk, n);
    fclose(in);
  }
  RemoveTree(folder);
  EXPECT_EQ("\xEF\xBB\xBF", content.substr(0, 3)) << "the file starts with the byte-order mark";
  return content.substr(std::min<size_t>(3, content.size()));
}

TEST(CsvFile, QuotesWhatWouldSplitAFieldAndGuardsFormulas) {
  struct Case {
    std::string field;
    std::string written;
  };
  const Case cases[] = {
      {"plain text", "plain text"},
      {"", ""},
      {"M\xC3\xBCller", "M\xC3\xBCller"},
      {"Doe, John", "\"Doe, John\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"line\nfeed", "\"line\nfeed\""},
      {"a\rb", "\"a\rb\""},
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+1", "\"'+1\""},
      {"-1", "\"'-1\""},
      {"@SUM(A1)", "\"'@SUM(A1)\""},
      {"\tx", "\"'\tx\""},
      {"\rx", "\"'\rx\""},
      {"a=b-c+d@e", "a=b-c+d@e"},
      {" =x", " =x"},
      {"'x", "'x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.written + "\r\n", Written({c.field})) << "field \"" << c.field << "\"";
  }
  EXPECT_EQ("x,\"y,z\",\r\n", Written({"x", "y,z", ""}));
}

// Fields longer than the buffer, quotes on either side of its bounds.
TEST(CsvFile, LongRowsGoOutWhole) {
  std::string field;
  std::string quoted = "\"";
  for (int i = 0; field.size() < kCsvBufferBytes + 1000; ++i) {
    field += i % 7 == 0 ? "\"" : "abcdefghij";
    quoted += i % 7 == 0 ? "\"\"" : "abcdefghij";
  }
  quoted += "\"";
  std::string expected;
  for (int i = 0; i < 3; ++i) expected += "n," + quoted + "\r\n";
  std::string got = Written({"n", field}, 3);
  ASSERT_EQ(expected.size(), got.size());
  auto differ = std::mismatch(expected.begin(), expected.end(), got.begin());
  EXPECT_TRUE(differ.first == expected.end())
      << "first difference at byte " << (differ.first - expected.begin());
}

}  // namespace
