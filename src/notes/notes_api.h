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
constexpr NotesStatus kStatusCodeMask = 0x3FFF;
constexpr uint16_t kNoteClassView = 0x0008;
constexpr uint16_t kNavigateNext = 1;
constexpr uint32_t kReadMaskNoteId = 0x00000001;
constexpr uint16_t kSignalMoreToDo = 0x0020;
constexpr uint16_t kOpenSummary = 0x0001;
constexpr uint16_t kTranslateLmbcsToUtf8 = 22;
constexpr uint32_t kAbbreviateIncludeAll = 0x00000001;

typedef NotesStatus(WINAPI* NotesInitExtendedFn)(int argc, char** argv);
typedef NotesStatus(WINAPI* NSFDbOpenFn)(const char* path, NotesHandle* database);
typedef NotesStatus(WINAPI* NSFDbCloseFn)(NotesHandle database);
typedef void(WINAPI* NotesTermFn)();
typedef NotesStatus(WINAPI* NSFNoteCloseFn)(NotesHandle note);
typedef BOOL(WINAPI* OSGetEnvironmentStringFn)(const char* name, char* value, uint16_t length);
typedef uint16_t(WINAPI* OSLoadStringFn)(HMODULE module, NotesStatus code, char* buffer,
                                         uint16_t length);
typedef BOOL(WINAPI* OSUnlockObjectFn)(NotesHandle handle);
typedef void*(WINAPI* OSLockObjectFn)(NotesHandle handle);
typedef NotesStatus(WINAPI* OSMemFreeFn)(NotesHandle handle);
typedef uint16_t(WINAPI* NSFItemGetTextFn)(NotesHandle note, const char* item, char* text,
                                           uint16_t size);
typedef NotesStatus(WINAPI* NSFNoteOpenFn)(NotesHandle database, NotesNoteId noteId,
                                           uint16_t flags, NotesHandle* note);
typedef NotesStatus(WINAPI* NIFOpenCollectionFn)(NotesHandle viewDatabase, NotesHandle dataDatabase,
                                                 NotesNoteId viewNoteId, uint16_t flags,
                                                 NotesHandle unreadList,
                                                 NotesCollection* collection,
                                                 NotesHandle* viewNote, NotesUnid* viewUnid,
                                                 NotesHandle* collapsedList,
                                                 NotesHandle* selectedList);
typedef NotesStatus(WINAPI* NIFCloseCollectionFn)(NotesCollection collection);
typedef NotesStatus(WINAPI* NIFReadEntriesFn)(NotesCollection collection,
                                              NotesCollectionPosition* position,
                                              uint16_t skipNavigator, uint32_t skipCount,
                                              uint16_t returnNavigator, uint32_t returnCount,
                                              uint32_t returnMask, NotesHandle* buffer,
                                              uint16_t* bufferLength, uint32_t* entriesSkipped,
                                              uint32_t* entriesReturned, uint16_t* signalFlags);
typedef NotesStatus(WINAPI* NIFFindDesignNoteExtFn)(NotesHandle database, const char* name,
                                                    uint16_t noteClass, const char* flagsPattern,
                                                    NotesNoteId* noteId, uint32_t options);
typedef NotesStatus(WINAPI* NSFItemInfoFn)(NotesHandle note, const char* item, uint16_t nameLength,
                                           NotesBlockId* itemBlock, uint16_t* dataType,
                                           NotesBlockId* valueBlock, uint32_t* valueLength);
typedef NotesStatus(WINAPI* DNAbbreviateFn)(uint32_t flags, const char* templateName,
                                            const char* name, char* abbreviated,
                                            uint16_t size, uint16_t* length);
typedef uint16_t(WINAPI* OSTranslateFn)(uint16_t mode, const char* in, uint16_t inLength,
                                        char* out, uint16_t outLength);

/// The process-wide table of entry points; every slot is null while unbound.
/// The members stand in the order in which they are resolved.
struct NotesApi {
  NotesInitExtendedFn NotesInitExtended;
  NSFDbOpenFn NSFDbOpen;
  NSFDbCloseFn NSFDbClose;
  NotesTermFn NotesTerm;
  NSFNoteCloseFn NSFNoteClose;
  OSGetEnvironmentStringFn OSGetEnvironmentString;
  OSLoadStringFn OSLoadString;
  OSUnlockObjectFn OSUnlockObject;
  OSLockObjectFn OSLockObject;
  OSMemFreeFn OSMemFree;
  NSFItemGetTextFn NSFItemGetText;
  NSFNoteOpenFn NSFNoteOpen;
  NIFOpenCollectionFn NIFOpenCollection;
  NIFCloseCollectionFn NIFCloseCollection;
  NIFReadEntriesFn NIFReadEntries;
  NIFFindDesignNoteExtFn NIFFindDesignNoteExt;
  NSFItemInfoFn NSFItemInfo;
  DNAbbreviateFn DNAbbreviate;
  OSTranslateFn OSTranslate;
};

constexpr int kNotesApiEntryCount = 19;
extern const char* const kNotesApiEntryNames[kNotesApiEntryCount];

extern NotesApi g_notes;

/// Loads nnotes.dll by bare name and resolves all entry points into g_notes.
/// `libraryHandle` must be null on entry.
bool BindNotesApi(HMODULE& libraryHandle);

/// Terminates the API, releases the library and clears g_notes.
void UnbindNotesApi(HMODULE& libraryHandle);

/// Prints the server's text for `status` on standard error.
void PrintStatusText(NotesStatus status);

/// True when every slot of g_notes is null.
bool NotesApiIsEmpty();

#endif  // BREVON_NOTES_NOTES_API_H_
