#ifndef BREVON_APP_PARTITION_REPORT_H_
#define BREVON_APP_PARTITION_REPORT_H_

#include <cstdint>
#include <string>

#include "base/listing_lines.h"
#include "base/report_options.h"

/// Starts the block of a partition that is not counted: the empty line and
/// its number. The caller's error line that follows says why.
void PrintSkippedPartition(int number);

/// Prints the two counts, each followed by its list's lines when `listing`.
/// False when a stop asked meanwhile ended a list: the block then ends with
/// the last line printed. `*lost` tells whether either list left out a line
/// for lack of memory.
bool PrintPersonCounts(int32_t found, const ListingLines& foundLines, int32_t other,
                       const ListingLines& otherLines, bool listing, bool* lost);

/// Counts the partition, whose server library is initialised, and prints its
/// block from the empty line before its header on: the server names, the
/// counts and, as the options ask, the person lines and the databases under
/// `dataDirectory`. Adds the mailboxes found to `total`. False when a stop
/// was asked on the way: the block then ends with the last line printed.
bool ReportPartition(int number, const std::wstring& dataDirectory, const ReportOptions& options,
                     int32_t& total);

#endif  // BREVON_APP_PARTITION_REPORT_H_
