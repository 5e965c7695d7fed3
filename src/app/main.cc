// Brevon.exe: counts the mailboxes of the mail server installed on this
// machine, per partition and in total.
//
// The flow of a run: the process is readied for running out of memory and
// the switches are read; "/help" prints the usage and nothing else is done.
// Otherwise CountMailboxes starts the report with the banner and treats
// every partition of the installation in turn (see counting_run.h), within
// the life of the person list when "/csv:FILE" asks for one; its result is
// the exit code.

#include "app/banner.h"
#include "app/memory_reserve.h"
#include "app/options.h"
#include "app/counting_run.h"
#include "app/run_partitions.h"
#include "base/report_writer.h"

int main(int argc, char** argv) {
  PrepareForMemoryExhaustion();
  ReportOptions options;
  bool help = false;
  if (argc > 1) ParseArguments(argc, argv, &options, &help);

  if (help) {
    PrintBanner();
    PrintUsage();
    return CheckReportWritten() ? kExitClean : kExitStopped;
  }
  return CountMailboxes(argc, argv, options);
}
