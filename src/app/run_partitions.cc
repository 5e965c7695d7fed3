#include "app/run_partitions.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/listing_lines.h"
#include "base/progress.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "census/census.h"
#include "install/registry.h"
#include "inventory/directory_identity.h"
#include "inventory/walk.h"
#include "notes/library_search.h"
#include "notes/notes_api.h"
#include "notes/notes_text.h"

namespace {

// What the partitions of one run share.
struct Run {
  int argc;
  char** argv;
  const ReportOptions& options;
  int32_t total = 0;
  // The data directories that the server library named ("Directory") for
  // the partitions counted so far.
  std::vector<std::string> servedDirectories;
  // The data directories entered so far, as the file system knows them.
  std::vector<DirectoryIdentity> enteredDirectories;
};

// How the work on one partition ends.
enum class PartitionEnd {
  kDone,             // the next partition follows
  kStopped,          // the server library could not be used, or a stop was asked: the run ends
  kReportUnwritten,  // the report could not be written: the run ends
};

// A stop asked with Ctrl+C or Ctrl+Break ends the run where it stands: the
// report says so right after its last line, without the rest of the
// partition or the total.
void ReportInterruption() { ReportError("Error: interrupted.\n"); }

// The partition's server names from its notes.ini, as read and abbreviated.
struct ServerNames {
  char server[kNotesTextSize];
  char mailServer[kNotesTextSize];
  char abbreviatedServer[kNotesTextSize];
  char abbreviatedMailServer[kNotesTextSize];
};

// A server name as the report prints it. The names are the server's own
// text from notes.ini, which can hold a bare CR or LF: each is printed as a
// blank, so that no name ends its line early or starts one of its own. Other
// bytes below 0x20 begin characters of other scripts in the server's
// character set and stay. Comparisons use the names as read.
struct PrintedName {
  char text[kNotesTextSize];
};

PrintedName Printed(const char* name) {
  PrintedName printed;
  memset(printed.text, 0, sizeof(printed.text));
  for (size_t i = 0; i + 1 < sizeof(printed.text) && name[i] != '\0'; ++i) {
    printed.text[i] = IsLineBreak(name[i]) ? ' ' : name[i];
  }
  return printed;
}

// Abbreviates `fullName`; on failure the full name stands in for it.
void Abbreviate(const char* fullName, char* abbreviated, const char* errorFormat) {
  memset(abbreviated, 0, kNotesTextSize);
  NotesStatus status = AbbreviateName(fullName, abbreviated);
  if (status != kNotesNoError) {
    memcpy(abbreviated, fullName, kNotesTextSize);
    ReportStatusError(status, errorFormat, Printed(fullName).text, Printed(abbreviated).text);
  }
}

// True for a text of blanks and tabs only, the empty one included.
bool IsBlank(const char* text) { return text[strspn(text, " \t")] == '\0'; }

void ReadServerNames(ServerNames& names) {
  ReadEnvironment("ServerName", names.server);
  // Without it nothing can count as found; the exit code must tell.
  if (!ReadEnvironment("MailServer", names.mailServer) || IsBlank(names.mailServer)) {
    ReportError("Error: unable to read the mail server name.\n");
  }
  Abbreviate(names.server, names.abbreviatedServer,
             "Error: unable to abbreviate server name (%s, %s).\n");
  Abbreviate(names.mailServer, names.abbreviatedMailServer,
             "Error: unable to abbreviate mail server name (%s, %s).\n");
}

void PrintPartitionHeader(int number, const ServerNames& names, const ReportOptions& options) {
  printf("Partition %d:\n", number);
  printf(" Server name: %s\n", Printed(names.abbreviatedServer).text);
  if (options.details) {
    printf(" Mail server name: %s (%s)\n", Printed(names.abbreviatedMailServer).text,
           Printed(names.mailServer).text);
  } else {
    printf(" Mail server name: %s\n", Printed(names.abbreviatedMailServer).text);
  }
}

// The block of a partition that is not counted: its number and the reason.
void PrintSkippedPartition(int number) {
  printf("\n");
  printf("Partition %d:\n", number);
}

std::string Printable(const std::wstring& directory) {
  std::string printable;
  try {
    AppendUtf8(directory.data(), directory.size(), printable);
  } catch (...) {
    // Without memory for it, the message names no directory.
  }
  return printable;
}

// Makes `directory` the current directory. A partition whose data directory
// cannot be entered must not be counted in whatever directory the run is in:
// that would count the previous partition a second time. Nor is one counted
// whose directory an earlier partition entered under another name.
bool EnterDataDirectory(int number, const std::wstring& directory, Run& run) {
  if (directory.empty() || _wchdir(directory.c_str()) != 0) {
    PrintSkippedPartition(number);
    ReportError("Error: unable to change to data directory (%s).\n",
                Printable(directory).c_str());
    return false;
  }
  DirectoryIdentity identity;
  if (!TakeDirectoryIdentity(directory.c_str(), &identity)) return true;
  for (const DirectoryIdentity& entered : run.enteredDirectories) {
    if (entered == identity) {
      PrintSkippedPartition(number);
      ReportError("Error: data directory already counted (%s).\n", Printable(directory).c_str());
      return false;
    }
  }
  try {
    run.enteredDirectories.push_back(identity);
  } catch (...) {
    // Without memory to remember it, a later partition cannot be held to it.
  }
  return true;
}

// Nothing documents initialising the server library again after NotesTerm.
// A library that kept its state would go on serving the first partition's
// files; its "Directory" value then names a data directory counted before.
bool ServesEarlierPartition(Run& run) {
  char directory[kNotesTextSize];
  ReadEnvironment("Directory", directory);
  if (directory[0] == '\0') return false;
  for (const std::string& served : run.servedDirectories) {
    if (EqualIgnoringAsciiCase(directory, served.c_str())) {
      ReportError("Error: the server library serves an earlier partition's data directory (%s).\n",
                  directory);
      return true;
    }
  }
  try {
    run.servedDirectories.push_back(directory);
  } catch (...) {
    // Without memory to remember it, a later partition cannot be held to it.
  }
  return false;
}

// Counts the partition and prints its block from the header on. False when
// a stop was asked on the way: the block then ends with its last line
// printed.
bool ReportPartition(int number, const std::wstring& dataDirectory, Run& run) {
  printf("\n");
  ServerNames names;
  ReadServerNames(names);
  PrintPartitionHeader(number, names, run.options);

  int32_t found = 0;
  int32_t other = 0;
  ListingLines foundLines = ReportLines();
  ListingLines otherLines = ReportLines();
  BeginProgress(number, ProgressPhase::kCensus);
  bool counted = MailboxCensus(names.abbreviatedMailServer, found, other, run.options,
                               foundLines, otherLines);
  EndProgress();
  if (StopRequested()) return false;
  if (!counted) ReportError("Error: unable to count mailboxes.\n");

  bool listing = run.options.names || run.options.details;
  printf(" Mailboxes found: %d\n", found);
  if (listing && !PrintLines(foundLines)) return false;
  printf(" Mailboxes on other mail servers (not included): %d\n", other);
  if (listing && !PrintLines(otherLines)) return false;
  bool lost = foundLines.lost() || otherLines.lost();
  if (run.options.details) {
    // The header counts the lines that follow, so the walk collects them.
    ListingLines databases = ReportLines();
    BeginProgress(number, ProgressPhase::kInventory);
    WalkDirectory(1, dataDirectory.c_str(), databases);
    EndProgress();
    if (StopRequested()) return false;
    printf(" Databases: %lu\n", static_cast<unsigned long>(databases.size()));
    if (!PrintLines(databases)) return false;
    lost = lost || databases.lost();
  }
  if (lost) ReportError("Error: some lines of this partition were left out for lack of memory.\n");
  run.total += found;
  return true;
}

// The work on one partition, from entering its data directory to releasing
// the server library: loaded, initialised, used and released within.
PartitionEnd RunPartition(int number, const std::wstring& dataDirectory, Run& run) {
  if (!EnterDataDirectory(number, dataDirectory, run)) {
    return CheckReportWritten() ? PartitionEnd::kDone : PartitionEnd::kReportUnwritten;
  }

  HMODULE library = nullptr;
  if (!BindNotesApi(library)) {
    ReportError("Error: unable to initialize notes functions.\n");
    return PartitionEnd::kStopped;
  }
  NotesStatus status = g_notes.NotesInitExtended(run.argc, run.argv);
  if (status != kNotesNoError) {
    // The library stays loaded: nothing documents a release without NotesTerm.
    ReportStatusError(status, "Error: unable to initialize Notes (%d).\n",
                      static_cast<int>(status));
    return PartitionEnd::kStopped;
  }
  bool interrupted = StopRequested();
  if (!interrupted && ServesEarlierPartition(run)) {
    UnbindNotesApi(library);
    return PartitionEnd::kStopped;
  }
  if (interrupted || !ReportPartition(number, dataDirectory, run)) {
    ReportInterruption();
    UnbindNotesApi(library);
    return PartitionEnd::kStopped;
  }
  bool written = CheckReportWritten();
  UnbindNotesApi(library);
  return written ? PartitionEnd::kDone : PartitionEnd::kReportUnwritten;
}

}  // namespace

