#ifndef BREVON_SIM_SIM_H_
#define BREVON_SIM_SIM_H_

// Shared declarations of the simulated server library: the published types,
// the settings read from notes.ini, the directory database read from
// names.nsf, text conversion and the call log.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Published types, at their Windows x64 widths.
typedef uint16_t STATUS;
typedef uint32_t DHANDLE;
typedef uint16_t HCOLLECTION;
typedef uint32_t NOTEID;

struct COLLECTIONPOSITION {
  WORD Level;
  BYTE MinLevel;
  BYTE MaxLevel;
  DWORD Tumbler[32];
};
static_assert(sizeof(COLLECTIONPOSITION) == 132, "COLLECTIONPOSITION is 132 bytes");

struct BLOCKID {
  DHANDLE pool;
  WORD block;
};
static_assert(sizeof(BLOCKID) == 8, "BLOCKID is 8 bytes on W64");

struct UNID {
  DWORD innards[4];
};
static_assert(sizeof(UNID) == 16, "UNID is 16 bytes");

namespace sim {

constexpr STATUS kNoError = 0;
constexpr STATUS kErrNoExist = 259;
constexpr STATUS kErrNotNsf = 513;
constexpr STATUS kErrNotInitialized = 535;
constexpr STATUS kErrItemNotFound = 546;
constexpr STATUS kErrInvalidNote = 551;
constexpr STATUS kErrNotFound = 1028;
// The simulator's own codes, for calls a real program should never make.
constexpr STATUS kErrBadHandle = 0x3F01;
constexpr STATUS kErrBadArgument = 0x3F02;
constexpr STATUS kErrBufferTooSmall = 0x3F03;
constexpr STATUS kErrNoProgramDirectory = 0x3F04;
constexpr STATUS kErrAddinNotFound = 0x3F05;

constexpr NOTEID kNoteIdCategory = 0x80000000;  // a category row of a view, no note
constexpr WORD kNoteClassView = 0x0008;
constexpr WORD kSignalMoreToDo = 0x0020;
constexpr WORD kTypeText = 0x0500;
constexpr DWORD kMaxEntriesPerRead = 16383;  // 4-byte IDs in a WORD-sized buffer

// ---- numbers and text helpers (settings.cc) ----

/// Decimal or 0x hex, the whole of [text, text+length); false otherwise.
bool ParseNumber(const char* text, size_t length, uint64_t* value);
bool EqualsIgnoreCase(const char* a, size_t aLength, const char* b, size_t bLength);

/// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::unique_ptr<char[]>* data, size_t* size);

/// Joins a folder and a file name unless the name is already absolute.
std::wstring ResolvePath(const std::wstring& folder, const std::wstring& name);
std::wstring Widen(const std::string& text);  // ANSI code page
std::wstring CurrentDirectory();
/// The value of a process environment variable; empty when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name);

// ---- notes.ini (settings.cc) ----

struct Settings {
  // Every Name=Value line, first one wins, names folded to ASCII lower case.
  std::unordered_map<std::string, std::string> environment;

  bool hasInitStatus = false, hasDbOpenStatus = false, hasFindDesignNoteStatus = false,
       hasOpenCollectionStatus = false, hasCloseCollectionStatus = false,
       hasDbCloseStatus = false;
  STATUS initStatus = 0, dbOpenStatus = 0, findDesignNoteStatus = 0, openCollectionStatus = 0,
         closeCollectionStatus = 0, dbCloseStatus = 0;
  std::unordered_map<uint64_t, STATUS> readEntriesStatus;  // read number -> status
  std::unordered_set<uint64_t> readEntriesNoBuffer;        // read numbers
  std::unordered_set<uint64_t> lockNull;                   // read numbers
  DWORD readBatch = kMaxEntriesPerRead;
  uint64_t noteOpenMicroseconds = 0;  // what opening a document costs
  uint64_t readNoProgress = 0;  // first read number that leaves the position; 0 none
  uint64_t readEmptyFrom = 0;   // first read number that delivers nothing; 0 none
  bool needProgramDirectory = false;
  bool keepFirstDirectory = false;
  std::unordered_map<NOTEID, STATUS> noteOpenStatus;
  std::unordered_map<std::string, STATUS> abbreviateStatus;  // exact name -> status
  std::unordered_map<STATUS, std::string> statusText;  // overrides; empty = no text
  std::unordered_set<STATUS> statusTextRemoved;
  std::wstring nextLibrary;
  std::wstring addin;               // loaded by bare name at initialisation
  DWORD defaultDllDirectories = 0;  // set by the library at initialisation; 0 none
  bool termLogsOutput = false;
  bool consoleHandler = false;  // takes every console event while initialised
  uint64_t allocationsFailFrom = 0;  // 0 none
};

/// Parses notes.ini text. A missing file is an empty environment.
void ParseSettings(const char* data, size_t size, Settings* settings);
void LoadSettings(const std::wstring& path, Settings* settings);

/// True when the notes.ini at `path` sets SimRefuseLoad to a nonzero number.
/// Plain reads only: it runs inside DllMain.
bool RefuseLoadRequested(const std::wstring& path);

// ---- names.nsf (fixture.cc) ----

/// An item line "Name=Value": the value stands escaped in the file and is
/// unescaped only when it is read.
struct Item {
  uint32_t valueOffset;
  uint32_t escapedLength;
  uint32_t valueLength;  // unescaped
  uint16_t nameLength;
  uint32_t NameOffset() const { return valueOffset - nameLength - 1; }
};

/// A file mapped read-only. Its pages are the disk cache's own: a large
/// fixture is neither copied nor given fresh memory, which made loading slow
/// and its time vary from run to run.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::wstring& path);
  const char* data() const { return view_; }
  size_t size() const { return size_; }

