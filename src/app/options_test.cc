#include "app/options.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_env.h"

namespace {

struct Parsed {
  ReportOptions options;
  bool help = false;
};

Parsed Parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "Brevon.exe");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  Parsed parsed;
  ParseArguments(static_cast<int>(arguments.size()), argv.data(), &parsed.options, &parsed.help);
  return parsed;
}

TEST(ParseArguments, NoArgumentsSetNothing) {
  Parsed p = Parse({});
  EXPECT_FALSE(p.options.names);
  EXPECT_FALSE(p.options.details);
  EXPECT_FALSE(p.help);
}

TEST(ParseArguments, EachSwitchSetsItsFlag) {
  EXPECT_TRUE(Parse({"/names"}).options.names);
  EXPECT_TRUE(Parse({"/details"}).options.details);
  EXPECT_TRUE(Parse({"/help"}).help);
  EXPECT_TRUE(Parse({"/?"}).help);
  Parsed both = Parse({"/details", "/names", "/names"});
  EXPECT_TRUE(both.options.names);
  EXPECT_TRUE(both.options.details);
  EXPECT_FALSE(both.help);
}

TEST(ParseArguments, SwitchesMatchWholeAndCaseSensitive) {
  for (const char* ignored : {"/Names", "/NAMES", "-names", "names", "/details=1", "/names ",
                              "/HELP", "/h", "-?", "/", ""}) {
    Parsed p = Parse({ignored});
    EXPECT_FALSE(p.options.names) << "argument \"" << ignored << "\"";
    EXPECT_FALSE(p.options.details) << "argument \"" << ignored << "\"";
    EXPECT_FALSE(p.help) << "argument \"" << ignored << "\"";
  }
}

TEST(ParseArguments, HelpIsSeenWhereverItStands) {
  EXPECT_TRUE(Parse({"/names", "/details", "/help"}).help);
  EXPECT_TRUE(Parse({"/?", "/names"}).help);
  EXPECT_TRUE(Parse({"/NAMES", "/help", "x"}).help);
}

// The name as the C runtime would split the command line into argv.
TEST(FindPersonListRequest, SplitsTheWideCommandLineAsArgvIs) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* name;
    bool nameMissing;
  };
  const Case cases[] = {
      {L"Brevon.exe /names", L"", false},
      {L"Brevon.exe /csv:list.csv", L"list.csv", false},
      {L"\"C:\\Program Files\\Brevon.exe\" /csv:a.csv", L"a.csv", false},
      {L"\"C:\\x /csv:b\\Brevon.exe\"", L"", false},
      {L"Brevon.exe\t/csv:\x03A9.csv /names", L"\x03A9.csv", false},
      {L"Brevon.exe \"/csv:my list.csv\"", L"my list.csv", false},
      {L"Brevon.exe /csv:\"D:\\My Lists\\\\\"", L"D:\\My Lists\\", false},
      {L"Brevon.exe /csv:a\\\"b.csv", L"a\"b.csv", false},
      {L"Brevon.exe /csv:a\\\\b.csv", L"a\\\\b.csv", false},
      {L"Brevon.exe \"/csv:a\"\"b.csv\"", L"a\"b.csv", false},
      {L"Brevon.exe /csv:a.csv /csv:b.csv", L"b.csv", false},
      {L"Brevon.exe /CSV:a.csv /csvx /csv:", L"", true},
      {L"Brevon.exe /csv /csv:a.csv", L"a.csv", true},
      {L"Brevon.exe \"/csv\"", L"", true},
  };
  for (const Case& c : cases) {
    PersonListRequest request;
    FindPersonListRequest(c.commandLine, &request);
    EXPECT_EQ(std::wstring(c.name), std::wstring(request.name)) << "from " << Utf8(c.commandLine);
    EXPECT_EQ(c.nameMissing, request.nameMissing) << "from " << Utf8(c.commandLine);
  }
}

}  // namespace
