// The exported entry points and DllMain. Every call takes one lock, checks
// its handles against the tables and runs in constant time apart from
// copying text.

#include <cstring>

#include "handles.h"
#include "sim.h"

using namespace sim;

namespace {

struct OpenNote {
  std::shared_ptr<Database> database;
  const Document* document = nullptr;
};

struct OpenCollection {
  std::shared_ptr<Database> database;
  const View* view = nullptr;
};

struct Buffer {
  std::unique_ptr<uint32_t[]> ids;
  uint64_t readNumber = 0;
  uint32_t locks = 0;
};

// [generation 12][kind 4][slot 16] for the 32-bit handles.
typedef HandleTable<std::shared_ptr<Database>, DHANDLE, 16, 4, 1> DatabaseTable;
typedef HandleTable<OpenNote, DHANDLE, 16, 4, 2> NoteTable;
typedef HandleTable<Buffer, DHANDLE, 16, 4, 3> BufferTable;
// [generation 8][slot 8] for the 16-bit collection handles.
typedef HandleTable<OpenCollection, HCOLLECTION, 8, 0, 0> CollectionTable;

// Locks are counted apart: they live on buffers, not in a table of their own.
struct LockCounter {
  uint64_t taken = 0, givenBack = 0;
};

struct State {
  bool initialized = false;
  Settings settings;
  std::wstring dataDirectory;
  std::unordered_map<std::wstring, std::weak_ptr<Database>> loaded;
  DatabaseTable databases;
  NoteTable notes;
  BufferTable buffers;
  CollectionTable collections;
  LockCounter lockCount;
  uint64_t reads = 0;

