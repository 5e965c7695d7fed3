#include "base/error_report.h"

#include "base/report_writer.h"

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
  WriteReportList(format, args);
}

unsigned ReportedErrorCount() { return g_reported_errors; }
