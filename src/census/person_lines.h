#ifndef BREVON_CENSUS_PERSON_LINES_H_
#define BREVON_CENSUS_PERSON_LINES_H_

#include <cstddef>
#include <cstdint>

#include "base/csv_file.h"
#include "base/listing_lines.h"
#include "notes/notes_api.h"
#include "notes/notes_text.h"

/// What a line shows for an item without text, and the census compares for
/// an item that no call wrote.
constexpr char kNotAvailable[] = "NA";

/// The census's decision on a person: counted, or the first of its
/// conditions that failed, in the order in which it tests them.
enum class PersonReason {
  kCounted,
  kReference,        // a reference document ($REF)
  kNoMailFile,
  kNoMailServer,
  kOtherMailServer,
};

/// An item of a person as the person lines show it: UTF-8, each control
/// character a blank.
struct PersonText {
  bool present;   // false for an absent or empty item: "NA" in a line, an empty field in a row
  size_t length;  // 0 when not present
  char text[kUtf8TextSize];  // zero-terminated
};

/// A person's items, read once for every form that shows them.
struct PersonRecord {
  PersonText shortName;
  PersonText mailFile;
  // The rest is read only for the detailed line and the CSV row.
  PersonText mailServer;
  char abbreviatedMailServer[kNotesTextSize];  // of `mailServer`'s text; empty when not present
  PersonText mailDomain;
  PersonText internetAddress;
  PersonText fullName;
  PersonText reference;  // $REF
  PersonText form;
};

/// Reads ShortName and MailFile of the open note into `record`, and with
/// `all` the other items too. Allocates nothing.
void ReadPersonRecord(NotesHandle note, bool all, PersonRecord& record);

/// Appends "number, ShortName, MailFile, mail server" to `lines`; the mail
/// server is shown as given (the server's own bytes), "NA" when empty.
/// Never throws: a line that finds no memory is left out and noted as a
/// loss of `lines` (ListingLines::lost).
void AppendBasicPersonLine(const PersonRecord& record, int32_t number,
                           const char* abbreviatedMailServer, ListingLines& lines);

/// Appends the detailed line: number, ShortName, MailFile, abbreviated mail
/// server (full mail server), MailDomain, InternetAddress, FullName, $REF,
/// Form, from a record read with all its items. Never throws; losses as for
/// the basic line.
void AppendDetailedPersonLine(const PersonRecord& record, int32_t number, ListingLines& lines);

/// Writes the first row of the person list: the names of its columns.
void WritePersonColumns(CsvFile& file);

/// Writes the person's row to the person list: the partition's number and
/// server name (UTF-8), whether the person is counted and why not, its
/// number in its list, and the items of the detailed line, an item without
/// text as an empty field. `record` is read with all its items.
void WritePersonRow(CsvFile& file, int partition, const char* server, const PersonRecord& record,
                    PersonReason reason, int32_t number);

#endif  // BREVON_CENSUS_PERSON_LINES_H_