  void Reset() {
    settings = Settings();
    loaded.clear();
    databases.Clear();
    notes.Clear();
    buffers.Clear();
    collections.Clear();
    lockCount = LockCounter();
    reads = 0;
  }
};

const wchar_t kFirstDirectoryVariable[] = L"NNOTES_SIM_FIRST_DIRECTORY";

State* g_state = nullptr;
HMODULE g_module = nullptr;
HMODULE g_addin = nullptr;  // SimLoadAddin's library, while initialised
bool g_handlesConsole = false;  // SimConsoleHandler's handler is added

BOOL WINAPI TakeEveryConsoleEvent(DWORD) { return TRUE; }
bool g_refused = false;
SRWLOCK g_lock = SRWLOCK_INIT;

class Locked {
 public:
  Locked() { AcquireSRWLockExclusive(&g_lock); }
  ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
};

State& S() {
  if (!g_state) g_state = new State();
  return *g_state;
}

const char* KindName(unsigned kind) {
  switch (kind) {
    case 1: return "database";
    case 2: return "note";
    case 3: return "buffer";
    default: return "handle";
  }
}

// Logs a misuse line and tells whether the handle may be used.
bool Usable(HandleCheck check, const char* function, const char* kind, uint32_t handle,
            bool givingBack, bool collection = false) {
  if (check == HandleCheck::kOk) return true;
  char text[64];
  const char* format = collection ? "0x%04X" : "0x%08X";
  snprintf(text, sizeof text, format, static_cast<unsigned>(handle));
  switch (check) {
    case HandleCheck::kUnknown:
      LogFormat("misuse %s %s %s unknown", function, kind, text);
      break;
    case HandleCheck::kWrongKind:
      LogFormat("misuse %s %s %s of another kind (%s)", function, kind, text,
                KindName(DatabaseTable::KindOf(handle)));
      break;
    default:
      LogFormat("misuse %s %s %s %s", function, kind, text,
                givingBack ? "given back twice" : "used after given back");
      break;
  }
  return false;
}

template <typename T>
void Put(T* out, T value) {
  if (out) memcpy(out, &value, sizeof value);
}

void ReplaceLibrary(const std::wstring& next) {
  wchar_t own[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(g_module, own, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return;
  std::wstring self(own, length);
  std::wstring folder = self.substr(0, self.find_last_of(L"\\/") + 1);
  std::string name;
  for (wchar_t c : next) name += static_cast<char>(c < 0x80 ? c : '?');
  std::wstring aside;
  for (int n = 1; n < 1000; ++n) {
    aside = self + L".replaced-" + std::to_wstring(n);
    if (GetFileAttributesW(aside.c_str()) == INVALID_FILE_ATTRIBUTES) break;
  }
  // A loaded image may be renamed but not overwritten.
  if (!MoveFileExW(self.c_str(), aside.c_str(), 0)) {
    LogFormat("replace failed %s", name.c_str());
    return;
  }
  if (!CopyFileW((folder + next).c_str(), self.c_str(), FALSE)) {
    MoveFileExW(aside.c_str(), self.c_str(), 0);
    LogFormat("replace failed %s", name.c_str());
    return;
  }
  LogFormat("replaced by %s", name.c_str());
}

#ifndef SIM_WITHOUT_NotesInitExtended
// A folder as the program-directory check compares it: ASCII lower case,
// without one trailing backslash.
std::wstring FolderKey(std::wstring folder) {
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  for (wchar_t& c : folder) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return folder;
}

// Whether the library's own folder is the folder of argv[0] or an entry of
// PATH, the two places where the library looks for its program directory.
bool ProgramDirectoryFound(const char* program) {
  wchar_t own[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(g_module, own, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return false;
  std::wstring self(own, length);
  size_t cut = self.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return false;
  const std::wstring folder = FolderKey(self.substr(0, cut));

  std::wstring first = program ? Widen(program) : std::wstring();
  cut = first.find_last_of(L"\\/");
  if (cut != std::wstring::npos && FolderKey(first.substr(0, cut)) == folder) return true;

  const std::wstring path = EnvironmentVariable(L"PATH");
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(L';', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring entry;
    for (size_t i = start; i < end; ++i) {
      if (path[i] != L'"') entry += path[i];
    }
    if (!entry.empty() && FolderKey(entry) == folder) return true;
    start = end + 1;
  }
  return false;
}
#endif

// Busy for `microseconds`, as a server reading a document from disk is.
void SpendMicroseconds(uint64_t microseconds) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  uint64_t ticks = microseconds * static_cast<uint64_t>(frequency.QuadPart) / 1000000;
  do {
    QueryPerformanceCounter(&now);
  } while (static_cast<uint64_t>(now.QuadPart - start.QuadPart) < ticks);
}

#ifndef SIM_WITHOUT_NotesInitExtended
// What the server's own library may do to the process as it starts: add a
// console control handler of its own, set the default library search
// directories, clear the dll directory and load an extension by bare name.
bool StartLikeTheServer(const Settings& settings) {
  if (settings.consoleHandler) g_handlesConsole = SetConsoleCtrlHandler(TakeEveryConsoleEvent, TRUE);
  if (settings.defaultDllDirectories != 0) {
    auto setDefault = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault) setDefault(settings.defaultDllDirectories);
  }
  if (settings.addin.empty()) return true;
  SetDllDirectoryW(nullptr);
  g_addin = LoadLibraryW(settings.addin.c_str());
  std::string name;
  for (wchar_t c : settings.addin) name += static_cast<char>(c < 0x80 ? c : '?');
  LogFormat(g_addin ? "addin %s" : "addin not found %s", name.c_str());
  return g_addin != nullptr;
}
#endif

// How much the program has written to standard output and standard error
// so far, each when it is a file: whether the report was flushed, and its
// write checked, before the library was given back.
void LogOutputSize() {
  LARGE_INTEGER size;
  if (GetFileSizeEx(GetStdHandle(STD_OUTPUT_HANDLE), &size)) {
    LogFormat("output %lld bytes", static_cast<long long>(size.QuadPart));
  }
  if (GetFileSizeEx(GetStdHandle(STD_ERROR_HANDLE), &size)) {
    LogFormat("error output %lld bytes", static_cast<long long>(size.QuadPart));
  }
}

void GiveBackWhatInitialisationTook() {
  uint64_t allocations = 0;
  if (StopFailingAllocations(&allocations)) {
    LogFormat("allocations %llu", static_cast<unsigned long long>(allocations));
  }
  if (g_addin) FreeLibrary(g_addin);
  g_addin = nullptr;
  if (g_handlesConsole) SetConsoleCtrlHandler(TakeEveryConsoleEvent, FALSE);
  g_handlesConsole = false;
}

std::string LowerAscii(const char* text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

extern "C" {

#ifndef SIM_WITHOUT_NotesInitExtended
STATUS WINAPI NotesInitExtended(int argc, char** argv) {
  Locked lock;
  State& s = S();
  std::string line = "init " + std::to_string(argc);
  std::wstring iniName = L"notes.ini";
  for (int i = 0; argv && i < argc; ++i) {
    const char* arg = argv[i] ? argv[i] : "";
    line += " \"";
    line += arg;
    line += '"';
    if (i > 0 && arg[0] == '=' && arg[1] != '\0') iniName = Widen(arg + 1);
  }
  LogLine(line);
  if (s.initialized) return kNoError;
  s.Reset();
  // SimKeepFirstDirectory: the first partition's directory outlives the
  // library's memory in the process environment.
  const std::wstring first = EnvironmentVariable(kFirstDirectoryVariable);
  std::wstring directory = first.empty() ? CurrentDirectory() : first;
  LoadSettings(ResolvePath(directory, iniName), &s.settings);
  if (s.settings.needProgramDirectory &&
      !ProgramDirectoryFound(argv && argc > 0 ? argv[0] : nullptr)) {
    s.Reset();
    return kErrNoProgramDirectory;
  }
  if (s.settings.hasInitStatus && s.settings.initStatus != kNoError) {
    STATUS status = s.settings.initStatus;
    s.Reset();
    return status;
  }
  if (!StartLikeTheServer(s.settings)) {
    s.Reset();
    return kErrAddinNotFound;
  }
  s.dataDirectory = directory;
  s.initialized = true;
  FailAllocationsFrom(s.settings.allocationsFailFrom);
  if (s.settings.keepFirstDirectory && first.empty())
    SetEnvironmentVariableW(kFirstDirectoryVariable, directory.c_str());
  return kNoError;
}
#endif

void WINAPI NotesTerm() {
  Locked lock;
  State& s = S();
  if (!s.initialized) return;
  auto pair = [](uint64_t taken, uint64_t givenBack) {
    return std::to_string(taken) + "/" + std::to_string(givenBack);
  };
  auto tally = [&pair](const auto& table) { return pair(table.taken(), table.givenBack()); };
  LogLine("term databases " + tally(s.databases) + " collections " + tally(s.collections) +
          " notes " + tally(s.notes) + " buffers " + tally(s.buffers) + " locks " +
          pair(s.lockCount.taken, s.lockCount.givenBack));
  GiveBackWhatInitialisationTook();
  if (s.settings.termLogsOutput) LogOutputSize();
  std::wstring next = s.settings.nextLibrary;
  s.Reset();
  s.initialized = false;
  if (!next.empty()) ReplaceLibrary(next);
}

BOOL WINAPI OSGetEnvironmentString(const char* name, char* value, WORD length) {
  Locked lock;
  State& s = S();
  if (!s.initialized || !name || !value) return FALSE;
  auto found = s.settings.environment.find(LowerAscii(name));
  if (found == s.settings.environment.end()) return FALSE;
  size_t n = found->second.size() < length ? found->second.size() : length;
  memcpy(value, found->second.data(), n);
  value[n] = '\0';
  return TRUE;
}

WORD WINAPI OSLoadString(HMODULE module, STATUS code, char* buffer, WORD length) {
  (void)module;
  Locked lock;
  State& s = S();
  if (!buffer) return 0;
  const char* text = nullptr;
  size_t textLength = 0;
  // The caller strips the displayed and remote bits; a code that still has
  // them is looked up as it stands, and has no text unless one is set for it.
  auto set = s.settings.statusText.find(code);
  if (s.settings.statusTextRemoved.count(code)) {
    // no text
  } else if (set != s.settings.statusText.end()) {
    text = set->second.data();
    textLength = set->second.size();
  } else if ((text = BuiltInStatusText(code))) {
    textLength = strlen(text);
  }
  size_t n = textLength < length ? textLength : length;
  if (n) memcpy(buffer, text, n);
  buffer[n] = '\0';
  return static_cast<WORD>(n);
}

STATUS WINAPI NSFDbOpen(const char* path, DHANDLE* database) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!path || !database) return kErrBadArgument;
  if (s.settings.hasDbOpenStatus && s.settings.dbOpenStatus != kNoError)
    return s.settings.dbOpenStatus;
  const char* local = strstr(path, "!!");
  std::wstring full = ResolvePath(s.dataDirectory, Widen(local ? local + 2 : path));
  std::shared_ptr<Database> db = s.loaded[full].lock();
  if (!db) {
    db = std::make_shared<Database>();
    STATUS status = db->Load(full);
    if (status != kNoError) {
      s.loaded.erase(full);
      return status;
    }
    s.loaded[full] = db;
  }
  DHANDLE handle = s.databases.Allocate(std::move(db));
  if (!handle) return kErrBadHandle;
  Put(database, handle);
  return kNoError;
}

STATUS WINAPI NSFDbClose(DHANDLE database) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!Usable(s.databases.Check(database), "NSFDbClose", "database", database, true))
    return kErrBadHandle;
  s.databases.Free(database);
  return s.settings.hasDbCloseStatus ? s.settings.dbCloseStatus : kNoError;
}

STATUS WINAPI NIFFindDesignNoteExt(DHANDLE database, const char* name, WORD noteClass,
                                   const char* flagsPattern, NOTEID* noteId, DWORD options) {
  (void)flagsPattern;
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (s.settings.hasFindDesignNoteStatus && s.settings.findDesignNoteStatus != kNoError)
    return s.settings.findDesignNoteStatus;
  if (!Usable(s.databases.Check(database), "NIFFindDesignNoteExt", "database", database, false))
    return kErrBadHandle;
  if (!name || !noteId) return kErrBadArgument;
  if (!(noteClass & kNoteClassView)) return kErrNotFound;
  const View* view = s.databases.Get(database)->FindView(name, (options & 1) != 0);
  if (!view) return kErrNotFound;
  Put(noteId, view->noteId);
  return kNoError;
}

STATUS WINAPI NIFOpenCollection(DHANDLE viewDatabase, DHANDLE dataDatabase, NOTEID viewNoteId,
                                WORD flags, DHANDLE unreadList, HCOLLECTION* collection,
                                DHANDLE* viewNote, UNID* viewUnid, DHANDLE* collapsedList,
                                DHANDLE* selectedList) {
  (void)flags;
  (void)unreadList;
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (s.settings.hasOpenCollectionStatus && s.settings.openCollectionStatus != kNoError)
    return s.settings.openCollectionStatus;
  if (!Usable(s.databases.Check(viewDatabase), "NIFOpenCollection", "database", viewDatabase,
              false) ||
      !Usable(s.databases.Check(dataDatabase), "NIFOpenCollection", "database", dataDatabase,
              false))
    return kErrBadHandle;
  if (!collection || viewNote) return kErrBadArgument;
  std::shared_ptr<Database> db = s.databases.Get(viewDatabase);
  const View* view = db->ViewByNoteId(viewNoteId);
  if (!view) return kErrInvalidNote;
  HCOLLECTION handle = s.collections.Allocate(OpenCollection{db, view});
  if (!handle) return kErrBadHandle;
  Put(collection, handle);
  Put(viewUnid, UNID{{0x53494D55u, viewNoteId, 0, 0}});
  Put(collapsedList, DHANDLE(0));
  Put(selectedList, DHANDLE(0));
  return kNoError;
}

STATUS WINAPI NIFCloseCollection(HCOLLECTION collection) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!Usable(s.collections.Check(collection), "NIFCloseCollection", "collection", collection,
              true, true))
    return kErrBadHandle;
  s.collections.Free(collection);
  return s.settings.hasCloseCollectionStatus ? s.settings.closeCollectionStatus : kNoError;
}

