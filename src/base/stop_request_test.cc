#include "base/stop_request.h"

#include <thread>

#include "gtest/gtest.h"

namespace {

// Calls the handler for `event` and, `giveBackAfter` milliseconds later on
// another thread, gives the library back (never when 0). Returns how long
// the handler took, in milliseconds.
ULONGLONG HandlerMilliseconds(DWORD event, DWORD giveBackAfter) {
  std::thread run;
  if (giveBackAfter != 0) {
    run = std::thread([giveBackAfter] {
      Sleep(giveBackAfter);
      SetServerLibraryBound(false);
    });
  }
  ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(HandleConsoleControl(event)) << "event " << event;
  ULONGLONG took = GetTickCount64() - start;
  if (run.joinable()) run.join();
  EXPECT_TRUE(StopRequested()) << "event " << event;
  ClearStopRequest();
  SetServerLibraryBound(false);
  return took;
}

TEST(StopHandler, CtrlCAndCtrlBreakOnlyRecordTheRequest) {
  SetServerLibraryBound(true);
  EXPECT_LT(HandlerMilliseconds(CTRL_C_EVENT, 0), 1000u);
  SetServerLibraryBound(true);
  EXPECT_LT(HandlerMilliseconds(CTRL_BREAK_EVENT, 0), 1000u);
  EXPECT_FALSE(HandleConsoleControl(0x1234)) << "other events are left to the next handler";
  EXPECT_FALSE(StopRequested());
}

// Windows ends the process when the handler returns from closing the
// console: it waits for the library to be given back, at most 4 seconds.
TEST(StopHandler, ClosingTheConsoleWaitsForTheLibraryToBeGivenBack) {
  EXPECT_LT(HandlerMilliseconds(CTRL_CLOSE_EVENT, 0), 1000u) << "no library loaded";
  EXPECT_LT(HandlerMilliseconds(CTRL_LOGOFF_EVENT, 0), 1000u) << "no library loaded";
  SetServerLibraryBound(true);
  ULONGLONG took = HandlerMilliseconds(CTRL_CLOSE_EVENT, 300);
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 3000u) << "returns once the library is given back";
  SetServerLibraryBound(true);
  took = HandlerMilliseconds(CTRL_CLOSE_EVENT, 0);
  EXPECT_GE(took, 3900u);
  EXPECT_LT(took, 7000u) << "returns after 4 seconds";
}

}  // namespace
