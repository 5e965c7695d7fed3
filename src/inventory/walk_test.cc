#include "inventory/walk.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "gtest/gtest.h"

#include "base/open_on_disk.h"
#include "base/stop_request.h"
#include "inventory/file_system.h"

#include "failing_allocator.h"
#include "listing_lines_support.h"
#include "open_handles.h"
#include "scratch.h"
#include "test_env.h"

namespace {

using Lines = std::vector<std::string>;

Lines Texts(const ListingLines& lines) {
  Lines texts;
  for (size_t i = 0; i < lines.size(); ++i) texts.emplace_back(lines[i]);
  return texts;
}

// Scratch drive S: where the harness made one (its root is then a small,
// known tree), the temporary folder elsewhere.
std::wstring ScratchBase() {
  DWORD attributes = GetFileAttributesW(L"S:\\");
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return L"S:";
  }
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, length);
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  return base;
}

// Each test builds its trees in a folder of its own, removed afterwards.
class WalkTest : public testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    name_ = L"walk-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    root_ = ScratchBase() + L"\\" + name_;
    RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr)) << Utf8(root_);
    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, current);
    savedDirectory_ = current;
    // An empty link text walks the current drive's root: keep that on the
    // scratch drive, never the whole file system.
    ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str())) << Utf8(root_);
  }

  void TearDown() override {
    SetCurrentDirectoryW(savedDirectory_.c_str());
    RemoveTree(root_);
  }

  // Full path of `relative` below the test's folder.
  std::wstring At(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  std::string Line(const std::wstring& relative) const { return Utf8(At(relative)); }

  // Creates the folder `relative` and any missing parents.
  void MakeDirectory(const std::wstring& relative) {
    for (size_t end = relative.find(L'\\'); ; end = relative.find(L'\\', end + 1)) {
      std::wstring path = At(relative.substr(0, end));
      if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Utf8(path);
      }
      if (end == std::wstring::npos) break;
    }
  }

  // Writes `bytes` to the file `relative`, creating its folder.
  void MakeFile(const std::wstring& relative, const std::string& bytes = std::string()) {
    size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos) MakeDirectory(relative.substr(0, slash));
    std::wstring path = At(relative);
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file) << Utf8(path);
    size_t written = bytes.empty() ? 0 : fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    ASSERT_EQ(bytes.size(), written) << Utf8(path);
  }

  // A link file whose text is `target` (a test folder) followed by `tail`;
  // the folders are ASCII, which reads the same in any ANSI code page.
  void MakeLink(const std::wstring& relative, const std::wstring& target,
                const std::string& tail = std::string()) {
    MakeFile(relative, Utf8(At(target)) + tail);
  }

  Lines Walk(const std::wstring& directory, uint16_t depth = 1) {
    ListingLines lines;
    EXPECT_TRUE(WalkDirectory(depth, directory.c_str(), lines)) << Utf8(directory);
    return Texts(lines);
  }

  std::wstring name_;
  std::wstring root_;
  std::wstring savedDirectory_;
};

TEST(WalkDirectoryTest, NullDirectoryFails) {
  ListingLines lines = LinesOf({"kept"});
  EXPECT_FALSE(WalkDirectory(1, nullptr, lines));
  EXPECT_EQ(Lines({"kept"}), Texts(lines));
}

TEST_F(WalkTest, ExtensionsAreMatchedExactlyOnTheLastFourCharacters) {
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\b.box");
  MakeFile(L"D\\upper\\A.NSF");  // apart from a.nsf, which it would be on a folding file system
  MakeFile(L"D\\c.Box");
  MakeFile(L"D\\d.ntf");
  MakeFile(L"D\\e.nsf.bak");
  MakeFile(L"D\\.nsf");
  MakeFile(L"D\\.box");
  MakeFile(L"D\\g.NSF");
  MakeFile(L"D\\f.nsf\\inner.nsf");  // a directory with a database's name is walked
  // Only "." and ".." themselves are passed over.
  MakeFile(L"D\\.hidden\\h.nsf");
  MakeFile(L"D\\..more\\m.nsf");
  EXPECT_EQ(Lines({Line(L"D\\..more\\m.nsf"), Line(L"D\\.hidden\\h.nsf"),
                   Line(L"D\\f.nsf\\inner.nsf"), Line(L"D\\a.nsf"), Line(L"D\\b.box")}),
            Walk(At(L"D")));
}

