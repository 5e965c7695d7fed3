#ifndef BREVON_APP_PARTITION_LIFETIME_H_
#define BREVON_APP_PARTITION_LIFETIME_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/report_options.h"
#include "inventory/directory_identity.h"

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
  kDone,     // the next partition follows
  kRunEnds,  // the report could not be written, the server library could not be
             // used, or a stop was asked: the run ends with the write check done
};

/// A stop asked with Ctrl+C or Ctrl+Break ends the run where it stands: the
/// report says so right after its last line, without the rest of the
/// partition or the total.
void ReportInterruption();

/// A run that cannot go on for lack of memory says so.
void ReportOutOfMemory();

/// The work on one partition, from entering its data directory to giving
/// the server library back: the library is loaded, initialised, used and
/// released within. A data directory that cannot be entered, or that an
/// earlier partition entered, is not counted; a library that serves an
/// earlier partition's data directory ends the run, and so does a stop asked
/// before the library is loaded or while it is used.
PartitionEnd RunPartition(int number, const std::wstring& dataDirectory, Run& run);

#endif  // BREVON_APP_PARTITION_LIFETIME_H_