 private:
  HANDLE mapping_ = nullptr;
  const char* view_ = nullptr;
  size_t size_ = 0;
};

struct Document {
  uint32_t firstItem;
  uint32_t itemCount;
};

struct View {
  std::string name;
  NOTEID noteId;
  std::vector<NOTEID> entries;
};

/// Open-addressing map from note ID to document: one allocation, no nodes.
class DocumentMap {
 public:
  void Reserve(size_t count);
  void Put(NOTEID id, const Document& document);
  const Document* Find(NOTEID id) const;
  size_t size() const { return count_; }

 private:
  struct Slot {
    NOTEID id;
    uint32_t used;
    Document document;
  };
  void Grow();
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

class Database {
 public:
  /// Reads and parses a fixture; 0, kErrNoExist or kErrNotNsf.
  STATUS Load(const std::wstring& path);

  const View* FindView(const char* name, bool partial) const;
  const View* ViewByNoteId(NOTEID id) const;
  const Document* FindDocument(NOTEID id) const { return documents_.Find(id); }
  /// The document's item called `name` (ASCII case ignored), or null.
  const Item* FindItem(const Document& document, const char* name, size_t nameLength) const;
  const char* Text(uint32_t offset) const { return file_.data() + offset; }
  /// Writes at most `size` bytes of the item's unescaped value to `out`;
  /// returns how many.
  size_t CopyValue(const Item& item, char* out, size_t size) const;
  size_t ItemIndex(const Item* item) const { return static_cast<size_t>(item - items_.data()); }

 private:
  bool Parse();
  MappedFile file_;
  std::vector<Item> items_;
  std::vector<View> views_;
  DocumentMap documents_;
};

/// Design note ID of the view at `index`: multiples of 4 well below the
/// category bit, the way design notes sit at the start of a database.
inline NOTEID ViewNoteId(size_t index) { return static_cast<NOTEID>(0x100 + index * 4); }

// ---- text (text.cc) ----

/// LMBCS (optimised for group 1) to UTF-8. Writes whole characters only,
/// never more than `outSize` bytes; returns the bytes written.
size_t LmbcsToUtf8(const unsigned char* in, size_t inLength, char* out, size_t outSize);

/// Strips the CN=/OU=/O=/C= labels of a canonical name; any other form comes
/// back unchanged.
std::string AbbreviateName(const char* name);

/// Built-in text for a status code, or null.
const char* BuiltInStatusText(STATUS code);

// ---- the program's heap (allocation_faults.cc) ----

/// From the `first`-th (1-based) on, every allocation that the program
/// makes through its C runtime's malloc, calloc or realloc fails.
void FailAllocationsFrom(uint64_t first);
/// Puts the program's allocations back; false when nothing was replaced.
/// `allocations` is how many were asked for meanwhile, failed or not.
bool StopFailingAllocations(uint64_t* allocations);

// ---- call log (call_log.cc) ----

/// Appends one line to the file named by NNOTES_SIM_LOG, if set. Each line is
/// written by its own open/append/close, so a dying process loses nothing.
void LogLine(const std::string& line);
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace sim

#endif  // BREVON_SIM_SIM_H_
