#ifndef BREVON_APP_REPORT_H_
#define BREVON_APP_REPORT_H_

// Every "Error: " line of the tool is printed through ReportError, so that
// the run can tell scripts through its exit code that it reported a failure.

/// Prints one error line to standard output (printf-style format; the
/// caller's text starts with "Error: " and ends with "\n") and records it.
void ReportError(const char* format, ...);

/// True once any error line has been printed since the last reset.
bool ErrorWasReported();

/// Forgets earlier error lines; used at the start of a run and by tests.
void ResetErrorReport();

#endif  // BREVON_APP_REPORT_H_
