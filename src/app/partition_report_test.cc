#include "app/partition_report.h"

#include <string>

#include "base/report_writer.h"
#include "base/stop_request.h"
#include "gtest/gtest.h"

namespace {

// A list of more than one block: a stop is looked at between blocks.
ListingLines LinesOfBlocks() {
  ListingLines lines = ReportLines();
  for (int i = 0; i < 2000; ++i) {
    lines.StartLine().append(100, 'x');
    lines.FinishLine();
  }
  EXPECT_GT(lines.BlockCount(), 1u);
  return lines;
}

TEST(PrintPersonCounts, AStopWhileTheFoundListPrintsEndsTheBlock) {
  const ListingLines found = LinesOfBlocks();
  const ListingLines other = ReportLines();
  HandleConsoleControl(CTRL_C_EVENT);
  testing::internal::CaptureStdout();
  bool lost = true;
  bool whole = PrintPersonCounts(2000, found, 0, other, true, &lost);
  std::string out = testing::internal::GetCapturedStdout();
  ClearStopRequest();
  EXPECT_FALSE(whole);
  EXPECT_EQ(std::string::npos, out.find("Mailboxes on other mail servers")) << out.substr(0, 80);
  EXPECT_FALSE(lost);
}

TEST(PrintPersonCounts, EitherListsLossIsTheBlocksLoss) {
  ListingLines found = ReportLines();
  ListingLines other = ReportLines();
  other.NoteLoss();
  testing::internal::CaptureStdout();
  bool lost = false;
  EXPECT_TRUE(PrintPersonCounts(0, found, 1, other, false, &lost));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(lost) << "a line of the other list was left out";
}

}  // namespace
