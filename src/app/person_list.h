#ifndef BREVON_APP_PERSON_LIST_H_
#define BREVON_APP_PERSON_LIST_H_

#include "app/options.h"
#include "base/report_options.h"

// The person list that "/csv:FILE" asks for lives from the start of a
// counting run to its end, and only there: its file is created before
// anything is read, gets a row per person as the census reads them, and is
// kept when the run ends with exit code 0 or 2. With 1 the run has no valid
// total, and the file is removed, so that no partial list can be taken for
// a whole one.

/// A counting run (RunPartitions), with the person list when `request`
/// asks for it. Returns the exit code.
int RunListingPersons(const PersonListRequest& request, int argc, char** argv,
                      const ReportOptions& options);

/// After each partition: writes out the rows held back. False, with the
/// error line printed, when a write to the file failed; the run must then
/// end. True when no list is written.
bool CheckPersonListWritten();

#endif  // BREVON_APP_PERSON_LIST_H_
