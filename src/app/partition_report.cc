#include "app/partition_report.h"

#include <cstring>

#include "base/error_report.h"
#include "base/listing_lines.h"
#include "base/progress.h"
#include "base/report_writer.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "census/census.h"
#include "inventory/walk.h"
#include "notes/notes_text.h"

namespace {

// The partition's server names from its notes.ini, as read and abbreviated.
struct ServerNames {
  char server[kNotesTextSize];
  char mailServer[kNotesTextSize];
  char abbreviatedServer[kNotesTextSize];
  char abbreviatedMailServer[kNotesTextSize];
  bool hasMailServer;
};

// A server name as the report prints it: the server's own text from
// notes.ini, which can hold a bare CR or LF. Comparisons use the names as
// read.
struct PrintedName {
  char text[kNotesTextSize];
};

PrintedName Printed(const char* name) {
  PrintedName printed;
  memset(printed.text, 0, sizeof(printed.text));
  size_t length = strnlen(name, sizeof(printed.text) - 1);
  memcpy(printed.text, name, length);
  BlankLineBreaks(printed.text, length);
  return printed;
}

// Abbreviates `fullName`; on failure the full name stands in for it.
void AbbreviateServerName(const char* fullName, char* abbreviated, const char* errorFormat) {
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
  names.hasMailServer =
      ReadEnvironment("MailServer", names.mailServer) && !IsBlank(names.mailServer);
  if (!names.hasMailServer) ReportError("Error: unable to read the mail server name.\n");
  AbbreviateServerName(names.server, names.abbreviatedServer,
                       "Error: unable to abbreviate server name (%s, %s).\n");
  AbbreviateServerName(names.mailServer, names.abbreviatedMailServer,
                       "Error: unable to abbreviate mail server name (%s, %s).\n");
}

void PrintPartitionHeader(int number, const ServerNames& names, const ReportOptions& options) {
  WriteReport("Partition %d:\n", number);
  WriteReport(" Server name: %s\n", Printed(names.abbreviatedServer).text);
  if (options.details) {
    WriteReport(" Mail server name: %s (%s)\n", Printed(names.abbreviatedMailServer).text,
                Printed(names.mailServer).text);
  } else {
    WriteReport(" Mail server name: %s\n", Printed(names.abbreviatedMailServer).text);
  }
}

}  // namespace

bool PrintPersonCounts(int32_t found, const ListingLines& foundLines, int32_t other,
                       const ListingLines& otherLines, bool listing, bool* lost) {
  *lost = foundLines.lost() || otherLines.lost();
  WriteReport(" Mailboxes found: %d\n", found);
  if (listing && !PrintLines(foundLines)) return false;
  WriteReport(" Mailboxes on other mail servers (not included): %d\n", other);
  return !listing || PrintLines(otherLines);
}

void PrintSkippedPartition(int number) {
  WriteReport("\n");
  WriteReport("Partition %d:\n", number);
}

bool ReportPartition(int number, const std::wstring& dataDirectory, const ReportOptions& options,
                     int32_t& total) {
  WriteReport("\n");
  ServerNames names;
  ReadServerNames(names);
  PrintPartitionHeader(number, names, options);

  int32_t found = 0;
  int32_t other = 0;
  ListingLines foundLines = ReportLines();
  ListingLines otherLines = ReportLines();
  BeginProgress(number, ProgressPhase::kCensus);
  // A person whose mail server is as blank as a missing name is on no
  // server of ours: without a name the census matches only persons with
  // none, and those are never found.
  bool counted = MailboxCensus(names.hasMailServer ? names.abbreviatedMailServer : "", found,
                               other, options, foundLines, otherLines,
                               CensusPartition{number, names.abbreviatedServer});
  EndProgress();
  // A census that a stop ended says nothing more.
  if (!counted && StopRequested()) return false;
  if (!counted) ReportError("Error: unable to count mailboxes.\n");

  bool lost = false;
  if (!PrintPersonCounts(found, foundLines, other, otherLines, options.names || options.details,
                         &lost)) {
    return false;
  }
  if (options.details) {
    // The header counts the lines that follow, so the walk collects them.
    ListingLines databases = ReportLines();
    BeginProgress(number, ProgressPhase::kInventory);
    bool walked = WalkDirectory(1, dataDirectory.c_str(), databases);
    EndProgress();
    if (!walked) return false;
    WriteReport(" Databases: %lu\n", static_cast<unsigned long>(databases.size()));
    if (!PrintLines(databases)) return false;
    lost = lost || databases.lost();
  }
  if (lost) ReportError("Error: some lines of this partition were left out for lack of memory.\n");
  total += found;
  return true;
}
