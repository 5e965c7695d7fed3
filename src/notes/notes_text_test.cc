#include "notes/notes_text.h"

#include <string>

#include "gtest/gtest.h"

#include "sim_session.h"

namespace {

std::string StatusText(NotesStatus status) {
  testing::internal::CaptureStderr();
  PrintStatusText(status);
  return testing::internal::GetCapturedStderr();
}

TEST(PrintStatusText, TopBitsDoNotChangeTheText) {
  SimSession session("SimStatusText=0x0103:no such file\n", nullptr);
  ASSERT_TRUE(session.Start());
  EXPECT_EQ("no such file\n", StatusText(0x0103));
  EXPECT_EQ("no such file\n", StatusText(0x8103));
  EXPECT_EQ("no such file\n", StatusText(0x4103));
  EXPECT_EQ("no such file\n", StatusText(0xC103));
}

TEST(PrintStatusText, CodeWithoutTextGivesAnEmptyLineAndALineBreakIsABlank) {
  SimSession session("SimStatusText=999:\nSimStatusText=998:no\rsuch file\n", nullptr);
  ASSERT_TRUE(session.Start());
  EXPECT_EQ("\n", StatusText(999));
  EXPECT_EQ("no such file\n", StatusText(998)) << "one line, whatever the text holds";
}

TEST(PrintStatusText, LongTextStaysInsideItsBuffer) {
  SimSession session("SimStatusText=1000:" + std::string(700, 't') + "\n", nullptr);
  ASSERT_TRUE(session.Start());
  EXPECT_EQ(std::string(511, 't') + "\n", StatusText(1000));
}

}  // namespace
