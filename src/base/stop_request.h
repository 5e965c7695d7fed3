#ifndef BREVON_BASE_STOP_REQUEST_H_
#define BREVON_BASE_STOP_REQUEST_H_

#include <windows.h>

// Ctrl+C, Ctrl+Break and closing the console ask the run to stop. A process
// that uses the server library and ends without NotesTerm can make the
// server panic and restart, so the request is only recorded here; the run
// looks at it where it can stop cleanly and gives the library back.

/// Installs the console control handler for the rest of the process, or
/// puts it first again: Windows calls the handler installed last first.
void InstallStopHandler();

/// True once a stop was asked. Cheap enough to ask once per person.
bool StopRequested();

/// Tells the handler whether a server library is loaded. Windows ends the
/// process as soon as the handler returns from closing the console, logging
/// off or shutting down; while a library is loaded the handler first gives
/// the run up to 4 seconds to give it back.
void SetServerLibraryBound(bool bound);

/// The console control handler.
BOOL WINAPI HandleConsoleControl(DWORD event);

/// Forgets a recorded stop. For tests.
void ClearStopRequest();

#endif  // BREVON_BASE_STOP_REQUEST_H_
