#include "base/stop_request.h"

#include <atomic>

namespace {

// Windows gives a closing console 5 seconds before it ends the process.
constexpr DWORD kGraceMilliseconds = 4000;

// The handler runs on a thread of its own.
std::atomic<bool> g_stopRequested{false};

// Signalled while no server library is loaded.
HANDLE LibraryGivenBack() {
  static HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return event;
}

}  // namespace

void InstallStopHandler() {
  LibraryGivenBack();
  SetConsoleCtrlHandler(HandleConsoleControl, FALSE);
  SetConsoleCtrlHandler(HandleConsoleControl, TRUE);
}

bool StopRequested() { return g_stopRequested.load(std::memory_order_relaxed); }

void SetServerLibraryBound(bool bound) {
  HANDLE event = LibraryGivenBack();
  if (event == nullptr) return;
  if (bound) {
    ResetEvent(event);
  } else {
    SetEvent(event);
  }
}

BOOL WINAPI HandleConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_stopRequested = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
      g_stopRequested = true;
      HANDLE givenBack = LibraryGivenBack();
      if (givenBack != nullptr) WaitForSingleObject(givenBack, kGraceMilliseconds);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void ClearStopRequest() { g_stopRequested = false; }
