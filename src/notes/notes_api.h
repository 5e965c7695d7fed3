#ifndef BREVON_NOTES_NOTES_API_H_
#define BREVON_NOTES_NOTES_API_H_

#include <windows.h>

#include <cstdint>

// The part of the server's C API that the tool calls, bound at run time from
// nnotes.dll. Database, note and buffer handles are 32 bits wide in the
// library; the tool keeps them in zeroed 64-bit cells (the library reads and
// writes only the low 4 bytes), so every cell must be zeroed before a call
// fills it. The collection handle is 16 bits.

typedef uint16_t NotesStatus;
typedef uint64_t NotesHandle;
typedef uint16_t NotesCollection;
typedef uint32_t NotesNoteId;

struct NotesCollectionPosition {
  uint16_t level;
  uint8_t minLevel;
  uint8_t maxLevel;
  uint32_t tumbler[32];
};
static_assert(sizeof(NotesCollectionPosition) == 132, "COLLECTIONPOSITION is 132 bytes");

struct NotesBlockId {
  uint32_t pool;
  uint16_t block;
};
static_assert(sizeof(NotesBlockId) == 8, "BLOCKID is 8 bytes on 64-bit Windows");

struct NotesUnid {
  uint32_t innards[4];
};

constexpr NotesStatus kNotesNoError = 0;
constexpr NotesStatus kStatusInvalidNote = 0x0227;  // 551: note ID no longer valid
// The top two bits of a status say whether it was shown already and whether
// it came from another server; the code is in the low 14 bits.
constexpr NotesStatus kStatusCodeMask = 0x3FFF;
// Set in the note ID of a view's category row, which is no document.
constexpr NotesNoteId kNoteIdCategory = 0x80000000;
constexpr uint16_t kNoteClassView = 0x0008;
constexpr uint16_t kNavigateNext = 1;
constexpr uint32_t kReadMaskNoteId = 0x00000001;
constexpr uint16_t kSignalMoreToDo = 0x0020;
constexpr uint16_t kOpenSummary = 0x0001;
constexpr uint16_t kTranslateLmbcsToUtf8 = 22;
constexpr uint32_t kAbbreviateIncludeAll = 0x00000001;

// The entry points of nnotes.dll that the tool calls, in the order in which
// they are resolved: X(name, result, parameters) for each. The table's slots
// and the names looked up are both made from this one list.
#define NOTES_API_ENTRY_POINTS(X)                                                              \
  X(NotesInitExtended, NotesStatus, (int argc, char** argv))                                  \
  X(NSFDbOpen, NotesStatus, (const char* path, NotesHandle* database))                         \
  X(NSFDbClose, NotesStatus, (NotesHandle database))                                           \
  X(NotesTerm, void, ())                                                                       \
  X(NSFNoteClose, NotesStatus, (NotesHandle note))                                             \
  X(OSGetEnvironmentString, BOOL, (const char* name, char* value, uint16_t length))            \
  X(OSLoadString, uint16_t, (HMODULE module, NotesStatus code, char* buffer, uint16_t length)) \
  X(OSUnlockObject, BOOL, (NotesHandle handle))                                                \
  X(OSLockObject, void*, (NotesHandle handle))                                                 \
  X(OSMemFree, NotesStatus, (NotesHandle handle))                                              \
  X(NSFItemGetText, uint16_t, (NotesHandle note, const char* item, char* text, uint16_t size)) \
  X(NSFNoteOpen, NotesStatus,                                                                  \
    (NotesHandle database, NotesNoteId noteId, uint16_t flags, NotesHandle* note))             \
  X(NIFOpenCollection, NotesStatus,                                                            \
    (NotesHandle viewDatabase, NotesHandle dataDatabase, NotesNoteId viewNoteId,               \
     uint16_t flags, NotesHandle unreadList, NotesCollection* collection,                      \
     NotesHandle* viewNote, NotesUnid* viewUnid, NotesHandle* collapsedList,                   \
     NotesHandle* selectedList))                                                               \
  X(NIFCloseCollection, NotesStatus, (NotesCollection collection))                             \
  X(NIFReadEntries, NotesStatus,                                                               \
    (NotesCollection collection, NotesCollectionPosition* position, uint16_t skipNavigator,    \
     uint32_t skipCount, uint16_t returnNavigator, uint32_t returnCount, uint32_t returnMask,  \
     NotesHandle* buffer, uint16_t* bufferLength, uint32_t* entriesSkipped,                    \
     uint32_t* entriesReturned, uint16_t* signalFlags))                                        \
  X(NIFFindDesignNoteExt, NotesStatus,                                                         \
    (NotesHandle database, const char* name, uint16_t noteClass, const char* flagsPattern,     \
     NotesNoteId* noteId, uint32_t options))                                                   \
  X(NSFItemInfo, NotesStatus,                                                                  \
    (NotesHandle note, const char* item, uint16_t nameLength, NotesBlockId* itemBlock,         \
     uint16_t* dataType, NotesBlockId* valueBlock, uint32_t* valueLength))                     \
  X(DNAbbreviate, NotesStatus,                                                                 \
    (uint32_t flags, const char* templateName, const char* name, char* abbreviated,            \
     uint16_t size, uint16_t* length))                                                         \
  X(OSTranslate, uint16_t,                                                                     \
    (uint16_t mode, const char* in, uint16_t inLength, char* out, uint16_t outLength))

/// The process-wide table of entry points; every slot is null while unbound.
struct NotesApi {
#define NOTES_API_SLOT(name, result, parameters) result(WINAPI* name) parameters;
  NOTES_API_ENTRY_POINTS(NOTES_API_SLOT)
#undef NOTES_API_SLOT
};

extern NotesApi g_notes;

/// Loads nnotes.dll (LoadServerLibrary) and resolves all entry points into
/// g_notes. `libraryHandle` must be null on entry. Also false, loading
/// nothing, when a stop was asked (StopRequested).
bool BindNotesApi(HMODULE& libraryHandle);

/// Terminates the API, releases the library and clears g_notes.
void UnbindNotesApi(HMODULE& libraryHandle);

#endif  // BREVON_NOTES_NOTES_API_H_
