#include "app/options.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

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

}  // namespace