TEST_F(WalkTest, SkippedEndingsInAnyAsciiCaseAndTheirNearMisses) {
  MakeFile(L"D\\a\\Domino\\HTML\\x.nsf");
  MakeFile(L"D\\b\\DOMINO\\Icons\\x.nsf");
  MakeFile(L"D\\c\\domino\\JS\\x.nsf");
  MakeFile(L"D\\d\\doMINO\\jaVA\\x.nsf");
  MakeFile(L"D\\e\\mydomino\\html\\x.nsf");
  MakeFile(L"D\\f\\domino\\html5\\x.nsf");
  MakeFile(L"D\\g\\domino\\json\\x.nsf");
  // U+017F folds to 's' only under Unicode rules.
  MakeFile(L"D\\h\\domino\\icon\u017f\\x.nsf");
  MakeFile(L"D\\c\\domino\\kept.nsf");
  EXPECT_EQ(Lines({Line(L"D\\c\\domino\\kept.nsf"), Line(L"D\\e\\mydomino\\html\\x.nsf"),
                   Line(L"D\\f\\domino\\html5\\x.nsf"), Line(L"D\\g\\domino\\json\\x.nsf"),
                   Line(L"D\\h\\domino\\icon\u017f\\x.nsf")}),
            Walk(At(L"D")));
}

TEST_F(WalkTest, SkippedEndingIsMatchedOnTheWholePathButNotOnLinkTargets) {
  MakeFile(L"srv\\domino\\js\\x.nsf");
  MakeFile(L"srv\\domino\\other\\y.nsf");
  MakeFile(L"web\\domino\\html\\z.nsf");
  MakeLink(L"srv\\domino\\web.dir", L"web\\domino\\html", "\r\n");
  EXPECT_EQ(Lines({Line(L"srv\\domino\\other\\y.nsf"), Line(L"web\\domino\\html\\z.nsf")}),
            Walk(At(L"srv\\domino")));
}

// The test drive lists a.nsf, b.box, c.ntf, far.dir, mail in this order:
// the link's target and the subdirectory print first, in that order, then
// D's own.
TEST_F(WalkTest, OwnDatabasesComeAfterEverythingNestedInSearchOrder) {
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\mail\\x.nsf");
  MakeFile(L"D\\b.box");
  MakeLink(L"D\\far.dir", L"T", "\r\n");
  MakeFile(L"D\\c.ntf");
  MakeFile(L"T\\y.nsf");
  EXPECT_EQ(Lines({Line(L"T\\y.nsf"), Line(L"D\\mail\\x.nsf"), Line(L"D\\a.nsf"),
                   Line(L"D\\b.box")}),
            Walk(At(L"D")));
}

TEST_F(WalkTest, LinesAreAppendedToWhatTheListHeld) {
  MakeFile(L"D\\a.nsf");
  // Kept as the report prints them: the walk's lines take the list's form.
  ListingLines lines = ListingLines::Framed(">", ";");
  lines.StartLine().append("earlier");
  lines.FinishLine();
  EXPECT_TRUE(WalkDirectory(1, At(L"D").c_str(), lines));
  EXPECT_EQ(Lines({"earlier", Line(L"D\\a.nsf")}), Texts(lines));
  ASSERT_EQ(1u, lines.BlockCount());
  EXPECT_EQ(">earlier;>" + Line(L"D\\a.nsf") + ";", lines.Block(0));
}

