#include "census/census.h"

#include <cstring>

#include "base/error_report.h"
#include "base/progress.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "census/person_lines.h"
#include "notes/notes_text.h"

namespace {

constexpr uint32_t kReturnAll = 0xFFFFFFFF;

// kNotAvailable followed by zeros: a buffer that no call writes reads so.
void FillNotAvailable(char* buffer) {
  memset(buffer, 0, kNotesTextSize);
  memcpy(buffer, kNotAvailable, sizeof(kNotAvailable) - 1);
}

struct PersonCounts {
  int32_t& found;
  int32_t& other;
  uint32_t read;  // persons counted in this census, found or other, for the progress line
  const ReportOptions& options;
  ListingLines& foundLines;
  ListingLines& otherLines;
  int partition;
  char server[kUtf8TextSize];  // as each row of the person list names it
};

// The census's decision: the first condition that fails names the reason.
PersonReason Decide(bool isReference, bool hasMailFile, bool hasMailServer, bool onThisServer) {
  if (isReference) return PersonReason::kReference;
  if (!hasMailFile) return PersonReason::kNoMailFile;
  if (!hasMailServer) return PersonReason::kNoMailServer;
  if (!onThisServer) return PersonReason::kOtherMailServer;
  return PersonReason::kCounted;
}

// The person's lines and row, as the options ask, from one reading of its
// items.
void ListPerson(NotesHandle note, const PersonCounts& counts, PersonReason reason, int32_t number,
                const char* abbreviatedMailServer) {
  const ReportOptions& options = counts.options;
  CsvFile* list = options.personList;
  if (!options.names && !options.details && list == nullptr) return;
  ListingLines& lines = reason == PersonReason::kCounted ? counts.foundLines : counts.otherLines;
  PersonRecord record;
  ReadPersonRecord(note, options.details || list != nullptr, record);
  if (options.names) AppendBasicPersonLine(record, number, abbreviatedMailServer, lines);
  if (options.details) AppendDetailedPersonLine(record, number, lines);
  if (list != nullptr) WritePersonRow(*list, counts.partition, counts.server, record, reason, number);
}

// Opens, decides on and closes one person document. Category rows of a
// categorized view are passed over: they are no documents.
void CountPerson(NotesHandle database, NotesNoteId noteId, const char* mailServerName,
                 PersonCounts& counts) {
  if ((noteId & kNoteIdCategory) != 0) return;
  NotesHandle note = 0;
  NotesStatus status = g_notes.NSFNoteOpen(database, noteId, kOpenSummary, &note);
  // A document deleted since the view was built; whatever the status's flags.
  if ((status & kStatusCodeMask) == kStatusInvalidNote) return;
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: open note (%lu) failed.\n",
                      static_cast<unsigned long>(noteId));
    return;
  }

  char mailServer[kNotesTextSize];
  char abbreviatedMailServer[kNotesTextSize];
  char mailFile[kNotesTextSize];
  FillNotAvailable(mailServer);
  FillNotAvailable(abbreviatedMailServer);
  FillNotAvailable(mailFile);

  bool hasMailServer = ReadItemText(note, "MailServer", mailServer) != 0;
  bool hasMailFile = ReadItemText(note, "MailFile", mailFile) != 0;
  bool isReference =
      g_notes.NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr) == kNotesNoError;
  // The status is not looked at: what a failing call leaves is compared as
  // it stands, and the stored text is compared as well.
  AbbreviateName(mailServer, abbreviatedMailServer);

  bool onThisServer = EqualIgnoringAsciiCase(abbreviatedMailServer, mailServerName) ||
                      EqualIgnoringAsciiCase(mailServer, mailServerName);
  PersonReason reason = Decide(isReference, hasMailFile, hasMailServer, onThisServer);

  int32_t& counter = reason == PersonReason::kCounted ? counts.found : counts.other;
  ++counter;
  AdvanceProgress(++counts.read, static_cast<uint32_t>(counts.found));
  ListPerson(note, counts, reason, counter, abbreviatedMailServer);

  g_notes.NSFNoteClose(note);
}

// Counts the persons of one read's buffer and gives the buffer back.
// `count` is false for a read that made no progress: the position did not
// move, so counting its entries could count the same batch again and again.
// Returns false when a stop was asked before a person.
bool TreatBuffer(NotesHandle buffer, uint32_t entriesReturned, bool count, NotesHandle database,
                 const char* mailServerName, PersonCounts& counts) {
  bool whole = true;
  const NotesNoteId* noteIds = static_cast<const NotesNoteId*>(g_notes.OSLockObject(buffer));
  if (noteIds == nullptr) {
    ReportError("Error: lock object failed.\n");
  } else {
    if (count) {
      for (uint32_t i = 0; i < entriesReturned && whole; ++i) {
        whole = !StopRequested();
        if (whole) CountPerson(database, noteIds[i], mailServerName, counts);
      }
    }
    // Only a lock that was taken is given back; unlocking a buffer that was
    // never locked would upset the library's lock count.
    g_notes.OSUnlockObject(buffer);
  }
  g_notes.OSMemFree(buffer);
  return whole;
}

