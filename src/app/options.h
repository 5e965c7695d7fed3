#ifndef BREVON_APP_OPTIONS_H_
#define BREVON_APP_OPTIONS_H_

#include "base/report_options.h"

/// Scans arguments 1 to argc-1. Unknown arguments are ignored; the whole scan
/// finishes before the caller acts, so "/help" wins wherever it stands.
void ParseArguments(int argc, char** argv, ReportOptions* options, bool* help);

#endif  // BREVON_APP_OPTIONS_H_
