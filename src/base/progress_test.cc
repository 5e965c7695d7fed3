#include "base/progress.h"

#include <string>

#include "base/error_report.h"
#include "base/report_writer.h"
#include "gtest/gtest.h"

namespace {

// A console of 40 columns and a clock that the test moves; the line's bytes
// are kept.
struct FakeConsole {
  bool console = true;
  uint64_t now = 0;
  int clockReads = 0;
  std::string written;
  long errorBytesAtLastWrite = -1;  // of standard error, when it is a file
};
FakeConsole g_fake;

bool FakeIsConsole(int* columns) {
  *columns = 40;
  return g_fake.console;
}
uint64_t FakeClock() {
  ++g_fake.clockReads;
  return g_fake.now;
}
void FakeWrite(const char* text, size_t length) {
  g_fake.written.append(text, length);
  g_fake.errorBytesAtLastWrite = ftell(stderr);
}
const ProgressSeam kFakeSeam = {FakeIsConsole, FakeClock, FakeWrite};

class ProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeConsole();
    SetProgressSeam(&kFakeSeam);
  }
  void TearDown() override { SetProgressSeam(nullptr); }

  // Starts a census and goes on until its line shows; returns what was
  // written.
  std::string ShowCensusLine(uint32_t& done) {
    BeginProgress(1, ProgressPhase::kCensus);
    Advance(done, 128, 10);
    EXPECT_FALSE(g_fake.written.empty());
    return g_fake.written;
  }

  // `count` more items, `step` milliseconds apart.
  void Advance(uint32_t& done, uint32_t count, uint64_t step) {
    for (uint32_t i = 0; i < count; ++i) {
      g_fake.now += step;
      ++done;
      AdvanceProgress(done, done / 2);
    }
  }
};

TEST_F(ProgressTest, NothingIsWrittenWhenStandardErrorIsNoConsole) {
  g_fake.console = false;
  BeginProgress(1, ProgressPhase::kCensus);
  uint32_t done = 0;
  Advance(done, 1000, 10);
  ClearProgressLine();
  EndProgress();
  EXPECT_EQ("", g_fake.written);
  EXPECT_EQ(0, g_fake.clockReads) << "not even the clock is read";
}

TEST_F(ProgressTest, ShownAfterASecondInOneColumnLessThanTheConsole) {
  BeginProgress(2, ProgressPhase::kInventory);
  uint32_t done = 0;
  Advance(done, 90, 10);
  EXPECT_EQ("", g_fake.written) << "0.9 s: nothing yet";
  Advance(done, 40, 10);
  // "\r", the line cut to 39 columns, "\r": the cursor stays at its start.
  EXPECT_EQ("\rPartition 2: listing, 128 folders searc\r", g_fake.written);
}

TEST_F(ProgressTest, ErasedBeforeAnErrorLineAndAtTheEndOfThePhase) {
  uint32_t done = 0;
  const std::string shown = ShowCensusLine(done);
  const std::string erase = "\r" + std::string(39, ' ') + "\r";

  testing::internal::CaptureStdout();
  ReportError("Error: x\n");
  fflush(stdout);
  EXPECT_EQ("Error: x\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(shown + erase, g_fake.written) << "erased before the error line";

  ClearProgressLine();
  EXPECT_EQ(shown + erase, g_fake.written) << "nothing to erase twice";
  Advance(done, 32, 10);
  ASSERT_GT(g_fake.written.size(), (shown + erase).size()) << "shown again at the next update";
  const std::string again = g_fake.written;
  EndProgress();
  EXPECT_EQ(again + erase, g_fake.written);
  Advance(done, 320, 10);
  EXPECT_EQ(again + erase, g_fake.written) << "nothing after the phase";
}

// Whatever the report writes erases the line first, while the phase goes on.
TEST_F(ProgressTest, ErasedBeforeEveryReportLine) {
  uint32_t done = 0;
  const std::string shown = ShowCensusLine(done);
  const std::string erase = "\r" + std::string(39, ' ') + "\r";

  testing::internal::CaptureStdout();
  WriteReport(" Mailboxes found: %d\n", 1);
  fflush(stdout);
  EXPECT_EQ(" Mailboxes found: 1\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(shown + erase, g_fake.written);

  Advance(done, 32, 10);
  const std::string again = g_fake.written;
  ASSERT_GT(again.size(), (shown + erase).size());
  testing::internal::CaptureStderr();
  WriteServerText("File does not exist");
  EXPECT_EQ(0, g_fake.errorBytesAtLastWrite) << "erased before the server's text";
  EXPECT_EQ("File does not exist\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(again + erase, g_fake.written);
  EndProgress();
}

TEST_F(ProgressTest, UpdatesAreThrottled) {
  BeginProgress(1, ProgressPhase::kCensus);
  uint32_t done = 0;
  // Ten seconds of persons, one every millisecond.
  Advance(done, 10000, 1);
  size_t draws = 0;
  for (char c : g_fake.written) draws += c == '\r';
  draws /= 2;
  EXPECT_GE(draws, 40u);
  EXPECT_LE(draws, 46u) << "at most five a second, after the first second";
  EXPECT_LE(g_fake.clockReads, 10000 / 32 + 1) << "the clock is read every 32 persons";
}

}  // namespace
