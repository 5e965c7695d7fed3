#include "app/run_partitions.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/report.h"
#include "census/census.h"
#include "install/registry.h"
#include "inventory/walk.h"
#include "notes/notes_api.h"

namespace {

constexpr uint16_t kNameSize = 260;

// Report lines are printed as "  %s\n" in text mode, which writes the line
// end as CR LF. Lists built with this prefix and suffix hold that text.
constexpr char kReportLinePrefix[] = "  ";
constexpr char kReportLineEnd[] = "\r\n";

ListingLines ReportLines() { return ListingLines::Framed(kReportLinePrefix, kReportLineEnd); }

// Writes the lines' blocks as they stand, in binary mode: they already hold
// the indent and the CR LF, and the runtime's text-mode translation writes in
// small pieces, which dominated long listings. Blocks go out in 64 KiB
// slices: whole megabyte writes cost more system time, measured under Wine.
void PrintLines(const ListingLines& lines) {
  constexpr size_t kWriteBytes = 64 * 1024;
  fflush(stdout);
  int previousMode = _setmode(_fileno(stdout), _O_BINARY);
  for (size_t i = 0; i < lines.BlockCount(); ++i) {
    std::string_view block = lines.Block(i);
    for (size_t offset = 0; offset < block.size(); offset += kWriteBytes) {
      fwrite(block.data() + offset, 1, std::min(kWriteBytes, block.size() - offset), stdout);
    }
  }
  fflush(stdout);
  if (previousMode != -1) _setmode(_fileno(stdout), previousMode);
}

void PrintTotal(int32_t total) { printf("\nTotal counted mailboxes: %d\n\n", total); }

// Reads an environment value of the server into a zeroed 260-byte buffer.
void ReadEnvironment(const char* name, char* value) {
  memset(value, 0, kNameSize);
  // The library's length excludes the terminating zero.
  g_notes.OSGetEnvironmentString(name, value, kNameSize - 1);
}

// Abbreviates `fullName`; on failure the full name stands in for it.
void AbbreviateName(const char* fullName, char* abbreviated, const char* errorFormat) {
  memset(abbreviated, 0, kNameSize);
  uint16_t length = 0;
  NotesStatus status = g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, fullName, abbreviated,
                                            kNameSize, &length);
  abbreviated[kNameSize - 1] = '\0';
  if (status != kNotesNoError) {
    memcpy(abbreviated, fullName, kNameSize);
    ReportError(errorFormat, fullName, abbreviated);
    PrintStatusText(status);
  }
}

// Makes `directory` the current directory. A partition whose data directory
// cannot be entered must not be counted in whatever directory the run is in:
// that would count the previous partition a second time.
bool EnterDataDirectory(int number, const std::wstring& directory) {
  if (!directory.empty() && _wchdir(directory.c_str()) == 0) return true;
  printf("\n");
  printf("Partition %d:\n", number);
  std::string printable;
  AppendUtf8(directory.data(), directory.size(), printable);
  ReportError("Error: unable to change to data directory (%s).\n", printable.c_str());
  return false;
}

}  // namespace

int RunPartitions(int argc, char** argv, bool names, bool details) {
  wchar_t programDirectory[kPathChars];
  memset(programDirectory, 0, sizeof(programDirectory));
  PartitionList partitions;
  int count = 0;
  if (!GetServerRegistryData(programDirectory, &partitions, count)) {
    ReportError("Error: unable to get domino registry data.\n");
  }
  // Lets the bare name nnotes.dll resolve to the server's own library.
  if (SetDllDirectoryW(programDirectory) == 0) {
    ReportError("Error: unable to set dll directory.\n");
  }

  int32_t total = 0;
  for (int number = 1; number <= count; ++number) {
    const std::wstring& dataDirectory = partitions.dataDirectories[number - 1];
    ListingLines foundLines = ReportLines();
    ListingLines otherLines = ReportLines();
    if (!EnterDataDirectory(number, dataDirectory)) continue;

    HMODULE library = nullptr;
    if (!BindNotesApi(library)) {
      ReportError("Error: unable to initialize notes functions.\n");
      fflush(stdout);
      return kExitStopped;
    }
    NotesStatus status = g_notes.NotesInitExtended(argc, argv);
    if (status != kNotesNoError) {
      ReportError("Error: unable to initialize Notes (%d).\n", static_cast<int>(status));
      PrintStatusText(status);
      fflush(stdout);
      return kExitStopped;
    }

    printf("\n");
    char serverName[kNameSize];
    char mailServerName[kNameSize];
    char abbreviatedServerName[kNameSize];
    char abbreviatedMailServerName[kNameSize];
    ReadEnvironment("ServerName", serverName);
    ReadEnvironment("MailServer", mailServerName);
    AbbreviateName(serverName, abbreviatedServerName,
                   "Error: unable to abbreviate server name (%s, %s).\n");
    AbbreviateName(mailServerName, abbreviatedMailServerName,
                   "Error: unable to abbreviate mail server name (%s, %s).\n");

    printf("Partition %d:\n", number);
    printf(" Server name: %s\n", abbreviatedServerName);
    if (details) {
      printf(" Mail server name: %s (%s)\n", abbreviatedMailServerName, mailServerName);
    } else {
      printf(" Mail server name: %s\n", abbreviatedMailServerName);
    }

    int32_t found = 0;
    int32_t other = 0;
    if (!MailboxCensus(abbreviatedMailServerName, found, other, names, details, foundLines,
                       otherLines)) {
      ReportError("Error: unable to count mailboxes.\n");
    }

    bool listing = names || details;
    printf(" Mailboxes found: %d\n", found);
    if (listing) PrintLines(foundLines);
    printf(" Mailboxes on other mail servers (not included): %d\n", other);
    if (listing) PrintLines(otherLines);
    if (details) {
      // The header counts the lines that follow, so the walk collects them.
      ListingLines databases = ReportLines();
      WalkDirectory(1, dataDirectory.c_str(), databases);
      printf(" Databases: %lu\n", static_cast<unsigned long>(databases.size()));
      PrintLines(databases);
    }

    total += found;
    UnbindNotesApi(library);
  }

  PrintTotal(total);
  return ErrorWasReported() ? kExitWithErrors : kExitClean;
}
