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

TEST(StopHandler, CtrlCAndCtrlBreakOnlyRecordTheRequestAndLogoffNotEvenThat) {
  SetServerLibraryBound(true);
  EXPECT_LT(HandlerMilliseconds(CTRL_C_EVENT, 0), 1000u);
  SetServerLibraryBound(true);
  EXPECT_LT(HandlerMilliseconds(CTRL_BREAK_EVENT, 0), 1000u);
  SetServerLibraryBound(true);
  EXPECT_TRUE(HandleConsoleControl(CTRL_LOGOFF_EVENT)) << "another user's logoff is handled";
  EXPECT_FALSE(StopRequested()) << "and is no stop";
  SetServerLibraryBound(false);
  EXPECT_FALSE(HandleConsoleControl(0x1234)) << "other events are left to the next handler";
  EXPECT_FALSE(StopRequested());
}

// Windows ends the process when the handler returns from closing the
// console: it waits for the library to be given back, at most 4 seconds.
TEST(StopHandler, ClosingTheConsoleWaitsForTheLibraryToBeGivenBack) {
  EXPECT_LT(HandlerMilliseconds(CTRL_CLOSE_EVENT, 0), 1000u) << "no library loaded";
  EXPECT_LT(HandlerMilliseconds(CTRL_SHUTDOWN_EVENT, 0), 1000u) << "no library loaded";
  SetServerLibraryBound(true);
  ULONGLONG took = HandlerMilliseconds(CTRL_CLOSE_EVENT, 300);
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 3000u) << "returns once the library is given back";
  SetServerLibraryBound(true);
  took = HandlerMilliseconds(CTRL_CLOSE_EVENT, 0);
  EXPECT_GE(took, 3900u);
  EXPECT_LT(took, 7000u) << "returns after 4 seconds";
}

// Windows makes a change of the console's handlers wait while a handler
// runs; so does this stand-in, which counts the changes.
HANDLE g_handlerReturned = nullptr;
int g_handlersAdded = 0;
BOOL WINAPI AddWaitingForTheHandler(PHANDLER_ROUTINE, BOOL) {
  WaitForSingleObject(g_handlerReturned, INFINITE);
  ++g_handlersAdded;
  return TRUE;
}

// The console is closed while the library initialises; the run's next step
// puts its handler first again. It must not wait for the handler, which
// waits for the library: the process would end before NotesTerm.
TEST(StopHandler, ClosingTheConsoleDuringInitialisationDoesNotBlockTheRun) {
  g_handlerReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetAddConsoleHandlerSeam(AddWaitingForTheHandler);
  SetServerLibraryBound(true);
  ULONGLONG handlerTook = 0;
  std::thread close([&handlerTook] {
    ULONGLONG start = GetTickCount64();
    HandleConsoleControl(CTRL_CLOSE_EVENT);
    handlerTook = GetTickCount64() - start;
    SetEvent(g_handlerReturned);
  });
  while (!StopRequested()) Sleep(1);
  PutStopHandlerFirst();
  SetServerLibraryBound(false);  // NotesTerm, FreeLibrary
  close.join();
  SetAddConsoleHandlerSeam(nullptr);
  CloseHandle(g_handlerReturned);
  ClearStopRequest();
  EXPECT_EQ(0, g_handlersAdded) << "handlers changed after the stop";
  EXPECT_LT(handlerTook, 3000u) << "the library was given back before the grace ran out";
}

}  // namespace
