#ifndef BREVON_APP_OPTIONS_H_
#define BREVON_APP_OPTIONS_H_

#include <cstddef>

#include "base/report_options.h"

/// Scans arguments 1 to argc-1. Unknown arguments are ignored; the whole scan
/// finishes before the caller acts, so "/help" wins wherever it stands.
void ParseArguments(int argc, char** argv, ReportOptions* options, bool* help);

/// The longest command line that Windows hands a program, with its zero.
constexpr size_t kCommandLineChars = 32768;

/// "/csv:FILE" as the command line gives it.
struct PersonListRequest {
  bool nameMissing = false;              // "/csv" or "/csv:" alone was given
  wchar_t name[kCommandLineChars] = {};  // FILE of the last "/csv:FILE"; empty when none
};

/// Looks for "/csv:FILE" among the arguments of the wide command line
/// `commandLine` (GetCommandLineW), split as the C runtime splits it for
/// argv, so that a name outside the ANSI code page arrives whole.
void FindPersonListRequest(const wchar_t* commandLine, PersonListRequest* request);

#endif  // BREVON_APP_OPTIONS_H_
