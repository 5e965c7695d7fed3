#ifndef BREVON_BASE_ERROR_REPORT_H_
#define BREVON_BASE_ERROR_REPORT_H_

#include <cstdarg>

// Every "Error: " line of the report is printed through ReportError, so that
// the run can tell scripts through its exit code that it reported a failure.
// The one line that says the report itself could not be written goes to
// standard error instead (CheckReportWritten): the run then ends with 1.

/// Prints one error line to standard output (printf-style format; the
/// caller's text starts with "Error: " and ends with "\n") and counts it.
void ReportError(const char* format, ...);
void ReportErrorList(const char* format, va_list args);

/// How many error lines this process has printed so far. A run compares the
/// count at its end with the count at its start.
unsigned ReportedErrorCount();

#endif  // BREVON_BASE_ERROR_REPORT_H_
