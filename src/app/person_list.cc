#include "app/person_list.h"

#include <cwchar>
#include <string>

#include "app/run_partitions.h"
#include "base/csv_file.h"
#include "base/error_report.h"
#include "base/report_writer.h"
#include "base/text.h"
#include "census/person_lines.h"

namespace {

// The run's one list; its buffer is too large for the stack.
CsvFile g_list;
// The file's name as the error lines quote it.
std::string g_printableName;

std::string Printable(const wchar_t* name) {
  std::string printable;
  try {
    AppendUtf8(name, wcslen(name), printable);
  } catch (...) {
    // Without memory for it, the message names no file.
  }
  BlankLineBreaks(printable);
  return printable;
}

void ReportUnableToCreate(DWORD error) {
  std::string message;
  try {
    AppendSystemMessage(error, message);
  } catch (...) {
    // Without memory for it, the message gives no reason.
  }
  ReportError("Error: unable to create the CSV file (%s): %s\n", g_printableName.c_str(),
              message.c_str());
}

void ReportUnableToWrite() {
  ReportError("Error: unable to write the CSV file (%s).\n", g_printableName.c_str());
}

// The run ends before anything is read.
int EndEarly() {
  CheckReportWritten();
  return kExitStopped;
}

}  // namespace

int RunListingPersons(const PersonListRequest& request, int argc, char** argv,
                      const ReportOptions& options) {
  if (request.nameMissing) {
    ReportError("Error: /csv needs a file name (/csv:FILE).\n");
    return EndEarly();
  }
  if (request.name[0] == L'\0') return RunPartitions(argc, argv, options);

  g_printableName = Printable(request.name);
  DWORD error = 0;
  if (!CreateCsvFile(request.name, g_list, error)) {
    ReportUnableToCreate(error);
    return EndEarly();
  }
  WritePersonColumns(g_list);
  ReportOptions listing = options;
  listing.personList = &g_list;
  int code = RunPartitions(argc, argv, listing);
  if (code == kExitStopped) {
    RemoveCsvFile(g_list);
    return code;
  }
  if (KeepCsvFile(g_list)) return code;
  ReportUnableToWrite();
  CheckReportWritten();
  return kExitStopped;
}

bool CheckPersonListWritten() {
  if (g_list.handle == INVALID_HANDLE_VALUE || FlushCsvFile(g_list)) return true;
  ReportUnableToWrite();
  return false;
}
