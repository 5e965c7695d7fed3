#ifndef BREVON_APP_OPTIONS_H_
#define BREVON_APP_OPTIONS_H_

#include "base/report_options.h"

extern const char kProductDescription[];
extern const char kVersion[];  // carries a trailing blank, as the banner shows
extern const char kRightsLine[];
extern const char kExecutableName[];

/// Scans arguments 1 to argc-1. Unknown arguments are ignored; the whole scan
/// finishes before the caller acts, so "/help" wins wherever it stands.
void ParseArguments(int argc, char** argv, ReportOptions* options, bool* help);

void PrintBanner();
void PrintUsage();

#endif  // BREVON_APP_OPTIONS_H_
