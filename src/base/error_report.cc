#include "base/error_report.h"

#include <cstdarg>
#include <cstdio>

#include "base/progress.h"

namespace {
unsigned g_reported_errors = 0;
}  // namespace

void ReportError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ReportErrorList(format, args);
  va_end(args);
}

void ReportErrorList(const char* format, va_list args) {
  ++g_reported_errors;
  ClearProgressLine();
  vprintf(format, args);
}

unsigned ReportedErrorCount() { return g_reported_errors; }

bool CheckReportWritten() {
  // Standard output on a character device may be unbuffered: then fflush
  // has nothing to write, and only the stream's error flag tells.
  if (fflush(stdout) == 0 && !ferror(stdout)) return true;
  fprintf(stderr, "Error: unable to write the report.\n");
  return false;
}
