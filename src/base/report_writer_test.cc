#include "base/report_writer.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <string>

#include "base/stop_request.h"
#include "gtest/gtest.h"

namespace {

TEST(PrintLines, AStopAskedEndsTheListBetweenBlocks) {
  ListingLines lines = ReportLines();
  for (int i = 0; i < 2000; ++i) {
    lines.StartLine().append(100, 'x');
    lines.FinishLine();
  }
  ASSERT_GT(lines.BlockCount(), 1u);
  HandleConsoleControl(CTRL_C_EVENT);
  testing::internal::CaptureStdout();
  bool whole = PrintLines(lines);
  std::string out = testing::internal::GetCapturedStdout();
  ClearStopRequest();
  EXPECT_FALSE(whole);
  // The capture reads its file in text mode: CR LF comes back as LF.
  std::string first(lines.Block(0));
  first.erase(std::remove(first.begin(), first.end(), '\r'), first.end());
  EXPECT_EQ(first, out) << "the first block, whole, and no more";
}

TEST(PrintLines, LinesThatDoNotReachTheOutputLeaveTheReportUnwritten) {
  ListingLines lines = ReportLines();
  lines.StartLine().append("x");
  lines.FinishLine();
  // Standard output on a handle that takes no writes.
  fflush(stdout);
  int saved = _dup(_fileno(stdout));
  int readOnly = _open("NUL", _O_RDONLY);
  ASSERT_NE(-1, readOnly);
  _dup2(readOnly, _fileno(stdout));
  bool whole = PrintLines(lines);
  _dup2(saved, _fileno(stdout));
  _close(readOnly);
  _close(saved);
  EXPECT_TRUE(whole) << "no stop was asked";
  EXPECT_FALSE(CheckReportWritten());
  ForgetUnwrittenLines();
  EXPECT_TRUE(CheckReportWritten());
}

}  // namespace