STATUS WINAPI NIFReadEntries(HCOLLECTION collection, COLLECTIONPOSITION* position,
                             WORD skipNavigator, DWORD skipCount, WORD returnNavigator,
                             DWORD returnCount, DWORD returnMask, DHANDLE* buffer,
                             WORD* bufferLength, DWORD* numSkipped, DWORD* numReturned,
                             WORD* signalFlags) {
  (void)returnNavigator;
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  uint64_t read = ++s.reads;
  auto fault = s.settings.readEntriesStatus.find(read);
  if (fault != s.settings.readEntriesStatus.end()) return fault->second;
  if (!Usable(s.collections.Check(collection), "NIFReadEntries", "collection", collection, false,
              true))
    return kErrBadHandle;
  if (!position || !buffer || returnMask != 1 || (skipNavigator != 0 && skipNavigator != 1))
    return kErrBadArgument;

  const std::vector<NOTEID>& entries = s.collections.Get(collection).view->entries;
  const uint64_t total = entries.size();
  const uint64_t current = position->Tumbler[0];
  auto noEntries = [&](uint64_t skipped, WORD signal) {
    Put(buffer, DHANDLE(0));
    Put(bufferLength, WORD(0));
    Put(numSkipped, static_cast<DWORD>(skipped));
    Put(numReturned, DWORD(0));
    Put(signalFlags, signal);
    return kNoError;
  };
  if (s.settings.readEntriesNoBuffer.count(read))
    return noEntries(0, current < total ? kSignalMoreToDo : 0);
  // SimReadEmptyFrom: success, but nothing delivered and nothing more
  // signalled, however many entries remain.
  if (s.settings.readEmptyFrom != 0 && read >= s.settings.readEmptyFrom) return noEntries(0, 0);
  // SimReadNoProgress: the read delivers what it would and asks for more,
  // but the position stays where it was.
  const bool stuck = s.settings.readNoProgress != 0 && read >= s.settings.readNoProgress;

  uint64_t target = skipNavigator == 1 ? current + skipCount : current;
  uint64_t skipped = target - current;
  if (target > total) skipped = current < total ? total - current : 0;
  uint64_t first = target == 0 ? 1 : target;
  if (first > total || returnCount == 0) return noEntries(skipped, stuck ? kSignalMoreToDo : 0);

  uint64_t count = total - first + 1;
  if (count > returnCount) count = returnCount;
  if (count > s.settings.readBatch) count = s.settings.readBatch;
  Buffer block;
  block.ids.reset(new uint32_t[count]);
  memcpy(block.ids.get(), entries.data() + (first - 1), count * sizeof(uint32_t));
  block.readNumber = read;
  DHANDLE handle = s.buffers.Allocate(std::move(block));
  if (!handle) return kErrBadHandle;

  uint64_t last = first + count - 1;
  if (!stuck) {
    position->Level = 0;
    position->Tumbler[0] = static_cast<DWORD>(last);
  }
  Put(buffer, handle);
  Put(bufferLength, static_cast<WORD>(count * sizeof(uint32_t)));
  Put(numSkipped, static_cast<DWORD>(skipped));
  Put(numReturned, static_cast<DWORD>(count));
  Put(signalFlags, static_cast<WORD>(stuck || last < total ? kSignalMoreToDo : 0));
  return kNoError;
}