// Each link sits alone in a data directory of its own and names T, which
// holds y.nsf.
TEST_F(WalkTest, LinkTextLosesAtMostTwoTrailingLineBreakBytesOrItsAccessList) {
  struct Case {
    std::string tail;
    std::vector<std::wstring> expected;  // below the test folder
  };
  const Case cases[] = {
      {"\r\n", {L"T\\y.nsf"}},
      {"\n", {L"T\\y.nsf"}},
      {"\r", {L"T\\y.nsf"}},
      {"\n\r", {L"T\\y.nsf"}},
      {"", {L"T\\y.nsf"}},
      {"\n\n", {L"T\\y.nsf"}},
      {"\r\n\r\n", {}},  // "T\r\n" names no directory
      {"\\\r\n", {L"T\\\\y.nsf"}},
      {std::string("\0\\junk\r\n", 8), {L"T\\y.nsf"}},  // a zero byte ends the path
      // An access list: the names allowed to use the link, after the path.
      {"\r\nLocalDomainAdmins\r\n", {L"T\\y.nsf"}},
      {"\nAdmins", {L"T\\y.nsf"}},
      {"\r\n\r\nMail Admins\r\nJ Doe/Acme\r\n", {L"T\\y.nsf"}},
      // However long the list: the file may be far larger than a path, and
      // far larger than what one read gives.
      {"\r\n" + std::string(600, 'A') + "\r\nJ Doe/Acme\r\n", {L"T\\y.nsf"}},
      {std::string(6000, '\n') + "Admins", {L"T\\y.nsf"}},
  };
  MakeFile(L"T\\y.nsf");
  int number = 0;
  for (const Case& c : cases) {
    std::wstring data = L"D" + std::to_wstring(++number);
    MakeLink(data + L"\\t.dir", L"T", c.tail);
    Lines expected;
    for (const std::wstring& path : c.expected) expected.push_back(Line(path));
    EXPECT_EQ(expected, Walk(At(data))) << "link text T followed by "
                                        << testing::PrintToString(c.tail);
  }
}

// A name may end in a blank only when made without the platform's path
// rules; both folders exist, so a trimmed text would list T\y.nsf.
TEST_F(WalkTest, TrailingBlankStaysPartOfTheLinkedPath) {
  MakeFile(L"T\\y.nsf");
  const std::wstring blank = At(L"T ");
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + blank).c_str(), nullptr)) << Utf8(blank);
  MakeFile(L"T \\z.nsf");
  MakeLink(L"D\\t.dir", L"T", " \r\n");
  EXPECT_EQ(Lines({Line(L"T \\z.nsf")}), Walk(At(L"D")));
}

TEST_F(WalkTest, LinkFilesOfAnyLengthButEmptyOnesAreFollowedWhole) {
  const size_t prefix = Utf8(root_).size() + 1;  // the test folder and a backslash
  const std::wstring fits(259 - prefix, L'f');
  const std::wstring full(260 - prefix, L'g');
  MakeFile(fits + L"\\y.nsf");
  MakeFile(full + L"\\z.nsf");
  // What a reader that stopped at 259 bytes would follow.
  MakeFile(full.substr(1) + L"\\cut.nsf");
  MakeLink(L"D\\fits.dir", fits);
  MakeLink(L"D\\full.dir", full);
  MakeFile(L"D\\empty.dir");
  ASSERT_EQ(259u, Utf8(At(fits)).size());
  ASSERT_EQ(260u, Utf8(At(full)).size());
  Lines lines = Walk(At(L"D"));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(Lines({Line(fits + L"\\y.nsf"), Line(full + L"\\z.nsf")}), lines);
}

TEST_F(WalkTest, DatabasesSixLevelsDeepAtMost) {
  std::wstring level = L"D";
  for (int depth = 1; depth <= 7; ++depth) {
    MakeFile(level + L"\\n" + std::to_wstring(depth) + L".nsf");
    level += L"\\" + std::to_wstring(depth);
  }
  MakeFile(L"T\\y.nsf");
  MakeLink(L"D\\1\\2\\3\\4\\near.dir", L"T");  // found at depth 5: T is depth 6
  MakeLink(L"D\\1\\2\\3\\4\\5\\far.dir", L"T");  // found at depth 6: T is not searched
  EXPECT_EQ(Lines({Line(L"D\\1\\2\\3\\4\\5\\n6.nsf"), Line(L"T\\y.nsf"),
                   Line(L"D\\1\\2\\3\\4\\n5.nsf"), Line(L"D\\1\\2\\3\\n4.nsf"),
                   Line(L"D\\1\\2\\n3.nsf"), Line(L"D\\1\\n2.nsf"), Line(L"D\\n1.nsf")}),
            Walk(At(L"D")));
}

TEST_F(WalkTest, DepthsBeyondSixSearchNothing) {
  MakeFile(L"D\\a.nsf");
  EXPECT_EQ(Lines({Line(L"D\\a.nsf")}), Walk(At(L"D"), 6));
  EXPECT_EQ(Lines(), Walk(At(L"D"), 7));
  EXPECT_EQ(Lines(), Walk(At(L"D"), 65535));
}

