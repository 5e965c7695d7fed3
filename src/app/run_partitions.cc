#include "app/run_partitions.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/report.h"
#include "install/registry.h"

int RunPartitions(int argc, char** argv, bool names, bool details) {
  (void)argc;
  (void)argv;
  (void)names;
  (void)details;
  wchar_t programDirectory[kPathChars];
  memset(programDirectory, 0, sizeof(programDirectory));
  PartitionList partitions;
  int count = 0;
  if (!GetServerRegistryData(programDirectory, &partitions, count)) {
    ReportError("Error: unable to get domino registry data.\n");
  }
  if (SetDllDirectoryW(programDirectory) == 0) {
    ReportError("Error: unable to set dll directory.\n");
  }
  int total = 0;
  printf("\nTotal counted mailboxes: %d\n\n", total);
  return ErrorWasReported() ? kExitWithErrors : kExitClean;
}