void* WINAPI OSLockObject(DHANDLE handle) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return nullptr;
  if (!Usable(s.buffers.Check(handle), "OSLockObject", "buffer", handle, false)) return nullptr;
  Buffer& block = s.buffers.Get(handle);
  if (s.settings.lockNull.count(block.readNumber)) return nullptr;
  ++block.locks;
  ++s.lockCount.taken;
  return block.ids.get();
}

BOOL WINAPI OSUnlockObject(DHANDLE handle) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return TRUE;
  if (!Usable(s.buffers.Check(handle), "OSUnlockObject", "buffer", handle, false)) return TRUE;
  Buffer& block = s.buffers.Get(handle);
  if (block.locks == 0) {
    LogFormat("misuse OSUnlockObject buffer 0x%08X not locked", static_cast<unsigned>(handle));
    return TRUE;
  }
  --block.locks;
  ++s.lockCount.givenBack;
  return TRUE;
}

STATUS WINAPI OSMemFree(DHANDLE handle) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!Usable(s.buffers.Check(handle), "OSMemFree", "buffer", handle, true)) return kNoError;
  if (s.buffers.Get(handle).locks > 0)
    LogFormat("misuse OSMemFree buffer 0x%08X still locked", static_cast<unsigned>(handle));
  s.buffers.Free(handle);
  return kNoError;
}

