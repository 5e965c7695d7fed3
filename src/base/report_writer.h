#ifndef BREVON_BASE_REPORT_WRITER_H_
#define BREVON_BASE_REPORT_WRITER_H_

#include <cstdarg>

#include "base/listing_lines.h"

// The one writer of the run's output: the report on standard output, the
// server's own texts on standard error. Whatever it writes, it first erases
// the console's progress line if one is showing (progress.h), so that no
// line of the report can start behind it; and it alone tells whether the
// report reached standard output whole.

/// Writes report text to standard output (printf-style; the format holds
/// the text whole, its line ends included).
void WriteReport(const char* format, ...);
void WriteReportList(const char* format, va_list args);

/// An empty list for lines of the report, which PrintLines writes each as
/// "  %s\n".
ListingLines ReportLines();

/// Writes the lines of a list made by ReportLines to standard output. A
/// list of a million lines takes a while: a stop that is asked meanwhile
/// (StopRequested) ends it between blocks, and the result is then false.
bool PrintLines(const ListingLines& lines);

/// Writes `text` and a line end to standard error, after everything the
/// report holds so far: a text of the server's that explains the line
/// before it.
void WriteServerText(const char* text);

/// True when standard output has taken everything written so far.
/// Otherwise writes "Error: unable to write the report." on standard error:
/// a report cut short (a full disk, a closed pipe) must never pass for a
/// whole one.
bool CheckReportWritten();

/// Forgets that lines did not reach standard output. For tests.
void ForgetUnwrittenLines();

#endif  // BREVON_BASE_REPORT_WRITER_H_
