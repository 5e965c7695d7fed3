#include "base/stop_request.h"

#include <atomic>

namespace {

// Windows gives a closing console 5 seconds before it ends the process.
constexpr DWORD kGraceMilliseconds = 4000;

// The handler runs on a thread of its own. Both flags are read and written
// in sequentially consistent order (see SetServerLibraryBound).
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_libraryBound{false};

AddConsoleHandler g_addConsoleHandler = SetConsoleCtrlHandler;
void (*g_boundMarkSeam)(bool bound) = nullptr;

// Signalled while no server library is loaded. Made on the run's thread
// before the first library is marked bound; the handler only waits on it.
HANDLE g_libraryGivenBack = nullptr;

void MakeGivenBackEvent() {
  if (g_libraryGivenBack == nullptr) {
    g_libraryGivenBack = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  }
}

}  // namespace

void InstallStopHandler() {
  MakeGivenBackEvent();
  g_addConsoleHandler(HandleConsoleControl, TRUE);
}

void PutStopHandlerFirst() {
  if (!StopRequested()) g_addConsoleHandler(HandleConsoleControl, TRUE);
}

bool StopRequested() { return g_stopRequested.load(); }

void SetServerLibraryBound(bool bound) {
  MakeGivenBackEvent();
  if (bound) {
    // Reset before the mark: a handler that sees the mark finds the event
    // unsignalled and waits.
    if (g_libraryGivenBack != nullptr) ResetEvent(g_libraryGivenBack);
    g_libraryBound.store(true);
  } else {
    g_libraryBound.store(false);
    if (g_libraryGivenBack != nullptr) SetEvent(g_libraryGivenBack);
  }
  if (g_boundMarkSeam != nullptr) g_boundMarkSeam(bound);
}

bool ServerLibraryBound() { return g_libraryBound.load(); }

BOOL WINAPI HandleConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_stopRequested.store(true);
      return TRUE;
    case CTRL_LOGOFF_EVENT:
      // Sent to every console process when any user logs off, without
      // saying which; an interactive user's own logoff ends the process
      // without it. A run in a service or a scheduled task goes on.
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_stopRequested.store(true);
      if (g_libraryBound.load() && g_libraryGivenBack != nullptr) {
        WaitForSingleObject(g_libraryGivenBack, kGraceMilliseconds);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void ClearStopRequest() { g_stopRequested.store(false); }

void SetBoundMarkSeam(void (*marked)(bool bound)) { g_boundMarkSeam = marked; }

void SetAddConsoleHandlerSeam(AddConsoleHandler add) {
  g_addConsoleHandler = add != nullptr ? add : SetConsoleCtrlHandler;
}
