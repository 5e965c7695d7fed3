#ifndef BREVON_APP_COUNTING_RUN_H_
#define BREVON_APP_COUNTING_RUN_H_

#include "base/report_options.h"

/// A counting run from its first line: the stop handler (Ctrl+C) before
/// anything is printed, the console made UTF-8, the banner, then the
/// partitions (RunPartitions) within the life of the person list that
/// "/csv:FILE" may ask for (person_list.h). Returns the exit code; a run
/// short of memory outside a partition says so and ends with kExitStopped.
int CountMailboxes(int argc, char** argv, const ReportOptions& options);

#endif  // BREVON_APP_COUNTING_RUN_H_
