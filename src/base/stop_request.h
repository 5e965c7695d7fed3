#ifndef BREVON_BASE_STOP_REQUEST_H_
#define BREVON_BASE_STOP_REQUEST_H_

#include <windows.h>

// Ctrl+C, Ctrl+Break, closing the console and shutting down ask the run to
// stop. A process that uses the server library and ends without NotesTerm
// can make the server panic and restart, so the request is only recorded
// here; the run looks at it where it can stop cleanly and gives the library
// back.

/// Installs the console control handler, before the run prints anything.
void InstallStopHandler();

/// Puts the handler first again, after the server library may have added a
/// handler of its own: Windows calls the handler added last first. It is
/// added once more, never removed first (a handler added twice is called
/// twice, which does no harm), and only while no stop was asked: a change of
/// the handlers may wait for a handler that is still running, and once a
/// stop was asked the handler may be waiting for the library. (A console
/// closed between the look and the change still makes the change wait, for
/// at most the handler's 4 seconds.)
void PutStopHandlerFirst();

/// True once a stop was asked. Cheap enough to ask once per person.
bool StopRequested();

/// Tells the handler whether a server library is loaded. Windows ends the
/// process as soon as the handler returns from closing the console or
/// shutting down; while a library is loaded the handler first gives the
/// run up to 4 seconds to give it back. The run marks the library bound
/// before it loads it and then looks for a stop; the handler records the
/// stop and then looks whether a library is bound: one always sees the
/// other.
void SetServerLibraryBound(bool bound);
bool ServerLibraryBound();

/// The console control handler.
BOOL WINAPI HandleConsoleControl(DWORD event);

/// Forgets a recorded stop. For tests.
void ClearStopRequest();

/// The system call that adds a console control handler; tests put their
/// own. Null puts back the system's.
typedef BOOL(WINAPI* AddConsoleHandler)(PHANDLER_ROUTINE handler, BOOL add);
void SetAddConsoleHandlerSeam(AddConsoleHandler add);

/// Called right after SetServerLibraryBound has set the mark; tests raise
/// a stop there. Null: nothing is called.
void SetBoundMarkSeam(void (*marked)(bool bound));

#endif  // BREVON_BASE_STOP_REQUEST_H_