int RunPartitions(int argc, char** argv, const ReportOptions& options) {
  const unsigned errorsBefore = ReportedErrorCount();
  // The tool loads nothing that it cannot vouch for.
  if (!RestrictLibrarySearch()) {
    ReportError("Error: unable to restrict where libraries are loaded from.\n");
    CheckReportWritten();
    return kExitStopped;
  }
  InstallStopHandler();

  wchar_t programDirectory[kPathChars];
  memset(programDirectory, 0, sizeof(programDirectory));
  PartitionList partitions;
  int count = 0;
  if (!GetServerRegistryData(programDirectory, &partitions, count)) {
    ReportError("Error: unable to get domino registry data.\n");
  }
  // Lets the bare name nnotes.dll resolve to the server's own library.
  if (!UseProgramDirectory(programDirectory)) {
    ReportError("Error: unable to set dll directory.\n");
  }
  MakeDataDirectoriesFull(&partitions, count);

  Run run{argc, argv, options, 0, {}, {}};
  // A stop is looked for before each partition and before the total.
  for (int number = 1;; ++number) {
    if (StopRequested()) {
      ReportInterruption();
      CheckReportWritten();
      return kExitStopped;
    }
    if (number > count) break;
    switch (RunPartition(number, partitions.dataDirectories[number - 1], run)) {
      case PartitionEnd::kDone:
        break;
      case PartitionEnd::kStopped:
        CheckReportWritten();
        return kExitStopped;
      case PartitionEnd::kReportUnwritten:
        return kExitStopped;
    }
  }

  printf("\nTotal counted mailboxes: %d\n\n", run.total);
  if (!CheckReportWritten()) return kExitStopped;
  return ReportedErrorCount() != errorsBefore ? kExitWithErrors : kExitClean;
}