STATUS WINAPI NSFNoteOpen(DHANDLE database, NOTEID noteId, WORD flags, DHANDLE* note) {
  (void)flags;
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (s.settings.noteOpenMicroseconds != 0) {
    // Tells a test that the caller is now inside a long call.
    LogFormat("slow open of note 0x%08X", static_cast<unsigned>(noteId));
    SpendMicroseconds(s.settings.noteOpenMicroseconds);
  }
  if (!Usable(s.databases.Check(database), "NSFNoteOpen", "database", database, false))
    return kErrBadHandle;
  if (!note) return kErrBadArgument;
  // A status set for the ID is the test's word on it, category bit or not.
  auto fault = s.settings.noteOpenStatus.find(noteId);
  if (fault != s.settings.noteOpenStatus.end()) return fault->second;
  if (noteId & kNoteIdCategory) {
    LogFormat("misuse NSFNoteOpen note ID 0x%08X is a category row",
              static_cast<unsigned>(noteId));
    return kErrInvalidNote;
  }
  std::shared_ptr<Database> db = s.databases.Get(database);
  const Document* document = db->FindDocument(noteId);
  if (!document) return kErrInvalidNote;
  DHANDLE handle = s.notes.Allocate(OpenNote{std::move(db), document});
  if (!handle) return kErrBadHandle;
  Put(note, handle);
  return kNoError;
}