TEST_F(WalkTest, LinkToItsOwnDirectoryListsItOnce) {
  MakeFile(L"D\\a.nsf");
  MakeLink(L"D\\self.dir", L"D", "\r\n");
  EXPECT_EQ(Lines({Line(L"D\\a.nsf")}), Walk(At(L"D")));
}

TEST_F(WalkTest, MissingDirectoriesListNothing) {
  EXPECT_EQ(Lines(), Walk(At(L"missing")));
  MakeFile(L"D\\a.nsf");
  MakeLink(L"D\\gone.dir", L"missing", "\r\n");
  MakeFile(L"D\\not-a-directory.dir", Utf8(At(L"D\\a.nsf")));
  MakeFile(L"D\\sub\\b.nsf");
  EXPECT_EQ(Lines({Line(L"D\\sub\\b.nsf"), Line(L"D\\a.nsf")}), Walk(At(L"D")));
}

// Relative texts resolve against the current directory (the data directory
// during a run, the test's folder here), not the link file's folder.
TEST_F(WalkTest, RelativeLinkTextResolvesAgainstTheCurrentDirectory) {
  MakeFile(L"T\\y.nsf");
  MakeFile(L"D\\sub\\t.dir", "T\r\n");
  EXPECT_EQ(Lines({"T\\y.nsf"}), Walk(At(L"D")));
}

// A bare line break, or a zero byte first, names nothing: the empty path
// would be the current drive's root, here the scratch drive.
TEST_F(WalkTest, LinkOfOnlyALineBreakOrAZeroByteNamesNothing) {
  if (ScratchBase() != L"S:") GTEST_SKIP() << "needs the scratch drive S:";
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\root.dir", "\r\n");
  MakeFile(L"D\\zero.dir", std::string("\0S:\\\r\n", 6));
  EXPECT_EQ(Lines({"D\\a.nsf"}), Walk(L"D"));
}

TEST_F(WalkTest, PathsArePrintedWholeInUtf8) {
  // U+00E4, U+65E5 and U+1F600 (a surrogate pair): 2, 3 and 4 bytes.
  const std::wstring folder = L"D\\\u00e4\u65e5\U0001F600";
  const std::string folderUtf8 = "D\\\xc3\xa4\xe6\x97\xa5\xf0\x9f\x98\x80";
  MakeFile(folder + L"\\x.nsf");
  // Under 260 UTF-16 units, but 2 bytes a unit in UTF-8: far over 260 bytes.
  const std::wstring wide(120, L'\u00e9');
  MakeFile(L"D\\" + wide + L"\\" + wide + L".nsf");
  // And one whose directory alone is over 260 bytes.
  MakeFile(L"D\\" + wide + L"\\" + wide + L"\\" + wide + L".nsf");
  std::string wideUtf8;
  for (int k = 0; k < 120; ++k) wideUtf8 += "\xc3\xa9";
  const std::string longDirectory = Utf8(root_) + "\\D\\" + wideUtf8;
  ASSERT_GE(longDirectory.size() + 1 + wideUtf8.size(), 260u);
  EXPECT_EQ(Lines({Utf8(root_) + "\\" + folderUtf8 + "\\x.nsf",
                   longDirectory + "\\" + wideUtf8 + "\\" + wideUtf8 + ".nsf",
                   longDirectory + "\\" + wideUtf8 + ".nsf"}),
            Walk(At(L"D")));
}

// The link's bytes are in the system's ANSI code page.
TEST_F(WalkTest, LinkTextIsReadInTheAnsiCodePage) {
  const std::wstring target = L"T\u00e9";
  std::wstring full = At(target);
  BOOL lossy = FALSE;
  char ansi[MAX_PATH * 2] = {};
  int length = WideCharToMultiByte(CP_ACP, 0, full.c_str(), static_cast<int>(full.size()), ansi,
                                   sizeof(ansi), nullptr, GetACP() == CP_UTF8 ? nullptr : &lossy);
  if (length == 0 || lossy) GTEST_SKIP() << "the ANSI code page has no U+00E9";
  MakeFile(target + L"\\y.nsf");
  MakeFile(L"D\\t.dir", std::string(ansi, length) + "\r\n");
  EXPECT_EQ(Lines({Line(target + L"\\y.nsf")}), Walk(At(L"D")));
}

