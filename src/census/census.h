#ifndef BREVON_CENSUS_CENSUS_H_
#define BREVON_CENSUS_CENSUS_H_

#include <cstdint>

#include "base/listing_lines.h"
#include "base/report_options.h"

/// The partition whose persons a census counts, as the rows of the person
/// list name it.
struct CensusPartition {
  int number = 0;
  const char* abbreviatedServer = "";  // as the partition's header shows it
};

/// Counts the person documents of the view "Mail Users" of names.nsf: those
/// with a mail file on `mailServerName` (abbreviated form) and no "$REF" item
/// are added to `found`, every other one that opens to `other`. With
/// `options.names` and/or `options.details` a line per person is appended to
/// the matching list; with `options.personList` a row per person is written
/// to it, starting with `partition`'s number and server name in UTF-8.
/// Returns false when the directory, its view or a read of it failed, or a
/// close failed; the counts, lines and rows stand either way. Also false
/// when a stop was asked (StopRequested): the census then ends before the
/// next read or person and reports nothing of its own. Every server
/// object taken is given back before it returns.
bool MailboxCensus(const char* mailServerName, int32_t& found, int32_t& other,
                   const ReportOptions& options, ListingLines& foundLines,
                   ListingLines& otherLines,
                   const CensusPartition& partition = CensusPartition());

#endif  // BREVON_CENSUS_CENSUS_H_