STATUS WINAPI NSFNoteClose(DHANDLE note) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!Usable(s.notes.Check(note), "NSFNoteClose", "note", note, true)) return kNoError;
  s.notes.Free(note);
  return kNoError;
}

WORD WINAPI NSFItemGetText(DHANDLE note, const char* item, char* text, WORD size) {
  Locked lock;
  State& s = S();
  if (text && size > 0) text[0] = '\0';
  if (!s.initialized || !item || !text || size == 0) return 0;
  if (!Usable(s.notes.Check(note), "NSFItemGetText", "note", note, false)) return 0;
  const OpenNote& open = s.notes.Get(note);
  const Item* found = open.database->FindItem(*open.document, item, strlen(item));
  if (!found) return 0;
  size_t n = open.database->CopyValue(*found, text, size - 1u);
  text[n] = '\0';
  return static_cast<WORD>(n);
}

STATUS WINAPI NSFItemInfo(DHANDLE note, const char* item, WORD nameLength, BLOCKID* itemBlock,
                          WORD* dataType, BLOCKID* valueBlock, DWORD* valueLength) {
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!Usable(s.notes.Check(note), "NSFItemInfo", "note", note, false)) return kErrBadHandle;
  if (!item) return kErrBadArgument;
  const OpenNote& open = s.notes.Get(note);
  const Item* found = open.database->FindItem(*open.document, item, nameLength);
  if (!found) return kErrItemNotFound;
  BLOCKID block{note, static_cast<WORD>(open.database->ItemIndex(found) + 1)};
  Put(itemBlock, block);
  Put(dataType, kTypeText);
  Put(valueBlock, block);
  // The stored value starts with its type word.
  Put(valueLength, static_cast<DWORD>(found->valueLength + sizeof(WORD)));
  return kNoError;
}

STATUS WINAPI DNAbbreviate(DWORD flags, const char* templateName, const char* name,
                           char* abbreviated, WORD size, WORD* length) {
  (void)flags;
  (void)templateName;
  Locked lock;
  State& s = S();
  if (!s.initialized) return kErrNotInitialized;
  if (!name || !abbreviated) return kErrBadArgument;
  auto fault = s.settings.abbreviateStatus.find(name);
  if (fault != s.settings.abbreviateStatus.end()) return fault->second;
  std::string out = AbbreviateName(name);
  if (out.size() + 1 > size) return kErrBufferTooSmall;
  memcpy(abbreviated, out.c_str(), out.size() + 1);
  Put(length, static_cast<WORD>(out.size()));
  return kNoError;
}

#ifndef SIM_WITHOUT_OSTranslate
WORD WINAPI OSTranslate(WORD mode, const char* in, WORD inLength, char* out, WORD outLength) {
  if (!in || !out) return 0;
  size_t length = inLength == 0xFFFF ? strlen(in) : inLength;
  if (mode == 22)
    return static_cast<WORD>(
        LmbcsToUtf8(reinterpret_cast<const unsigned char*>(in), length, out, outLength));
  size_t n = length < outLength ? length : outLength;
  memcpy(out, in, n);
  return static_cast<WORD>(n);
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    if (RefuseLoadRequested(ResolvePath(CurrentDirectory(), L"notes.ini"))) {
      g_refused = true;
      LogLine("load refused");
      return FALSE;
    }
    LogLine("load");
  } else if (reason == DLL_PROCESS_DETACH && !g_refused) {
    GiveBackWhatInitialisationTook();
    LogLine("unload");
    // At process exit the memory goes anyway; after FreeLibrary it must.
    if (!reserved) {
      delete g_state;
      g_state = nullptr;
    }
  }
  return TRUE;
}

}  // extern "C"
