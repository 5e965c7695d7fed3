#include "notes/notes_api.h"

#include <cstdio>
#include <cstring>

#include "app/report.h"

NotesApi g_notes = {};

const char* const kNotesApiEntryNames[kNotesApiEntryCount] = {
    "NotesInitExtended", "NSFDbOpen",          "NSFDbClose",        "NotesTerm",
    "NSFNoteClose",      "OSGetEnvironmentString", "OSLoadString",  "OSUnlockObject",
    "OSLockObject",      "OSMemFree",          "NSFItemGetText",    "NSFNoteOpen",
    "NIFOpenCollection", "NIFCloseCollection", "NIFReadEntries",    "NIFFindDesignNoteExt",
    "NSFItemInfo",       "DNAbbreviate",       "OSTranslate",
};

namespace {

// The table's slots in resolution order, parallel to kNotesApiEntryNames.
// Each slot is a function pointer; they are stored through this generic view.
FARPROC* EntrySlots() {
  static_assert(sizeof(NotesApi) == kNotesApiEntryCount * sizeof(FARPROC),
                "one pointer-sized slot per entry point");
  return reinterpret_cast<FARPROC*>(&g_notes);
}

}  // namespace

bool BindNotesApi(HMODULE& libraryHandle) {
  if (libraryHandle != nullptr) return false;

  libraryHandle = LoadLibraryW(L"nnotes.dll");
  if (libraryHandle == nullptr) {
    ReportError("Error: unable to load dll (nnotes.dll).\n");
    return false;
  }

  // Every name is looked up, also after one came back null.
  FARPROC* slots = EntrySlots();
  bool complete = true;
  for (int i = 0; i < kNotesApiEntryCount; ++i) {
    slots[i] = GetProcAddress(libraryHandle, kNotesApiEntryNames[i]);
    if (slots[i] == nullptr) complete = false;
  }
  if (!complete) {
    ReportError("Error: unable to obtain function from dll.\n");
    FreeLibrary(libraryHandle);
    // Nothing may call into the released library.
    memset(&g_notes, 0, sizeof(g_notes));
    return false;
  }
  return true;
}

void UnbindNotesApi(HMODULE& libraryHandle) {
  if (g_notes.NotesTerm != nullptr) g_notes.NotesTerm();
  if (libraryHandle != nullptr) FreeLibrary(libraryHandle);
  memset(&g_notes, 0, sizeof(g_notes));
}

bool NotesApiIsEmpty() {
  FARPROC* slots = EntrySlots();
  for (int i = 0; i < kNotesApiEntryCount; ++i) {
    if (slots[i] != nullptr) return false;
  }
  return true;
}

void PrintStatusText(NotesStatus status) {
  try {
    // Redirected standard output is buffered and standard error is not: flush
    // so the server's text follows the error line it belongs to.
    fflush(stdout);
    NotesStatus code = static_cast<NotesStatus>(status & kStatusCodeMask);
    char text[512];
    memset(text, 0, sizeof(text));
    // The library's length excludes the terminating zero.
    if (g_notes.OSLoadString != nullptr) {
      g_notes.OSLoadString(nullptr, code, text, sizeof(text) - 1);
    }
    text[sizeof(text) - 1] = '\0';
    fprintf(stderr, "%s\n", text);
  } catch (...) {
  }
}
