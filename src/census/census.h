#ifndef BREVON_CENSUS_CENSUS_H_
#define BREVON_CENSUS_CENSUS_H_

#include <cstdint>

#include "census/person_lines.h"

/// Counts the person documents of the view "Mail Users" of names.nsf: those
/// with a mail file on `mailServerName` (abbreviated form) and no "$REF" item
/// are added to `found`, every other one that opens to `other`. With `names`
/// and/or `details` a line per person is appended to the matching list.
/// Returns false when the directory, its view or a read of it failed, or a
/// close failed; the counts and lines stand either way. Every server object
/// taken is given back before it returns.
bool MailboxCensus(const char* mailServerName, int32_t& found, int32_t& other, bool names,
                   bool details, ListingLines& foundLines, ListingLines& otherLines);

/// Equality of zero-terminated texts, folding only the ASCII letters.
bool EqualIgnoringAsciiCase(const char* a, const char* b);

#endif  // BREVON_CENSUS_CENSUS_H_
