#include "app/run_partitions.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

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

// Prints each line as "  %s\n", the line end as text mode writes it. The
// lines go out in large chunks in binary mode: the runtime's text-mode
// translation writes in small pieces, which dominated long listings. Serves
// the person lines and the database lines alike.
template <typename Lines>
void PrintLines(const Lines& lines) {
  constexpr size_t kChunkBytes = 64 * 1024;
  fflush(stdout);
  int previousMode = _setmode(_fileno(stdout), _O_BINARY);
  std::string chunk;
  chunk.reserve(kChunkBytes + 512);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    // Single characters: a two-byte text goes through the runtime's memcpy.
    chunk.push_back(' ');
    chunk.push_back(' ');
    chunk.append(line.data(), line.size());
    chunk.push_back('\r');
    chunk.push_back('\n');
    if (chunk.size() >= kChunkBytes) {
      fwrite(chunk.data(), 1, chunk.size(), stdout);
      chunk.clear();
    }
  }
  if (!chunk.empty()) fwrite(chunk.data(), 1, chunk.size(), stdout);
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
    ListingLines foundLines;
    ListingLines otherLines;
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
      DatabaseLines databases;
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