// A file system that cannot list a folder with file IDs, as some network
// redirectors answer; its searches by name are counted.
BOOL WINAPI ListingWithIdsRefused(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
int g_searchesStarted = 0;
int g_searchesOpen = 0;
HANDLE WINAPI CountedFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
  HANDLE search = FindFirstFileW(pattern, found);
  if (search != INVALID_HANDLE_VALUE) ++g_searchesStarted, ++g_searchesOpen;
  return search;
}
BOOL WINAPI CountedFindClose(HANDLE search) {
  --g_searchesOpen;
  return FindClose(search);
}

TEST_F(WalkTest, ListingByNameGivesWhatTheListingWithIdsGives) {
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\sub\\b.nsf");
  MakeFile(L"D\\sub\\deeper\\c.box");
  MakeLink(L"D\\far.dir", L"T", "\r\n");
  MakeLink(L"D\\sub\\back.dir", L"D", "\r\n");
  MakeFile(L"T\\y.nsf");
  const Lines withIds = Walk(At(L"D"));
  ASSERT_EQ(4u, withIds.size());
  const FileSystemSeam byName = {ListingWithIdsRefused, CountedFindFirstFile, FindNextFileW,
                                 CountedFindClose, GetDriveTypeW};
  SetFileSystemSeam(&byName);
  const Lines listedByName = Walk(At(L"D"));
  SetFileSystemSeam(nullptr);
  EXPECT_EQ(withIds, listedByName);
  EXPECT_EQ(4, g_searchesStarted) << "D, sub, deeper and T are searched by name";
  EXPECT_EQ(0, g_searchesOpen) << "every search is closed";
}

// A stop asked while a folder is listed by name ends its listing there.
int g_namesListedAfterStop = 0;
HANDLE WINAPI StoppingFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
  HandleConsoleControl(CTRL_C_EVENT);
  return FindFirstFileW(pattern, found);
}
BOOL WINAPI CountedFindNextFile(HANDLE search, LPWIN32_FIND_DATAW found) {
  ++g_namesListedAfterStop;
  return FindNextFileW(search, found);
}

TEST_F(WalkTest, AStopAskedEndsAListingByName) {
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\b.nsf");
  const FileSystemSeam byName = {ListingWithIdsRefused, StoppingFindFirstFile,
                                 CountedFindNextFile, FindClose, GetDriveTypeW};
  SetFileSystemSeam(&byName);
  ListingLines lines;
  bool whole = WalkDirectory(1, At(L"D").c_str(), lines);
  SetFileSystemSeam(nullptr);
  ClearStopRequest();
  EXPECT_FALSE(whole);
  EXPECT_EQ(0, g_namesListedAfterStop) << "names asked for after the stop";
}

// Every open of the walk, as asked; folders named "P" open as a pipe, whose
// writing ends are kept here. Drive R: is mapped to a share.
struct Open {
  std::wstring path;
  DWORD flags;
};
std::vector<Open> g_opens;
std::vector<HANDLE> g_pipeWriters;
HANDLE WINAPI RecordedCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
  g_opens.push_back({path, flags});
  std::wstring name = path;
  if (name.size() >= 3 && name.compare(name.size() - 3, 3, L"\\P\\") == 0) {
    HANDLE read, write;
    if (!CreatePipe(&read, &write, nullptr, 0)) return INVALID_HANDLE_VALUE;
    g_pipeWriters.push_back(write);
    return read;
  }
  return CreateFileW(path, access, share, security, disposition, flags, templateFile);
}
UINT WINAPI DriveRIsRemote(LPCWSTR root) {
  return (root[0] == L'R' || root[0] == L'r') ? DRIVE_REMOTE : GetDriveTypeW(root);
}

