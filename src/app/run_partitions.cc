#include "app/run_partitions.h"

#include <cstring>
#include <string>

#include "app/partition_lifetime.h"
#include "base/error_report.h"
#include "base/report_writer.h"
#include "base/stop_request.h"
#include "install/registry.h"
#include "notes/library_search.h"

namespace {

int Interrupted() {
  ReportInterruption();
  CheckReportWritten();
  return kExitStopped;
}

}  // namespace

int RunPartitions(int argc, char** argv, const ReportOptions& options) {
  const unsigned errorsBefore = ReportedErrorCount();
  if (StopRequested()) return Interrupted();
  // The tool loads nothing that it cannot vouch for.
  if (!RestrictLibrarySearch()) {
    ReportError("Error: unable to restrict where libraries are loaded from.\n");
    CheckReportWritten();
    return kExitStopped;
  }

  wchar_t programDirectoryValue[kPathChars];
  memset(programDirectoryValue, 0, sizeof(programDirectoryValue));
  PartitionList partitions;
  int count = 0;
  if (!GetServerRegistryData(programDirectoryValue, &partitions, count)) {
    ReportError("Error: unable to get domino registry data.\n");
  }
  // Full against the folder the tool was started in, once: the current
  // folder is each partition's data directory when the library loads.
  std::wstring programDirectory = programDirectoryValue;
  MakeProgramDirectoryFull(&programDirectory);
  // Lets the bare name nnotes.dll resolve to the server's own library.
  if (!UseProgramDirectory(programDirectory)) {
    ReportError("Error: unable to set dll directory.\n");
  }
  MakeDataDirectoriesFull(&partitions, count);

  Run run{argc, argv, options, 0, {}, {}};
  // A stop is looked for before each partition and before the total.
  for (int number = 1;; ++number) {
    if (StopRequested()) return Interrupted();
    if (number > count) break;
    if (RunPartition(number, partitions.dataDirectories[number - 1], run) ==
        PartitionEnd::kRunEnds) {
      return kExitStopped;
    }
  }

  WriteReport("\nTotal counted mailboxes: %d\n\n", run.total);
  if (!CheckReportWritten()) return kExitStopped;
  return ReportedErrorCount() != errorsBefore ? kExitWithErrors : kExitClean;
}
