#ifndef BREVON_APP_RUN_PARTITIONS_H_
#define BREVON_APP_RUN_PARTITIONS_H_

/// Exit codes of a counting run.
constexpr int kExitClean = 0;         // total reached, no error line printed
constexpr int kExitStopped = 1;       // a partition could not bind or initialise the API
constexpr int kExitWithErrors = 2;    // total reached after at least one error line

/// The main loop over the server's partitions, from the registry lookup to
/// the total line. Returns the exit code.
int RunPartitions(int argc, char** argv, bool names, bool details);

#endif  // BREVON_APP_RUN_PARTITIONS_H_