// Links that name other machines, drives mapped to their shares or devices
// open nothing; every open asks for identification only, and what opens as
// anything but a disk is closed unread.
TEST_F(WalkTest, LinksLeadToLocalFoldersOnlyOpenedSafely) {
  MakeFile(L"T\\y.nsf");
  MakeFile(L"V\\v.nsf");
  MakeFile(L"D\\P\\hidden.nsf");
  const char* const passedOver[] = {"\\\\host\\share\\mail", "//host/share/mail",
                                    "\\\\.\\pipe\\brevon", "\\\\?\\UNC\\host\\share",
                                    "\\??\\UNC\\host\\share", "\\\\.\\C:\\",
                                    "R:\\mail", "\\\\?\\r:\\mail"};
  int number = 0;
  for (const char* text : passedOver) {
    MakeFile(L"D\\n" + std::to_wstring(++number) + L".dir", text);
  }
  MakeFile(L"D\\verbatim.dir", "\\\\?\\" + Line(L"V"));
  MakeFile(L"D\\relative.dir", "T");
  MakeLink(L"D\\pipe.dir", L"D\\P");
  const FileSystemSeam remoteR = {GetFileInformationByHandleEx, FindFirstFileW, FindNextFileW,
                                  FindClose, DriveRIsRemote};
  const std::vector<unsigned long long> handlesBefore = OpenHandles();
  SetFileSystemSeam(&remoteR);
  SetCreateFileSeam(RecordedCreateFile);
  Lines lines = Walk(At(L"D"));
  SetCreateFileSeam(nullptr);
  SetFileSystemSeam(nullptr);
  ASSERT_EQ(2u, g_pipeWriters.size()) << "D\\P opened as a pipe once from D, once through pipe.dir";
  for (HANDLE writer : g_pipeWriters) CloseHandle(writer);
  EXPECT_EQ(handlesBefore, OpenHandles()) << "the pipes were closed unused";

  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(Lines({"T\\y.nsf", "\\\\?\\" + Line(L"V\\v.nsf")}), lines);
  for (const Open& open : g_opens) {
    for (const char* text : passedOver) {
      const std::string opened = Utf8(open.path);
      EXPECT_NE(0u, opened.rfind(text, 0)) << opened;
    }
    EXPECT_EQ(static_cast<DWORD>(SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION),
              open.flags & (SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION | SECURITY_DELEGATION))
        << Utf8(open.path);
  }
}

TEST_F(WalkTest, AStopAskedEndsTheWalk) {
  MakeFile(L"D\\a.nsf");
  HandleConsoleControl(CTRL_C_EVENT);
  ListingLines lines;
  EXPECT_FALSE(WalkDirectory(1, At(L"D").c_str(), lines));
  ClearStopRequest();
  EXPECT_EQ(0u, lines.size());
}

// Each allocation of a walk fails in turn: what found no memory is left
// out, everything else keeps its order, and no handle stays open.
TEST_F(WalkTest, AFailedAllocationLeavesOutOnlyWhatFoundNoMemory) {
  MakeFile(L"D\\a.nsf");
  MakeFile(L"D\\sub\\b.nsf");
  MakeFile(L"D\\sub\\deeper\\c.box");
  MakeLink(L"D\\far.dir", L"T", "\r\n");
  MakeFile(L"T\\y.nsf");
  const Lines all = Walk(At(L"D"));
  ASSERT_EQ(4u, all.size());
  const std::wstring directory = At(L"D");
  // The process's first exception takes handles of the system's own.
  try {
    throw std::bad_alloc();
  } catch (...) {
  }
  const std::vector<unsigned long long> handlesBefore = OpenHandles();

  long skipped = 0;
  for (;; ++skipped) {
    ListingLines lines;
    FailOneAllocationAfter(skipped);
    bool result = WalkDirectory(1, directory.c_str(), lines);
    bool failed = StopFailingAllocations();
    EXPECT_TRUE(result);
    Lines found = Texts(lines);
    // What is left is `all` less some lines, in the same order.
    size_t next = 0;
    for (const std::string& line : found) {
      while (next < all.size() && all[next] != line) ++next;
      EXPECT_LT(next, all.size()) << "allocation " << skipped << ": " << line;
      ++next;
    }
    if (!failed) {
      EXPECT_EQ(all, found);
    }
    EXPECT_EQ(found != all, lines.lost()) << "allocation " << skipped;
    EXPECT_EQ(handlesBefore, OpenHandles()) << "allocation " << skipped;
    if (!failed) break;
  }
  EXPECT_GE(skipped, 10) << "paths, lists and buffers are allocated";
}

}  // namespace
