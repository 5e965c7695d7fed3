#include "app/counting_run.h"

#include <windows.h>

#include "app/banner.h"
#include "app/partition_lifetime.h"
#include "app/person_list.h"
#include "app/run_partitions.h"
#include "base/report_writer.h"
#include "base/stop_request.h"

int CountMailboxes(int argc, char** argv, const ReportOptions& options) {
  // A Ctrl+C from the first moment ends the run as any other stop does.
  InstallStopHandler();
  // The report holds the server's texts translated to UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  PrintBanner();
  try {
    PersonListRequest personList;
    FindPersonListRequest(GetCommandLineW(), &personList);
    return RunListingPersons(personList, argc, argv, options);
  } catch (...) {
    // Only what allocates outside a partition gets here: a partition gives
    // its library back itself.
    ReportOutOfMemory();
    CheckReportWritten();
    return kExitStopped;
  }
}
