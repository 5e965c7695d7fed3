// Tests of the simulated server library, loaded by full path from the build's
// sim folder (or a scratch copy) exactly as a program would see it.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "pe_image.h"
#include "scratch.h"
#include "test_env.h"

namespace {

typedef uint16_t STATUS;
typedef uint32_t DHANDLE;
typedef uint16_t HCOLLECTION;

struct Position {
  uint16_t level;
  uint8_t minLevel, maxLevel;
  uint32_t tumbler[32];
};
struct BlockId {
  uint32_t pool;
  uint16_t block;
};
struct Unid {
  uint32_t innards[4];
};

typedef STATUS(WINAPI* InitFn)(int, char**);
typedef void(WINAPI* TermFn)();
typedef STATUS(WINAPI* DbOpenFn)(const char*, DHANDLE*);
typedef STATUS(WINAPI* CloseFn)(DHANDLE);
typedef BOOL(WINAPI* GetEnvFn)(const char*, char*, uint16_t);
typedef uint16_t(WINAPI* LoadStringFn)(HMODULE, STATUS, char*, uint16_t);
typedef BOOL(WINAPI* UnlockFn)(DHANDLE);
typedef void*(WINAPI* LockFn)(DHANDLE);
typedef uint16_t(WINAPI* ItemGetTextFn)(DHANDLE, const char*, char*, uint16_t);
typedef STATUS(WINAPI* NoteOpenFn)(DHANDLE, uint32_t, uint16_t, DHANDLE*);
// Wide parameters on purpose: the library must read only the declared width.
typedef STATUS(WINAPI* NoteOpenWideFn)(uint64_t, uint64_t, uint64_t, DHANDLE*);
typedef STATUS(WINAPI* OpenCollectionFn)(DHANDLE, DHANDLE, uint32_t, uint16_t, DHANDLE,
                                         HCOLLECTION*, DHANDLE*, Unid*, DHANDLE*, DHANDLE*);
typedef STATUS(WINAPI* CloseCollectionFn)(HCOLLECTION);
typedef STATUS(WINAPI* ReadEntriesFn)(HCOLLECTION, Position*, uint16_t, uint32_t, uint16_t,
                                      uint32_t, uint32_t, DHANDLE*, uint16_t*, uint32_t*,
                                      uint32_t*, uint16_t*);
typedef STATUS(WINAPI* FindDesignNoteFn)(DHANDLE, const char*, uint16_t, const char*, uint32_t*,
                                         uint32_t);
typedef STATUS(WINAPI* ItemInfoFn)(DHANDLE, const char*, uint16_t, BlockId*, uint16_t*,
                                   BlockId*, uint32_t*);
typedef STATUS(WINAPI* AbbreviateFn)(uint32_t, const char*, const char*, char*, uint16_t,
                                     uint16_t*);
typedef uint16_t(WINAPI* TranslateFn)(uint16_t, const char*, uint16_t, char*, uint16_t);

const char* const kExports[] = {
    "NotesInitExtended", "NSFDbOpen", "NSFDbClose", "NotesTerm", "NSFNoteClose",
    "OSGetEnvironmentString", "OSLoadString", "OSUnlockObject", "OSLockObject", "OSMemFree",
    "NSFItemGetText", "NSFNoteOpen", "NIFOpenCollection", "NIFCloseCollection",
    "NIFReadEntries", "NIFFindDesignNoteExt", "NSFItemInfo", "DNAbbreviate", "OSTranslate"};

const char kFixture[] =
    "# directory\n"
    "view People\n"
    "  note 0x10\n"
    "ShortName=jdoe\n"
    "FullName=J\\x81rg D\\\\oe\n"
    "Lines=one\\x00two\n"
    "$REF=\n"
    "note 20\n"
    "entry 24\n"
    "note 28\n"
    "note 32\n";

std::wstring Unique() {
  static int counter = 0;
  return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) + L"-" +
         std::to_wstring(++counter);
}

std::wstring Wide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                              static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

std::vector<unsigned char> Cell(size_t size = 8) { return std::vector<unsigned char>(size, 0xAA); }

