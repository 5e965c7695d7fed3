#ifndef BREVON_APP_RUN_PARTITIONS_H_
#define BREVON_APP_RUN_PARTITIONS_H_

#include "base/report_options.h"

/// Exit codes of a counting run.
constexpr int kExitClean = 0;         // total reached, no error line printed
constexpr int kExitStopped = 1;       // stopped early: the server library could not be used, a
                                      // stop was asked, or the report could not be written
constexpr int kExitWithErrors = 2;    // total reached after at least one error line

/// The main loop over the server's partitions, from the registry lookup to
/// the total line. `argc` and `argv` are handed to the server library
/// untouched. Returns the exit code.
int RunPartitions(int argc, char** argv, const ReportOptions& options);

#endif  // BREVON_APP_RUN_PARTITIONS_H_
