// Brevon.exe: counts the mailboxes of the mail server installed on this
// machine, per partition and in total.
//
// The flow of a run: the switches are read; "/help" prints the usage and
// nothing else is done. Otherwise the report starts with the banner and
// RunPartitions treats every partition of the installation in turn (see
// run_partitions.h), within the life of the person list when "/csv:FILE"
// asks for one (person_list.h); its result is the exit code.

#include <windows.h>

#include "app/banner.h"
#include "app/options.h"
#include "app/person_list.h"
#include "app/run_partitions.h"
#include "base/report_writer.h"

int main(int argc, char** argv) {
  ReportOptions options;
  bool help = false;
  if (argc > 1) ParseArguments(argc, argv, &options, &help);

  if (help) {
    PrintBanner();
    PrintUsage();
    return CheckReportWritten() ? kExitClean : kExitStopped;
  }

  // The report holds the server's texts translated to UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  PrintBanner();
  PersonListRequest personList;
  FindPersonListRequest(GetCommandLineW(), &personList);
  return RunListingPersons(personList, argc, argv, options);
}