// How many leading bytes of a 0xAA-filled cell were written.
size_t Written(const std::vector<unsigned char>& cell) {
  size_t last = 0;
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != 0xAA) last = i + 1;
  }
  return last;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    scratch_ = std::wstring(temp) + L"sim-test-" + Unique();
    ASSERT_TRUE(CreateDirectoryW(scratch_.c_str(), nullptr));
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    oldDirectory_ = cwd;
    ASSERT_TRUE(SetCurrentDirectoryW(scratch_.c_str()));
    logPath_ = scratch_ + L"\\calls.log";
    SetEnvironmentVariableW(L"NNOTES_SIM_LOG", logPath_.c_str());
  }

  void TearDown() override {
    if (module_) FreeLibrary(module_);
    SetEnvironmentVariableW(L"NNOTES_SIM_LOG", nullptr);
    SetEnvironmentVariableW(L"NNOTES_SIM_FIRST_DIRECTORY", nullptr);
    SetCurrentDirectoryW(oldDirectory_.c_str());
    RemoveTree(scratch_);
  }

  void Write(const std::wstring& name, const std::string& text) {
    HANDLE file = CreateFileW((scratch_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(logPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!text.empty()) ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    std::istringstream in(text.substr(0, got));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  template <typename T>
  T Fn(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  void Load(const std::wstring& path = SimulatorDirectory() + L"\\nnotes.dll") {
    module_ = LoadLibraryW(path.c_str());
    ASSERT_NE(module_, nullptr) << Utf8(path);
    init = Fn<InitFn>("NotesInitExtended");
    term = Fn<TermFn>("NotesTerm");
    dbOpen = Fn<DbOpenFn>("NSFDbOpen");
    dbClose = Fn<CloseFn>("NSFDbClose");
    noteClose = Fn<CloseFn>("NSFNoteClose");
    memFree = Fn<CloseFn>("OSMemFree");
    getEnv = Fn<GetEnvFn>("OSGetEnvironmentString");
    loadString = Fn<LoadStringFn>("OSLoadString");
    unlock = Fn<UnlockFn>("OSUnlockObject");
    lock = Fn<LockFn>("OSLockObject");
    itemGetText = Fn<ItemGetTextFn>("NSFItemGetText");
    noteOpen = Fn<NoteOpenFn>("NSFNoteOpen");
    openCollection = Fn<OpenCollectionFn>("NIFOpenCollection");
    closeCollection = Fn<CloseCollectionFn>("NIFCloseCollection");
    readEntries = Fn<ReadEntriesFn>("NIFReadEntries");
    findDesignNote = Fn<FindDesignNoteFn>("NIFFindDesignNoteExt");
    itemInfo = Fn<ItemInfoFn>("NSFItemInfo");
    abbreviate = Fn<AbbreviateFn>("DNAbbreviate");
    translate = Fn<TranslateFn>("OSTranslate");
  }

  STATUS Init() {
    char program[] = "Z:\\opt\\Brevon.exe";
    char* argv[] = {program, nullptr};
    return init(1, argv);
  }

  // Loads the library with `ini` and the standard fixture, initialises and
  // opens the view; failures show in the returned status.
  STATUS OpenView(const std::string& ini = "", const char* fixture = kFixture,
                  const char* view = "people") {
    Write(L"notes.ini", ini);
    Write(L"names.nsf", fixture);
    Load();
    STATUS status = Init();
    if (status == 0) status = dbOpen("names.nsf", &db);
    uint32_t viewId = 0;
    if (status == 0) status = findDesignNote(db, view, 8, "-G40n^", &viewId, 0);
    if (status == 0)
      status = openCollection(db, db, viewId, 0, 0, &collection, nullptr, nullptr, nullptr,
                              nullptr);
    return status;
  }

  struct Read {
    STATUS status;
    DHANDLE buffer = 0;
    uint32_t returned = 0;
    uint16_t flags = 0xFFFF;
    std::vector<uint32_t> ids;
  };
  Read ReadNext(uint32_t count = 0xFFFFFFFF) {
    Read r;
    uint32_t skipped;
    r.status = readEntries(collection, &position, 1, 1, 1, count, 1, &r.buffer, nullptr, &skipped,
                           &r.returned, &r.flags);
    if (r.status == 0 && r.buffer) {
      auto* ids = static_cast<uint32_t*>(lock(r.buffer));
      if (ids) r.ids.assign(ids, ids + r.returned);
      if (ids) unlock(r.buffer);
      memFree(r.buffer);
    }
    return r;
  }

  std::wstring scratch_, oldDirectory_, logPath_;
  HMODULE module_ = nullptr;
  DHANDLE db = 0;
  HCOLLECTION collection = 0;
  Position position{};

  InitFn init;
  TermFn term;
  DbOpenFn dbOpen;
  CloseFn dbClose, noteClose, memFree;
  GetEnvFn getEnv;
  LoadStringFn loadString;
  UnlockFn unlock;
  LockFn lock;
  ItemGetTextFn itemGetText;
  NoteOpenFn noteOpen;
  OpenCollectionFn openCollection;
  CloseCollectionFn closeCollection;
  ReadEntriesFn readEntries;
  FindDesignNoteFn findDesignNote;
  ItemInfoFn itemInfo;
  AbbreviateFn abbreviate;
  TranslateFn translate;
};

TEST_F(SimTest, ExportsExactlyTheEntryPointsAndVariantsLackOne) {
  struct Case {
    const wchar_t* file;
    const char* missing;
  } cases[] = {{L"nnotes.dll", nullptr},
               {L"nnotes-no-NotesInitExtended.dll", "NotesInitExtended"},
               {L"nnotes-no-OSTranslate.dll", "OSTranslate"}};
  for (const Case& c : cases) {
    std::vector<std::string> names;
    ASSERT_TRUE(ReadExportedNames(SimulatorDirectory() + L"\\" + c.file, &names));
    std::vector<std::string> expected;
    for (const char* name : kExports) {
      if (!c.missing || strcmp(name, c.missing) != 0) expected.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << Utf8(c.file);
  }
}

TEST_F(SimTest, CallsBeforeInitAndAfterTermAreRefused) {
  Write(L"names.nsf", kFixture);
  Load();
  DHANDLE handle = 0;
  EXPECT_EQ(dbOpen("names.nsf", &handle), 535);
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(dbOpen("names.nsf", &handle), 0);
  term();
  EXPECT_EQ(dbClose(handle), 535);
  EXPECT_EQ(memFree(handle), 535);
  char out[8];
  EXPECT_EQ(abbreviate(0, nullptr, "CN=a", out, sizeof out, nullptr), 535);
}

TEST_F(SimTest, ItemTextKeepsEscapedBytesAndTruncates) {
  ASSERT_EQ(OpenView(), 0);
  DHANDLE note = 0;
  ASSERT_EQ(noteOpen(db, 0x10, 1, &note), 0);
  char text[32];
  ASSERT_EQ(itemGetText(note, "fullname", text, sizeof text), 9);
  EXPECT_EQ(std::string(text, 9), "J\x81rg D\\oe");
  // A short buffer cuts after whole escapes, never inside one.
  ASSERT_EQ(itemGetText(note, "FullName", text, 3), 2);
  EXPECT_EQ(std::string(text, 3), std::string("J\x81\0", 3));
  ASSERT_EQ(itemGetText(note, "FullName", text, 8), 7);
  EXPECT_EQ(std::string(text, 8), std::string("J\x81rg D\\\0", 8));
  uint32_t valueLength = 0;
  ASSERT_EQ(itemInfo(note, "FullName", 8, nullptr, nullptr, nullptr, &valueLength), 0);
  EXPECT_EQ(valueLength, 9u + 2u) << "the unescaped length and the type word";
  ASSERT_EQ(itemGetText(note, "Lines", text, sizeof text), 7);
  EXPECT_EQ(std::string(text, 8), std::string("one\0two\0", 8));
  memset(text, 'x', sizeof text);
  EXPECT_EQ(itemGetText(note, "ShortName", text, 3), 2);
  EXPECT_EQ(std::string(text, 4), std::string("jd\0x", 4));
  EXPECT_EQ(itemGetText(note, "$REF", text, sizeof text), 0);
  EXPECT_EQ(itemGetText(note, "Missing", text, sizeof text), 0);
  EXPECT_EQ(text[0], '\0');
  // Present-but-empty and absent differ only through NSFItemInfo, which reads
  // exactly the given name length.
  EXPECT_EQ(itemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(itemInfo(note, "$REFERENCE", 4, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(itemInfo(note, "Missing", 7, nullptr, nullptr, nullptr, nullptr), 546);
  EXPECT_EQ(noteClose(note), 0);
  DHANDLE other = 0;
  EXPECT_EQ(noteOpen(db, 24, 1, &other), 551);  // a view entry without a document
  EXPECT_EQ(noteOpen(db, 999, 1, &other), 551);
  EXPECT_EQ(other, 0u);
}

TEST_F(SimTest, CategoryRowsAreReadInPlaceAndAreNoNotes) {
  ASSERT_EQ(OpenView("",
                     "view Other\ncategory\nnote 4\n"
                     "view People\n  category  \nnote 8\ncategory\nentry 12\n",
                     "People"),
            0);
  EXPECT_EQ(ReadNext().ids, (std::vector<uint32_t>{0x80000002, 8, 0x80000003, 12}));
  DHANDLE note = 0;
  EXPECT_EQ(noteOpen(db, 0x80000002, 1, &note), 551);
  EXPECT_EQ(note, 0u);
  EXPECT_EQ(LogLines().back(), "misuse NSFNoteOpen note ID 0x80000002 is a category row");
  ASSERT_EQ(noteOpen(db, 8, 1, &note), 0);
  EXPECT_EQ(noteClose(note), 0);
  for (const char* broken : {"category\nview V\n", "view V\ncategory 5\n"}) {
    Write(L"broken.nsf", broken);
    DHANDLE other = 0;
    EXPECT_EQ(dbOpen("broken.nsf", &other), 513) << broken;
  }
}

TEST_F(SimTest, OutParametersHaveTheirPublishedWidths) {
  Write(L"names.nsf", kFixture);
  Load();
  ASSERT_EQ(Init(), 0);
  auto dbCell = Cell();
  ASSERT_EQ(dbOpen("names.nsf", reinterpret_cast<DHANDLE*>(dbCell.data())), 0);
  EXPECT_EQ(Written(dbCell), 4u);
  memcpy(&db, dbCell.data(), 4);

  auto idCell = Cell();
  ASSERT_EQ(findDesignNote(db, "PEOPLE", 8, "", reinterpret_cast<uint32_t*>(idCell.data()), 0), 0);
  EXPECT_EQ(Written(idCell), 4u);
  uint32_t viewId;
  memcpy(&viewId, idCell.data(), 4);
  EXPECT_EQ(viewId & 0x80000000u, 0u);

  auto collectionCell = Cell();
  ASSERT_EQ(openCollection(db, db, viewId, 0, 0,
                           reinterpret_cast<HCOLLECTION*>(collectionCell.data()), nullptr,
                           nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(Written(collectionCell), 2u);
  memcpy(&collection, collectionCell.data(), 2);

  auto buffer = Cell(), length = Cell(), skipped = Cell(), returned = Cell(), flags = Cell();
  ASSERT_EQ(readEntries(collection, &position, 1, 1, 1, 2, 1,
                        reinterpret_cast<DHANDLE*>(buffer.data()),
                        reinterpret_cast<uint16_t*>(length.data()),
                        reinterpret_cast<uint32_t*>(skipped.data()),
                        reinterpret_cast<uint32_t*>(returned.data()),
                        reinterpret_cast<uint16_t*>(flags.data())),
            0);
  // Small values: the high bytes written are zeros, so the count is the width.
  EXPECT_EQ(Written(buffer), 4u);
  EXPECT_EQ(Written(length), 2u);
  EXPECT_EQ(Written(skipped), 4u);
  EXPECT_EQ(Written(returned), 4u);
  EXPECT_EQ(Written(flags), 2u);
  EXPECT_EQ(flags[0], 0x20);

  // Upper garbage in by-value arguments must be ignored.
  auto noteCell = Cell();
  auto noteOpenWide = Fn<NoteOpenWideFn>("NSFNoteOpen");
  ASSERT_EQ(noteOpenWide(0xDEADBEEF00000000ull | db, 0x1234567800000010ull, 0xFFFF0001ull,
                         reinterpret_cast<DHANDLE*>(noteCell.data())),
            0);
  EXPECT_EQ(Written(noteCell), 4u);
  DHANDLE note;
  memcpy(&note, noteCell.data(), 4);

  auto type = Cell(), valueLength = Cell();
  ASSERT_EQ(itemInfo(note, "ShortName", 9, nullptr, reinterpret_cast<uint16_t*>(type.data()),
                     nullptr, reinterpret_cast<uint32_t*>(valueLength.data())),
            0);
  EXPECT_EQ(Written(type), 2u);
  EXPECT_EQ(Written(valueLength), 4u);

  auto abbreviatedLength = Cell();
  char name[32];
  ASSERT_EQ(abbreviate(0, nullptr, "CN=a/O=b", name, sizeof name,
                       reinterpret_cast<uint16_t*>(abbreviatedLength.data())),
            0);
  EXPECT_EQ(Written(abbreviatedLength), 2u);
  EXPECT_EQ(abbreviatedLength[0], 3);
}

TEST_F(SimTest, LengthsExcludeTheTerminatingZero) {
  Write(L"other.ini", "ServerName=CN=Mail1/O=Acme\nSimStatusText=551:Gone away\n");
  Load();
  char program[] = "Z:\\opt\\Brevon.exe";
  char pick[] = "=other.ini";
  char* argv[] = {program, pick, nullptr};
  ASSERT_EQ(init(2, argv), 0);
  char value[16];
  memset(value, 'x', sizeof value);
  EXPECT_TRUE(getEnv("SERVERNAME", value, 3));
  EXPECT_EQ(std::string(value, 5), std::string("CN=\0x", 5));
  EXPECT_FALSE(getEnv("MailServer", value, sizeof value - 1));
  memset(value, 'x', sizeof value);
  EXPECT_EQ(loadString(nullptr, 551, value, 4), 4);
  EXPECT_EQ(std::string(value, 6), std::string("Gone\0x", 6));
}

TEST_F(SimTest, TranslatesLmbcsToWholeUtf8Characters) {
  Load();
  char out[20];
  auto run = [&](const std::string& in, uint16_t outLength) {
    memset(out, 'x', sizeof out);
    uint16_t n = translate(22, in.data(), static_cast<uint16_t>(in.size()), out, outLength);
    EXPECT_LE(n, outLength);
    EXPECT_EQ(out[outLength], 'x');
    return std::string(out, n);
  };
  EXPECT_EQ(run(std::string("a\0\x81", 3), 16), std::string("a\0\xC3\xBC", 4));
  EXPECT_EQ(run("\x01\x81", 16), "\xC3\xBC");
  EXPECT_EQ(run("\x14\x20\xAC", 16), "\xE2\x82\xAC");
  EXPECT_EQ(run("\x14\xF6\x41", 16), "\xE4\x84\x80");  // U+4100
  EXPECT_EQ(run(std::string("\x14\xD8\x3D\x14\xDE\x00", 6), 16), "\xF0\x9F\x98\x80");
  EXPECT_EQ(run("\x10\xA4\xA2z", 16), "?z");  // another group: one mark
  EXPECT_EQ(run("a\x81", 2), "a");  // no half characters
  EXPECT_EQ(run("\x14\x20\xAC", 2), "");
  // Every group-1 byte agrees with the system's code page 850.
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    wchar_t wide;
    ASSERT_EQ(MultiByteToWideChar(850, 0, &in, 1, &wide, 1), 1);
    char utf8[8];
    int n = WideCharToMultiByte(CP_UTF8, 0, &wide, 1, utf8, sizeof utf8, nullptr, nullptr);
    EXPECT_EQ(run(std::string(1, in), 16), std::string(utf8, n)) << b;
  }
  EXPECT_EQ(translate(1, "abc", 0xFFFF, out, 2), 2);
}

TEST_F(SimTest, AbbreviatesCanonicalNamesOnly) {
  Load();
  ASSERT_EQ(Init(), 0);
  auto run = [&](const char* in) {
    char out[64];
    uint16_t length = 0;
    EXPECT_EQ(abbreviate(0, nullptr, in, out, sizeof out, &length), 0) << in;
    EXPECT_EQ(length, strlen(out));
    return std::string(out);
  };
  EXPECT_EQ(run("CN=Mail1/OU=Sales/O=Acme"), "Mail1/Sales/Acme");
  EXPECT_EQ(run("cn=Mail1/o=Acme/c=DE"), "Mail1/Acme/DE");
  EXPECT_EQ(run("Mail1/Sales/Acme"), "Mail1/Sales/Acme");
  EXPECT_EQ(run("CN=Mail1/Sales"), "CN=Mail1/Sales");
  EXPECT_EQ(run("Mail1"), "Mail1");
  char small[8];
  memset(small, 'x', sizeof small);
  EXPECT_NE(abbreviate(0, nullptr, "CN=Mail1/O=Acme", small, sizeof small, nullptr), 0);
  EXPECT_EQ(small[0], 'x');
}

TEST_F(SimTest, ReadsInBatchesAndSignalsMore) {
  ASSERT_EQ(OpenView("SimReadBatch=2\n"), 0);
  Read first = ReadNext();
  EXPECT_EQ(first.ids, (std::vector<uint32_t>{0x10, 20}));
  EXPECT_EQ(first.flags & 0x20, 0x20);
  EXPECT_EQ(position.tumbler[0], 2u);
  Read second = ReadNext(1);
  EXPECT_EQ(second.ids, (std::vector<uint32_t>{24}));
  EXPECT_EQ(second.flags & 0x20, 0x20);
  Read third = ReadNext();
  EXPECT_EQ(third.ids, (std::vector<uint32_t>{28, 32}));
  EXPECT_EQ(third.flags, 0);
  Read after = ReadNext();
  EXPECT_EQ(after.status, 0);
  EXPECT_EQ(after.buffer, 0u);
  EXPECT_EQ(after.returned, 0u);
  EXPECT_EQ(after.flags, 0);
}

TEST_F(SimTest, InitStatusSetting) {
  Write(L"notes.ini", "SimInitStatus=2055\n");
  Load();
  EXPECT_EQ(Init(), 2055);
  DHANDLE handle;
  EXPECT_EQ(dbOpen("names.nsf", &handle), 535);
}

TEST_F(SimTest, DbOpenStatusSettingAndMissingOrBrokenFiles) {
  Load();
  ASSERT_EQ(Init(), 0);
  DHANDLE handle = 0;
  EXPECT_EQ(dbOpen("names.nsf", &handle), 259);
  Write(L"names.nsf", "FullName=before any note\n");
  EXPECT_EQ(dbOpen("names.nsf", &handle), 513);
  // An empty file cannot be mapped, yet it is a directory without views.
  Write(L"names.nsf", "");
  ASSERT_EQ(dbOpen("names.nsf", &handle), 0);
  uint32_t viewId = 0;
  EXPECT_EQ(findDesignNote(handle, "people", 8, "-G40n^", &viewId, 0), 1028);
  EXPECT_EQ(dbClose(handle), 0);
  handle = 0;
  term();
  Write(L"notes.ini", "SimDbOpenStatus=0x0246\n");
  Write(L"names.nsf", kFixture);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(dbOpen("names.nsf", &handle), 582);
  EXPECT_EQ(handle, 0u);
}

TEST_F(SimTest, FindDesignNoteStatusSetting) {
  EXPECT_EQ(OpenView("SimFindDesignNoteStatus=781\n"), 781);
}

TEST_F(SimTest, OpenCollectionStatusSetting) {
  EXPECT_EQ(OpenView("SimOpenCollectionStatus=779\n"), 779);
}

TEST_F(SimTest, ReadEntriesStatusSettingLeavesOutputsAlone) {
  ASSERT_EQ(OpenView("SimReadEntriesStatus=2:2055\n"), 0);
  EXPECT_EQ(ReadNext(1).status, 0);
  Position before = position;
  Read failed = ReadNext();
  EXPECT_EQ(failed.status, 2055);
  EXPECT_EQ(failed.flags, 0xFFFF);
  EXPECT_EQ(memcmp(&before, &position, sizeof position), 0);
  EXPECT_EQ(ReadNext(1).ids, (std::vector<uint32_t>{20}));
}

TEST_F(SimTest, ReadEntriesNoBufferSetting) {
  ASSERT_EQ(OpenView("SimReadEntriesNoBuffer=1\n"), 0);
  Read empty = ReadNext();
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.buffer, 0u);
  EXPECT_EQ(empty.returned, 0u);
  EXPECT_EQ(empty.flags & 0x20, 0x20);
  EXPECT_EQ(position.tumbler[0], 0u);
  EXPECT_EQ(ReadNext().ids.size(), 5u);
}

TEST_F(SimTest, ReadNoProgressSettingKeepsThePositionAndAsksForMore) {
  ASSERT_EQ(OpenView("SimReadBatch=2\nSimReadNoProgress=2\n"), 0);
  EXPECT_EQ(ReadNext().ids, (std::vector<uint32_t>{0x10, 20}));
  Position before = position;
  for (int i = 0; i < 2; ++i) {
    Read again = ReadNext();
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.ids, (std::vector<uint32_t>{24, 28}));
    EXPECT_EQ(again.flags & 0x20, 0x20);
    EXPECT_EQ(memcmp(&before, &position, sizeof position), 0);
  }
  position.tumbler[0] = 5;  // the last entry: nothing left to read
  Read none = ReadNext();
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.buffer, 0u);
  EXPECT_EQ(none.flags & 0x20, 0x20);
  EXPECT_EQ(position.tumbler[0], 5u);
  term();
  EXPECT_EQ(LogLines().back(),
            "term databases 1/0 collections 1/0 notes 0/0 buffers 3/3 locks 3/3");
}

TEST_F(SimTest, LockNullSetting) {
  ASSERT_EQ(OpenView("SimLockNull=1\n"), 0);
  DHANDLE buffer = 0;
  uint32_t returned = 0;
  uint16_t flags = 0;
  ASSERT_EQ(readEntries(collection, &position, 1, 1, 1, 1, 1, &buffer, nullptr, nullptr,
                        &returned, &flags),
            0);
  EXPECT_EQ(lock(buffer), nullptr);
  EXPECT_EQ(memFree(buffer), 0);
  EXPECT_EQ(ReadNext().ids.size(), 4u);
}

TEST_F(SimTest, NoteOpenStatusSetting) {
  ASSERT_EQ(OpenView("SimNoteOpenStatus=28:549\n"), 0);
  DHANDLE note = 0;
  EXPECT_EQ(noteOpen(db, 28, 1, &note), 549);
  EXPECT_EQ(noteOpen(db, 32, 1, &note), 0);
}

TEST_F(SimTest, CloseStatusSettingsStillClose) {
  ASSERT_EQ(OpenView("SimCloseCollectionStatus=2055\nSimDbCloseStatus=0x807\n"), 0);
  EXPECT_EQ(closeCollection(collection), 2055);
  EXPECT_EQ(dbClose(db), 2055);
  term();
  EXPECT_EQ(LogLines().at(2), "term databases 1/1 collections 1/1 notes 0/0 buffers 0/0 locks 0/0");
}

TEST_F(SimTest, AbbreviateStatusSetting) {
  Write(L"notes.ini", "SimAbbreviateStatus=1028:CN=Bad/O=Acme\n");
  Load();
  ASSERT_EQ(Init(), 0);
  char out[32] = "untouched";
  EXPECT_EQ(abbreviate(0, nullptr, "CN=Bad/O=Acme", out, sizeof out, nullptr), 1028);
  EXPECT_STREQ(out, "untouched");
  EXPECT_EQ(abbreviate(0, nullptr, "CN=Good/O=Acme", out, sizeof out, nullptr), 0);
}

TEST_F(SimTest, StatusTextSetting) {
  Write(L"notes.ini", "SimStatusText=4000:Custom text\nSimStatusText=551:\n");
  Load();
  ASSERT_EQ(Init(), 0);
  char text[64];
  EXPECT_EQ(loadString(nullptr, 4000, text, sizeof text - 1), 11);
  EXPECT_STREQ(text, "Custom text");
  EXPECT_EQ(loadString(nullptr, 551, text, sizeof text - 1), 0);
  EXPECT_GT(loadString(nullptr, 259, text, sizeof text - 1), 0);
  EXPECT_EQ(loadString(nullptr, 4001, text, sizeof text - 1), 0);
  // Codes are not masked here: a caller that forgets ERR() gets no text.
  EXPECT_EQ(loadString(nullptr, 0x8000 | 259, text, sizeof text - 1), 0);
  EXPECT_EQ(loadString(nullptr, 0x4000 | 4000, text, sizeof text - 1), 0);
}

TEST_F(SimTest, LogBalancesTakenAgainstGivenBack) {
  ASSERT_EQ(OpenView(), 0);
  DHANDLE note = 0;
  ASSERT_EQ(noteOpen(db, 20, 1, &note), 0);
  ReadNext();
  ReadNext();
  ASSERT_EQ(closeCollection(collection), 0);
  term();
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "load");
  EXPECT_EQ(lines[1], "init 1 \"Z:\\opt\\Brevon.exe\"");
  EXPECT_EQ(lines[2], "term databases 1/0 collections 1/1 notes 1/0 buffers 1/1 locks 1/1");
}

TEST_F(SimTest, LogReportsHandlesGivenBackTwice) {
  ASSERT_EQ(OpenView(), 0);
  DHANDLE buffer = 0;
  uint32_t returned;
  uint16_t flags;
  ASSERT_EQ(readEntries(collection, &position, 1, 1, 1, 1, 1, &buffer, nullptr, nullptr,
                        &returned, &flags),
            0);
  EXPECT_EQ(memFree(buffer), 0);
  EXPECT_EQ(memFree(buffer), 0);
  EXPECT_EQ(noteClose(db), 0);  // a database handle where a note belongs
  char expected[80];
  snprintf(expected, sizeof expected, "misuse OSMemFree buffer 0x%08X given back twice",
           static_cast<unsigned>(buffer));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], expected);
  EXPECT_EQ(lines[3].rfind("misuse NSFNoteClose note 0x", 0), 0u) << lines[3];
}

TEST_F(SimTest, NeedProgramDirectorySettingLooksAtArgv0ThenPath) {
  const std::string dir = Utf8(SimulatorDirectory());
  std::string upper = dir;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  struct Case {
    std::string program, path;
    STATUS status;
  } cases[] = {
      {dir + "\\Brevon.exe", "", 0},
      {upper + "\\Brevon.exe", "C:\\windows", 0},
      {dir + "\\bin\\Brevon.exe", "C:\\windows", 0x3F04},
      {"Brevon.exe", "", 0x3F04},
      {"Brevon.exe", dir + "\\..;C:\\windows;" + dir + "x", 0x3F04},
      {"Brevon.exe", "C:\\windows;;\"" + upper + "\\\";", 0},
      {"Brevon.exe", dir + "\\\\", 0x3F04},
  };
  wchar_t saved[32767];
  DWORD savedLength = GetEnvironmentVariableW(L"PATH", saved, 32767);
  Write(L"notes.ini", "SimNeedProgramDirectory=1\n");
  Write(L"names.nsf", kFixture);
  Load();
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"PATH", Wide(c.path).c_str());
    std::string program = c.program;
    char* argv[] = {&program[0], nullptr};
    EXPECT_EQ(init(1, argv), c.status) << c.program << " PATH=" << c.path;
    DHANDLE handle = 0;
    EXPECT_EQ(dbOpen("names.nsf", &handle), c.status ? 535 : 0) << "left uninitialised";
    if (c.status == 0) {
      dbClose(handle);
      term();
    }
  }
  SetEnvironmentVariableW(L"PATH", savedLength ? saved : nullptr);
  char text[80];
  EXPECT_GT(loadString(nullptr, 0x3F04, text, sizeof text - 1), 0);
  EXPECT_EQ(LogLines().at(5), "init 1 \"" + dir + "\\bin\\Brevon.exe\"") << "logged on failure";
}

