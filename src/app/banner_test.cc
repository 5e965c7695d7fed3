#include "app/banner.h"

#include <cstdio>
#include <string>

#include "gtest/gtest.h"

namespace {

TEST(Banner, VersionEndsInABlank) {
  testing::internal::CaptureStdout();
  PrintBanner();
  fflush(stdout);
  EXPECT_EQ(std::string("\nNorvell Mail Security command-line tool v") + BREVON_PROJECT_VERSION +
                " \n" + kRightsLine + "\n\n",
            testing::internal::GetCapturedStdout());
}

TEST(Usage, ListsTheDocumentedSwitches) {
  testing::internal::CaptureStdout();
  PrintUsage();
  fflush(stdout);
  EXPECT_EQ(
      "Usage: Brevon.exe [Options]\n"
      "Options:\n"
      "\t/names    List basic information\n"
      "\t/details  List detailed information\n"
      "\t/csv:FILE List every person in a new CSV file\n"
      "\t/help     Print this help\n",
      testing::internal::GetCapturedStdout());
}

}  // namespace
