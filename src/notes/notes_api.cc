#include "notes/notes_api.h"

#include "base/error_report.h"
#include "base/stop_request.h"
#include "notes/library_search.h"

NotesApi g_notes = {};

bool BindNotesApi(HMODULE& libraryHandle) {
  if (libraryHandle != nullptr) return false;

  // From before the load on: a library may start work of its own as it is
  // loaded, and closing the console must then wait for it to be given back.
  // A stop asked before the mark loads nothing.
  SetServerLibraryBound(true);
  if (StopRequested()) {
    SetServerLibraryBound(false);
    return false;
  }
  libraryHandle = LoadServerLibrary();
  if (libraryHandle == nullptr) {
    SetServerLibraryBound(false);
    return false;
  }

  // Every name is looked up, also after one came back null.
  bool complete = true;
#define NOTES_API_RESOLVE(name, result, parameters) \
  if (!ResolveFunction(libraryHandle, #name, g_notes.name)) complete = false;
  NOTES_API_ENTRY_POINTS(NOTES_API_RESOLVE)
#undef NOTES_API_RESOLVE
  if (!complete) {
    ReportError("Error: unable to obtain function from dll.\n");
    FreeLibrary(libraryHandle);
    // Nothing may call into the released library.
    g_notes = NotesApi();
    SetServerLibraryBound(false);
    return false;
  }
  return true;
}

void UnbindNotesApi(HMODULE& libraryHandle) {
  if (g_notes.NotesTerm != nullptr) g_notes.NotesTerm();
  if (libraryHandle != nullptr) FreeLibrary(libraryHandle);
  g_notes = NotesApi();
  SetServerLibraryBound(false);
}
