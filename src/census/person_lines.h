#ifndef BREVON_CENSUS_PERSON_LINES_H_
#define BREVON_CENSUS_PERSON_LINES_H_

#include <cstdint>
#include <string>

#include "base/listing_lines.h"
#include "notes/notes_api.h"

/// What a line shows for an item without text, and the census compares for
/// an item that no call wrote.
constexpr char kNotAvailable[] = "NA";

/// Appends the UTF-8 text of item `itemName` of the open note to `text`, or
/// "NA" when the item is absent or empty. Never throws: false, with `text`
/// as it was, when the text found no memory.
bool AppendItemText(NotesHandle note, const char* itemName, std::string& text);

/// Appends "number, ShortName, MailFile, mail server" to `lines`; the mail
/// server is shown as given (untranslated), "NA" when empty. Never throws:
/// a line that finds no memory, whole or in part, is noted as a loss of
/// `lines` (ListingLines::lost).
void AppendBasicPersonLine(NotesHandle note, ListingLines& lines, int32_t number,
                           const char* abbreviatedMailServer);

/// Appends the detailed line: number, ShortName, MailFile, abbreviated mail
/// server (full mail server), MailDomain, InternetAddress, FullName, $REF,
/// Form. Never throws; losses as for the basic line.
void AppendDetailedPersonLine(NotesHandle note, ListingLines& lines, int32_t number);

#endif  // BREVON_CENSUS_PERSON_LINES_H_
