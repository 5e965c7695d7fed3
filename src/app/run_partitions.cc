#include "app/run_partitions.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/error_report.h"
#include "base/listing_lines.h"
#include "base/text.h"
#include "census/census.h"
#include "install/registry.h"
#include "inventory/walk.h"
#include "notes/notes_api.h"
#include "notes/notes_text.h"

namespace {

// The partition's server names from its notes.ini, as read and abbreviated.
struct ServerNames {
  char server[kNotesTextSize];
  char mailServer[kNotesTextSize];
  char abbreviatedServer[kNotesTextSize];
  char abbreviatedMailServer[kNotesTextSize];
};

// Abbreviates `fullName`; on failure the full name stands in for it.
void Abbreviate(const char* fullName, char* abbreviated, const char* errorFormat) {
  memset(abbreviated, 0, kNotesTextSize);
  NotesStatus status = AbbreviateName(fullName, abbreviated);
  if (status != kNotesNoError) {
    memcpy(abbreviated, fullName, kNotesTextSize);
    ReportStatusError(status, errorFormat, fullName, abbreviated);
  }
}

void ReadServerNames(ServerNames& names) {
  ReadEnvironment("ServerName", names.server);
  ReadEnvironment("MailServer", names.mailServer);
  Abbreviate(names.server, names.abbreviatedServer,
             "Error: unable to abbreviate server name (%s, %s).\n");
  Abbreviate(names.mailServer, names.abbreviatedMailServer,
             "Error: unable to abbreviate mail server name (%s, %s).\n");
}

void PrintPartitionHeader(int number, const ServerNames& names, const ReportOptions& options) {
  printf("Partition %d:\n", number);
  printf(" Server name: %s\n", names.abbreviatedServer);
  if (options.details) {
    printf(" Mail server name: %s (%s)\n", names.abbreviatedMailServer, names.mailServer);
  } else {
    printf(" Mail server name: %s\n", names.abbreviatedMailServer);
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

// Counts one partition and prints its block, from the empty line before it
// to its last database line; adds its mailboxes to `total`. The server
// library is loaded, initialised, used and released within. Returns false
// when the run has to stop: the library could not be bound or initialised.
bool RunPartition(int number, const std::wstring& dataDirectory, int argc, char** argv,
                  const ReportOptions& options, int32_t& total) {
  if (!EnterDataDirectory(number, dataDirectory)) return true;

  HMODULE library = nullptr;
  if (!BindNotesApi(library)) {
    ReportError("Error: unable to initialize notes functions.\n");
    return false;
  }
  NotesStatus status = g_notes.NotesInitExtended(argc, argv);
  if (status != kNotesNoError) {
    // The library stays loaded: nothing documents a release without NotesTerm.
    ReportStatusError(status, "Error: unable to initialize Notes (%d).\n",
                      static_cast<int>(status));
    return false;
  }

  printf("\n");
  ServerNames names;
  ReadServerNames(names);
  PrintPartitionHeader(number, names, options);

  int32_t found = 0;
  int32_t other = 0;
  ListingLines foundLines = ReportLines();
  ListingLines otherLines = ReportLines();
  if (!MailboxCensus(names.abbreviatedMailServer, found, other, options, foundLines,
                     otherLines)) {
    ReportError("Error: unable to count mailboxes.\n");
  }

  bool listing = options.names || options.details;
  printf(" Mailboxes found: %d\n", found);
  if (listing) PrintLines(foundLines);
  printf(" Mailboxes on other mail servers (not included): %d\n", other);
  if (listing) PrintLines(otherLines);
  if (options.details) {
    // The header counts the lines that follow, so the walk collects them.
    ListingLines databases = ReportLines();
    WalkDirectory(1, dataDirectory.c_str(), databases);
    printf(" Databases: %lu\n", static_cast<unsigned long>(databases.size()));
    PrintLines(databases);
  }

  total += found;
  UnbindNotesApi(library);
  return true;
}

}  // namespace

int RunPartitions(int argc, char** argv, const ReportOptions& options) {
  const unsigned errorsBefore = ReportedErrorCount();
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
    if (!RunPartition(number, partitions.dataDirectories[number - 1], argc, argv, options,
                      total)) {
      fflush(stdout);
      return kExitStopped;
    }
  }

  printf("\nTotal counted mailboxes: %d\n\n", total);
  return ReportedErrorCount() != errorsBefore ? kExitWithErrors : kExitClean;
}
