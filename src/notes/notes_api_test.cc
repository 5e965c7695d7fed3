#include "notes/notes_api.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"

#include "base/stop_request.h"
#include "notes/library_search.h"

#include "pe_image.h"
#include "sim_session.h"
#include "test_env.h"

namespace {

bool LibraryIsLoaded() { return GetModuleHandleW(L"nnotes.dll") != nullptr; }

// Binds from a folder that holds `variant` (a file of the simulator's build
// folder) under the name nnotes.dll, or no library at all when empty.
struct BindOutcome {
  bool bound = false;
  HMODULE handle = nullptr;
  std::string out;
  bool loadedAfter = false;
};

BindOutcome BindFromFolderWith(const std::wstring& variant) {
  std::wstring folder = MakeScratchDirectory(L"brevon-bind");
  if (!variant.empty()) {
    EXPECT_TRUE(CopyFileW((SimulatorDirectory() + L"\\" + variant).c_str(),
                          (folder + L"\\nnotes.dll").c_str(), FALSE))
        << Utf8(variant);
  }
  UseProgramDirectory(folder);
  BindOutcome outcome;
  testing::internal::CaptureStdout();
  outcome.bound = BindNotesApi(outcome.handle);
  fflush(stdout);
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.loadedAfter = LibraryIsLoaded();
  if (outcome.bound) UnbindNotesApi(outcome.handle);
  UseProgramDirectory(L"");
  RemoveTree(folder);
  return outcome;
}

TEST(BindNotesApi, MissingLibrary) {
  BindOutcome o = BindFromFolderWith(L"");
  EXPECT_FALSE(o.bound);
  EXPECT_EQ("Error: unable to load dll (nnotes.dll).\n", o.out);
  EXPECT_EQ(nullptr, o.handle);
  EXPECT_TRUE(NotesApiIsEmpty());
}

TEST(BindNotesApi, LibraryWithoutTheFirstOrALateName) {
  for (const wchar_t* variant : {L"nnotes-no-NotesInitExtended.dll", L"nnotes-no-OSTranslate.dll"}) {
    BindOutcome o = BindFromFolderWith(variant);
    EXPECT_FALSE(o.bound) << Utf8(variant);
    EXPECT_EQ("Error: unable to obtain function from dll.\n", o.out) << Utf8(variant);
    EXPECT_FALSE(o.loadedAfter) << Utf8(variant) << ": the library must be released";
    EXPECT_TRUE(NotesApiIsEmpty()) << Utf8(variant);
  }
}

TEST(BindNotesApi, HandleSlotInUseLoadsNothing) {
  SetDllDirectoryW(SimulatorDirectory().c_str());
  HMODULE slot = reinterpret_cast<HMODULE>(GetModuleHandleW(nullptr));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(BindNotesApi(slot));
  fflush(stdout);
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ(GetModuleHandleW(nullptr), slot);
  EXPECT_FALSE(LibraryIsLoaded());
  EXPECT_TRUE(NotesApiIsEmpty());
  SetDllDirectoryW(nullptr);
}

TEST(BindNotesApi, EachBindLoadsAndEachUnbindReleasesOnce) {
  SimSession session("", nullptr);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(session.Start()) << "round " << round;
    EXPECT_TRUE(LibraryIsLoaded());
    EXPECT_FALSE(NotesApiIsEmpty());
    EXPECT_NE(nullptr, g_notes.NSFItemInfo);
    EXPECT_NE(nullptr, g_notes.OSTranslate);
    session.Stop();
    EXPECT_FALSE(LibraryIsLoaded()) << "round " << round;
    EXPECT_TRUE(NotesApiIsEmpty()) << "every slot, the last ones included, is null again";
  }
  std::string log = session.Log();
  const std::string once = "load\ninit 1 \"Brevon.exe\"\n";
  size_t first = log.find(once);
  ASSERT_NE(std::string::npos, first) << log;
  size_t second = log.find(once, first + 1);
  ASSERT_NE(std::string::npos, second) << log;
  EXPECT_EQ(std::string::npos, log.find(once, second + 1)) << log;
  EXPECT_EQ(2u, [&] {
    size_t n = 0;
    for (size_t at = log.find("unload"); at != std::string::npos; at = log.find("unload", at + 1)) ++n;
    return n;
  }()) << log;
  EXPECT_EQ("", UnbalancedObjects(log));
}

// Closing the console while the library loads must wait for it to be given
// back: the library is marked bound before the load, and a stop asked as
// the mark is set loads nothing.
bool g_boundWhileLoading = false;
int g_loads = 0;
HMODULE WINAPI RecordedLoad(LPCWSTR) {
  ++g_loads;
  g_boundWhileLoading = ServerLibraryBound();
  return nullptr;
}
FARPROC SystemKernelFunction(const char* name) {
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}
void StopAsTheMarkIsSet(bool bound) {
  if (bound) HandleConsoleControl(CTRL_C_EVENT);
}

TEST(BindNotesApi, MarksTheLibraryBoundAndThenLooksForAStopBeforeItLoads) {
  const LibrarySearchSeam recorded = {SystemKernelFunction, RecordedLoad};
  SetLibrarySearchSeam(&recorded);
  HMODULE library = nullptr;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(BindNotesApi(library));
  EXPECT_EQ(1, g_loads);
  EXPECT_TRUE(g_boundWhileLoading) << "bound while the library loads";
  SetBoundMarkSeam(StopAsTheMarkIsSet);
  EXPECT_FALSE(BindNotesApi(library));
  SetBoundMarkSeam(nullptr);
  ClearStopRequest();
  testing::internal::GetCapturedStdout();
  SetLibrarySearchSeam(nullptr);
  EXPECT_EQ(1, g_loads) << "loads after a stop asked as the library was marked bound";
  EXPECT_FALSE(ServerLibraryBound()) << "no library bound after either";
}

// The simulated library keeps its own list of exports; both lists must name
// the same entry points, so that neither can gain one the other lacks.
TEST(NotesApiEntryNames, MatchTheSimulatedLibrarysExports) {
  std::vector<std::string> exported;
  ASSERT_TRUE(ReadExportedNames(SimulatorDirectory() + L"\\nnotes.dll", &exported));
  std::vector<std::string> resolved = NotesApiEntryNames();
  std::sort(exported.begin(), exported.end());
  std::sort(resolved.begin(), resolved.end());
  EXPECT_EQ(exported, resolved);
}

}  // namespace