TEST_F(SimTest, KeepFirstDirectorySettingOutlivesTheLibrary) {
  Write(L"notes.ini", "Directory=first\nSimKeepFirstDirectory=1\n");
  Write(L"names.nsf", kFixture);
  ASSERT_TRUE(CreateDirectoryW((scratch_ + L"\\second").c_str(), nullptr));
  Write(L"second\\notes.ini", "Directory=second\n");
  Load();
  ASSERT_EQ(Init(), 0);
  term();
  FreeLibrary(module_);
  module_ = nullptr;
  ASSERT_TRUE(SetCurrentDirectoryW((scratch_ + L"\\second").c_str()));
  Load();
  ASSERT_EQ(Init(), 0);
  char value[16] = "";
  EXPECT_TRUE(getEnv("Directory", value, sizeof value - 1));
  EXPECT_STREQ(value, "first");
  DHANDLE handle = 0;
  EXPECT_EQ(dbOpen("names.nsf", &handle), 0) << "only the first directory has one";
  EXPECT_EQ(dbClose(handle), 0);
  term();
}

TEST_F(SimTest, RefuseLoadSetting) {
  Write(L"notes.ini", "SimRefuseLoad=1\n");
  module_ = LoadLibraryW((SimulatorDirectory() + L"\\nnotes.dll").c_str());
  EXPECT_EQ(module_, nullptr);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"load refused"});
}

TEST_F(SimTest, NextLibrarySettingSwapsTheFileAtTerm) {
  std::wstring folder = scratch_ + L"\\lib";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  for (const wchar_t* file : {L"nnotes.dll", L"nnotes-no-OSTranslate.dll"}) {
    ASSERT_TRUE(CopyFileW((SimulatorDirectory() + L"\\" + file).c_str(),
                          (folder + L"\\" + file).c_str(), FALSE));
  }
  Write(L"notes.ini", "SimNextLibrary=nnotes-no-OSTranslate.dll\n");
  Load(folder + L"\\nnotes.dll");
  ASSERT_NE(translate, nullptr);
  ASSERT_EQ(Init(), 0);
  term();
  FreeLibrary(module_);
  module_ = nullptr;
  Load(folder + L"\\nnotes.dll");
  EXPECT_EQ(GetProcAddress(module_, "OSTranslate"), nullptr);
  EXPECT_NE(GetProcAddress(module_, "NotesInitExtended"), nullptr);
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[3], "replaced by nnotes-no-OSTranslate.dll");
  EXPECT_EQ(lines[4], "unload");
}

}  // namespace
