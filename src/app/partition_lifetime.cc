#include "app/partition_lifetime.h"

#include <direct.h>

#include <cstring>

#include "app/partition_report.h"
#include "app/person_list.h"
#include "base/error_report.h"
#include "base/report_writer.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "notes/notes_api.h"
#include "notes/notes_text.h"

namespace {

std::string Printable(const std::wstring& directory) {
  std::string printable;
  try {
    AppendUtf8(directory.data(), directory.size(), printable);
    BlankLineBreaks(printable);
  } catch (...) {
    // Without memory for it, the message names no directory.
  }
  return printable;
}

// Makes `directory` the current directory. A partition whose data directory
// cannot be entered must not be counted in whatever directory the run is in:
// that would count the previous partition a second time. Nor is one counted
// whose directory an earlier partition entered under another name.
bool EnterDataDirectory(int number, const std::wstring& directory, Run& run) {
  if (directory.empty() || _wchdir(directory.c_str()) != 0) {
    PrintSkippedPartition(number);
    ReportError("Error: unable to change to data directory (%s).\n", Printable(directory).c_str());
    return false;
  }
  DirectoryIdentity identity;
  if (!TakeDirectoryIdentity(directory.c_str(), &identity)) return true;
  for (const DirectoryIdentity& entered : run.enteredDirectories) {
    if (entered == identity) {
      PrintSkippedPartition(number);
      ReportError("Error: data directory already counted (%s).\n", Printable(directory).c_str());
      return false;
    }
  }
  try {
    run.enteredDirectories.push_back(identity);
  } catch (...) {
    // Without memory to remember it, a later partition cannot be held to it.
  }
  return true;
}

// Nothing documents initialising the server library again after NotesTerm.
// A library that kept its state would go on serving the first partition's
// files; its "Directory" value then names a data directory counted before.
bool ServesEarlierPartition(Run& run) {
  char directory[kNotesTextSize];
  ReadEnvironment("Directory", directory);
  if (directory[0] == '\0') return false;
  for (const std::string& served : run.servedDirectories) {
    if (EqualIgnoringAsciiCase(directory, served.c_str())) {
      BlankLineBreaks(directory, strlen(directory));
      ReportError("Error: the server library serves an earlier partition's data directory (%s).\n",
                  directory);
      return true;
    }
  }
  try {
    run.servedDirectories.push_back(directory);
  } catch (...) {
    // Without memory to remember it, a later partition cannot be held to it.
  }
  return false;
}

// The run ends with this partition: the report's write check runs first.
PartitionEnd EndRun() {
  CheckReportWritten();
  return PartitionEnd::kRunEnds;
}

}  // namespace

void ReportInterruption() { ReportError("Error: interrupted.\n"); }

void ReportOutOfMemory() { ReportError("Error: not enough memory to go on.\n"); }

PartitionEnd RunPartition(int number, const std::wstring& dataDirectory, Run& run) {
  if (!EnterDataDirectory(number, dataDirectory, run)) {
    return CheckReportWritten() ? PartitionEnd::kDone : PartitionEnd::kRunEnds;
  }

  HMODULE library = nullptr;
  if (!BindNotesApi(library)) {
    if (StopRequested()) {
      ReportInterruption();
    } else {
      ReportError("Error: unable to initialize notes functions.\n");
    }
    return EndRun();
  }
  NotesStatus status = g_notes.NotesInitExtended(run.argc, run.argv);
  if (status != kNotesNoError) {
    // The library stays loaded: nothing documents a release without NotesTerm.
    ReportStatusError(status, "Error: unable to initialize Notes (%d).\n",
                      static_cast<int>(status));
    return EndRun();
  }
  // The library may add a console control handler of its own as it starts;
  // a stop must reach the run first.
  PutStopHandlerFirst();
  try {
    if (!StopRequested() && ServesEarlierPartition(run)) {
      PartitionEnd end = EndRun();
      UnbindNotesApi(library);
      return end;
    }
    if (!StopRequested() && ReportPartition(number, dataDirectory, run.options, run.total)) {
      // The list's error line is part of the report checked next.
      bool listed = CheckPersonListWritten();
      bool written = CheckReportWritten();
      UnbindNotesApi(library);
      return listed && written ? PartitionEnd::kDone : PartitionEnd::kRunEnds;
    }
    ReportInterruption();
  } catch (...) {
    // Nothing of the partition lets an exception out; should one come, the
    // library is given back all the same.
    ReportOutOfMemory();
  }
  // Before the library is given back: Windows ends a process whose console
  // was closed as soon as it is.
  PartitionEnd end = EndRun();
  UnbindNotesApi(library);
  return end;
}