// Reads the view's note IDs batch by batch and counts each person. Returns
// false when a read reported a failing status, the reads made no progress or
// a stop was asked.
bool ReadView(NotesCollection collection, NotesHandle database, const char* mailServerName,
              PersonCounts& counts) {
  bool result = true;
  NotesCollectionPosition position;
  memset(&position, 0, sizeof(position));  // before the first entry
  // Reads in a row that left the position where it was while asking for
  // more: no library may keep the census reading, or counting, forever.
  int readsWithoutProgress = 0;

  for (bool firstRead = true;; firstRead = false) {
    if (StopRequested()) return false;
    // Cleared before every read: a failing read may leave its outputs alone,
    // and the previous buffer is already freed.
    NotesHandle buffer = 0;
    uint16_t bufferLength = 0;
    uint32_t entriesReturned = 0;
    uint16_t signalFlags = 0;
    NotesCollectionPosition before = position;
    NotesStatus status = g_notes.NIFReadEntries(
        collection, &position, kNavigateNext, 1, kNavigateNext, kReturnAll, kReadMaskNoteId,
        &buffer, &bufferLength, nullptr, &entriesReturned, &signalFlags);
    bool readFailed = status != kNotesNoError;
    bool moreToDo = (signalFlags & kSignalMoreToDo) != 0;
    if (readFailed) {
      ReportStatusError(status, "Error: read user data failed.\n");
      result = false;
    }
    bool progress = readFailed || !moreToDo || memcmp(&before, &position, sizeof(position)) != 0;
    readsWithoutProgress = progress ? 0 : readsWithoutProgress + 1;

    if (buffer != 0) {
      if (!TreatBuffer(buffer, entriesReturned, progress, database, mailServerName, counts)) {
        return false;
      }
    } else if (firstRead && !readFailed && entriesReturned == 0 && !moreToDo) {
      // The library gives no buffer for a view without entries.
    } else {
      ReportError("Error: read user data failed (null handle).\n");
    }

    if (readsWithoutProgress == 2) {
      ReportError("Error: read user data failed (no progress).\n");
      return false;
    }
    // A failed read is not repeated: the position it left cannot be trusted.
    if (readFailed || !moreToDo) break;
  }
  return result;
}

}  // namespace

bool MailboxCensus(const char* mailServerName, int32_t& found, int32_t& other,
                   const ReportOptions& options, ListingLines& foundLines,
                   ListingLines& otherLines, const CensusPartition& partition) {
  if (mailServerName == nullptr) {
    ReportError("Error: wrong parameters (Mailserver name).\n");
    return false;
  }

  NotesHandle database = 0;
  NotesStatus status = g_notes.NSFDbOpen("names.nsf", &database);
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: open names.nsf failed.\n");
    return false;
  }

  NotesNoteId viewId = 0;
  status = g_notes.NIFFindDesignNoteExt(database, "Mail Users", kNoteClassView, "-G40n^",
                                        &viewId, 0);
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: find mail users failed.\n");
    g_notes.NSFDbClose(database);
    return false;
  }

  NotesCollection collection = 0;
  status = g_notes.NIFOpenCollection(database, database, viewId, 0, 0, &collection, nullptr,
                                     nullptr, nullptr, nullptr);
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: open view failed.\n");
    g_notes.NSFDbClose(database);
    return false;
  }

  PersonCounts counts = {found, other, 0, options, foundLines, otherLines, partition.number, {}};
  if (options.personList != nullptr) {
    const char* server = partition.abbreviatedServer;
    size_t length = TranslateToUtf8(
        server, static_cast<uint16_t>(strnlen(server, kNotesTextSize - 1)), counts.server);
    BlankLineBreaks(counts.server, length);
  }
  bool result = ReadView(collection, database, mailServerName, counts);
  if (StopRequested()) {
    // The run reports the stop; nothing more is said here.
    g_notes.NIFCloseCollection(collection);
    g_notes.NSFDbClose(database);
    return false;
  }

  status = g_notes.NIFCloseCollection(collection);
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: close collection failed.\n");
    result = false;
  }

  status = g_notes.NSFDbClose(database);
  if (status != kNotesNoError) {
    ReportStatusError(status, "Error: close database failed.\n");
    return false;
  }
  return result;
}
